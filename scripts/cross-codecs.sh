#!/usr/bin/env bash
# Cross-builds the CHD codecs (liblzma, zstd, FLAC) as static mingw-w64
# libraries from Debian's source packages into PREFIX (argument 1). Each one is
# built once: its stamp in PREFIX makes a later run skip it.
set -euo pipefail
shopt -s inherit_errexit
prefix="$(realpath -m "$1")"
work="$prefix/src"
toolchain="$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-w64-x86_64.cmake"
host=x86_64-w64-mingw32
mkdir -p "$prefix" "$work"

# apt-get source reads deb-src lines; add them for this machine's suites.
have_sources() { apt-get source --print-uris "$1" >/dev/null 2>&1; }
add_source_lines() {
  local list=/etc/apt/sources.list.d/zanthrel-deb-src.sources
  local codename
  codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
  if [ "$(id -u)" -ne 0 ]; then
    echo "zanthrel: apt-get source needs deb-src lines for $codename; run this script as root" >&2
    exit 1
  fi
  cat >"$list" <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  apt-get update -qq
}

# Unpacks Debian's source package into its own folder under $work: the tree's path.
fetch() {
  local package="$1"
  rm -rf "${work:?}/$package" && mkdir -p "$work/$package"
  (cd "$work/$package" && apt-get source -qq --download-only "$package" >/dev/null &&
     dpkg-source -x --skip-patches ./*.dsc tree >/dev/null)
  echo "$work/$package/tree"
}

build_lzma() {
  local tree
  tree="$(fetch xz-utils)"
  (cd "$tree" && ./configure -q --host=$host --prefix="$prefix" --enable-static --disable-shared \
     --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo --disable-lzma-links \
     --disable-scripts --disable-doc --disable-nls >/dev/null &&
   make -s -j2 -C src/liblzma >/dev/null && make -s -C src/liblzma install >/dev/null)
}

build_zstd() {
  local tree
  tree="$(fetch libzstd)"
  cmake -S "$tree/build/cmake" -B "$tree/out" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DZSTD_BUILD_SHARED=OFF \
    -DZSTD_BUILD_STATIC=ON -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_TESTS=OFF \
    -DZSTD_MULTITHREAD_SUPPORT=OFF >/dev/null
  cmake --build "$tree/out" -j2 >/dev/null
  cmake --install "$tree/out" >/dev/null
}

build_flac() {
  local tree
  tree="$(fetch flac)"
  cmake -S "$tree" -B "$tree/out" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_CXXLIBS=OFF \
    -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DBUILD_DOCS=OFF \
    -DINSTALL_MANPAGES=OFF -DWITH_OGG=OFF -DWITH_STACK_PROTECTOR=OFF >/dev/null
  cmake --build "$tree/out" -j2 >/dev/null
  cmake --install "$tree/out" >/dev/null
}

if ! have_sources xz-utils; then add_source_lines; fi
for codec in lzma zstd flac; do
  stamp="$prefix/.built-$codec"
  [ -e "$stamp" ] && continue
  echo "== Cross-building $codec from Debian's source package"
  "build_$codec"
  touch "$stamp"
done
rm -rf "${work:?}"
