#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests use, when missing.
# As root it installs them all. Otherwise it fails, printing the apt-get
# command, only when a package the build needs is missing; a missing optional
# one is named with what it adds, and the build goes on without it.
# Packages given as arguments count as needed (the scripts that take one ask for
# what they need). With --required-only, even root installs no optional package.
#   bash scripts/install-deps.sh [--required-only] [PACKAGE...]
set -euo pipefail
required_only=false
if [ "${1:-}" = --required-only ]; then required_only=true; shift; fi

required=(cmake g++ ninja-build pkg-config zlib1g-dev liblzma-dev libzstd-dev libflac-dev
          libcli11-dev libgtest-dev nlohmann-json3-dev "$@")
# Each optional package with what it adds.
optional=(
  "qt6-base-dev:the window (zanthrel-window) and its tests"
  "libfuse3-dev:the mount command and its tests"
  "fuse3:fusermount3, with which the mount tests unmount"
  "mame-tools:chdman, for the CHD tests that compare with it (skipped without it)"
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=() missing_optional=() notes=()  # notes: what each missing optional one adds
for package in "${required[@]}"; do installed "$package" || missing+=("$package"); done
for entry in "${optional[@]}"; do
  package="${entry%%:*}"
  if ! installed "$package"; then
    missing_optional+=("$package")
    notes+=("zanthrel: optional $package is not installed; it adds ${entry#*:}")
  fi
done
if [ "$(id -u)" -eq 0 ]; then
  if ! $required_only; then missing+=("${missing_optional[@]}") notes=(); fi
  if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
    missing=()
  fi
fi
[ ${#notes[@]} -eq 0 ] || printf '%s\n' "${notes[@]}" >&2
if [ ${#missing[@]} -gt 0 ]; then
  echo "zanthrel: missing packages; run: sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
