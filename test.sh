#!/usr/bin/env bash
# Installs the missing Debian packages, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test, then the fuzz targets
# over their corpus.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
install_missing_packages

jobs=$(nproc)
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELV_SANITIZE=ON >/dev/null
cmake --build build-test -j "$jobs"
(cd build-test && ctest --output-on-failure -j "$jobs" --timeout 300)

# The readers must survive any input: libFuzzer runs over the saved corpus and
# a fixed number of new inputs from a fixed seed.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELV_FUZZ=ON \
  -DPELV_GUI=OFF -DPELV_TESTS=OFF -DPELV_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs"
for target in build-fuzz/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  # New inputs the fuzzer keeps go to a working copy, not to the saved corpus.
  work=build-fuzz/corpus/$name
  mkdir -p "$work"
  cp -n fuzz/corpus/"${name#fuzz_}"/* "$work"/ 2>/dev/null || true
  echo "== $name"
  "$target" -seed=1 -runs=200000 -max_total_time=60 -entropic=0 -max_len=4096 -timeout=10 \
    -artifact_prefix=build-fuzz/ "$work" 2>&1 | tail -n 1
done
echo "All tests passed."
