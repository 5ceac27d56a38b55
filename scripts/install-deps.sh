#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, when missing.
# As root it runs apt-get; otherwise it prints the command to run.
set -euo pipefail

packages=(cmake g++ ninja-build pkg-config zlib1g-dev liblzma-dev libzstd-dev libflac-dev mame-tools
          libcli11-dev libgtest-dev qt6-base-dev nlohmann-json3-dev libfuse3-dev fuse3 "$@")
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "zanthrel: missing packages; run: sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
