#!/usr/bin/env bash
# Builds everything and runs every test suite: under AddressSanitizer and UBSan,
# then each fuzzer for a bounded time (ZANTHREL_FUZZ_SECONDS, default 60; 0
# skips them), and last as built for use, so that CTest's summary closes the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

echo "== The test suites under AddressSanitizer and UBSan"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZANTHREL_SANITIZE=ON \
  -DZANTHREL_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
ctest --test-dir build-asan --output-on-failure -j"$(nproc)"

seconds="${ZANTHREL_FUZZ_SECONDS:-60}"
if [ "$seconds" -gt 0 ]; then
  echo "== Fuzzers, ${seconds} s each"
  bash scripts/fuzz.sh "$seconds"
fi

echo "== The test suites as built for use"
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
