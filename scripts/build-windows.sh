#!/usr/bin/env bash
# Cross-builds a static zanthrel.exe for 64-bit Windows with mingw-w64 into
# build-windows/ and packs it with the README and the LICENSE into
# build-windows/zanthrel-<version>-windows-x64.zip; prints the zip's path.
# The CHD codecs are built once from Debian's sources into build-windows/codecs.
# Extra arguments go to CMake (scripts/test.sh turns the tests on with them).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="$root/build-windows"
bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev \
  dpkg-dev xz-utils
bash scripts/cross-codecs.sh "$build/codecs"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DZANTHREL_WINDOWS_PREFIX="$build/codecs" -DCMAKE_BUILD_TYPE=Release -DZANTHREL_TESTS=OFF \
  -DZANTHREL_BENCH=OFF "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"

version="$(sed -n 's/^project(zanthrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
stage="$build/zanthrel-$version-windows-x64"
rm -rf "$stage" "$stage.zip" && mkdir -p "$stage"
cp "$build/zanthrel.exe" README.md LICENSE "$stage/"
(cd "$build" && cmake -E tar cf "$stage.zip" --format=zip "$(basename "$stage")")
echo "$stage.zip"
