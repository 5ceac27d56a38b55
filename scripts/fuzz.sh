#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan on) and
# runs each for the given number of seconds (default 60) from seed corpora made
# by the tests' image builder. Inputs that crash are kept in build-fuzz/crashes.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
seconds="${1:-60}"
bash scripts/install-deps.sh clang libclang-rt-14-dev
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DZANTHREL_FUZZ=ON -DZANTHREL_TESTS=OFF -DZANTHREL_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_decompile fuzz_describe fuzz_names fuzz_mount \
  fuzz_cue fuzz_nrg fuzz_chd fuzz_layout make_corpus
rm -rf build-fuzz/corpus && mkdir -p build-fuzz/crashes
./build-fuzz/fuzz/make_corpus build-fuzz/corpus
cp -r fuzz/regressions/. build-fuzz/corpus/ 2>/dev/null || true
status=0
for target in decompile describe names mount cue nrg chd layout; do
  echo "== fuzz_${target}: ${seconds} s"
  dict=opera.dict
  case "$target" in cue | nrg | chd) dict=containers.dict ;; layout) dict=layout.dict ;; esac
  if ! "$root/build-fuzz/fuzz/fuzz_${target}" -max_total_time="${seconds}" -timeout=10 \
      -rss_limit_mb=2048 -dict="$root/fuzz/${dict}" -print_final_stats=1 \
      -artifact_prefix="$root/build-fuzz/crashes/${target}-" "$root/build-fuzz/corpus/${target}" \
      2>"$root/build-fuzz/${target}.log"; then
    status=1
    tail -40 build-fuzz/${target}.log
  fi
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' build-fuzz/${target}.log || true
done
exit $status
