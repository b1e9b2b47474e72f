#!/usr/bin/env bash
# Installs the missing Debian packages that building, running and testing
# need, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and runs
# every test, then the fuzz targets over their corpus.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
install_missing_packages build-test/packages.log "${PELV_RUN_PACKAGES[@]}" "${PELV_TEST_PACKAGES[@]}"

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
  saved=fuzz/corpus/${name#fuzz_}
  [ -d "$saved" ] || { echo "$name has no saved corpus in $saved" >&2; exit 1; }
  # Every run starts from the saved corpus alone: the inputs a run keeps go to
  # a working folder emptied first, never into the saved corpus, so runs stay
  # alike and do not slow down as the inputs pile up.
  work=build-fuzz/corpus/$name
  rm -rf "$work"
  mkdir -p "$work"
  echo "== $name"
  # The last line sums up a good run; a failed one is shown whole.
  if ! "$target" -seed=1 -runs=200000 -max_total_time=60 -entropic=0 -max_len=4096 -timeout=10 \
    -artifact_prefix=build-fuzz/ "$work" "$saved" >"build-fuzz/$name.log" 2>&1; then
    cat "build-fuzz/$name.log"
    echo "$name failed (the input is saved in build-fuzz/)." >&2
    exit 1
  fi
  tail -n 1 "build-fuzz/$name.log"
done
echo "All tests passed."
