#!/usr/bin/env bash
# Builds everything and runs every test suite: under AddressSanitizer and UBSan,
# then each fuzzer for a bounded time (ZANTHREL_FUZZ_SECONDS, default 30; 0
# skips them), then the Debian package unpacked into a fresh folder, then the
# Windows build under wine, and last as built for use, so that CTest's summary
# closes the run. The build folders are CMakePresets.json's; scripts/check.sh
# is the short loop of building and testing while editing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

echo "== The test suites under AddressSanitizer and UBSan"
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$(nproc)"
ctest --preset asan -j"$(nproc)"

seconds="${ZANTHREL_FUZZ_SECONDS:-30}"
if [ "$seconds" -gt 0 ]; then
  echo "== Fuzzers, ${seconds} s each"
  bash scripts/fuzz.sh "$seconds"
fi

echo "== The Debian package, unpacked into a fresh folder"
deb="$(bash scripts/package.sh | tail -n 1)"
unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg -x "$deb" "$unpacked"
"$unpacked/usr/bin/zanthrel" --version
"$unpacked/usr/bin/zanthrel" compile samples "$unpacked/sample.iso"
"$unpacked/usr/bin/zanthrel" decompile -o "$unpacked/out" "$unpacked/sample.iso"
"$unpacked/usr/bin/zanthrel" verify "$unpacked/sample.iso"
# The command line never loads Qt; the window is a program of its own.
if ldd "$unpacked/usr/bin/zanthrel" | grep -qi qt; then
  echo "usr/bin/zanthrel links Qt" >&2; exit 1
fi
if [ -e "$unpacked/usr/share/applications/zanthrel.desktop" ]; then
  [ -x "$unpacked/usr/libexec/zanthrel/zanthrel-window" ] \
    || { echo "the package has a desktop entry but no window program" >&2; exit 1; }
fi

echo "== The Windows build and its test suites under wine"
bash scripts/test-windows.sh

echo "== The test suites as built for use"
bash scripts/build.sh
# The release build also writes and verifies a CHD of more than 2 GiB, which
# takes minutes and is left out of the quicker runs.
ZANTHREL_LARGE_TESTS=1 ctest --preset release -j"$(nproc)"
