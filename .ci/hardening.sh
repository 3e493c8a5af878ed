#!/usr/bin/env bash
# The library's promise for hostile input, checked three ways:
#   1. the whole C++ suite and the command's tests under AddressSanitizer
#      (with leak detection) and UndefinedBehaviorSanitizer;
#   2. the department catalog's first-use race under ThreadSanitizer;
#   3. each libFuzzer target for a bounded time on top of its seed corpus.
# A fuzz crash fails the run; its input is kept under build/fuzz-crashes/ and
# shown as a hex dump. BRIX_FUZZ_SECONDS sets the time per target (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
fuzz_seconds="${BRIX_FUZZ_SECONDS:-60}"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# Prints each stage's heading with the time the script has taken so far.
stage() { echo "== $1 (at ${SECONDS} s)"; }

stage "AddressSanitizer + UndefinedBehaviorSanitizer: C++ tests and the command's tests"
build=build/asan
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIX_BUILD_TESTS=ON \
  -DBRIX_WERROR=ON -DBRIX_SANITIZE=address,undefined >/dev/null
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs"

stage "ThreadSanitizer: the catalog's first use, raced"
build=build/tsan
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIX_BUILD_CLI=OFF \
  -DBRIX_WERROR=ON -DBRIX_SANITIZE=thread >/dev/null
cmake --build "$build" -j "$jobs" --target brix
# Only the one test: the rest of the suite is single-threaded.
g++ -std=c++20 -O1 -g -fsanitize=thread -Ilibbrix/include -I"$build/libbrix/include" -Ilibbrix/src \
  libbrix/tests/tarrow_departments_test.cpp "$build/libbrix/libbrix.a" \
  -lgtest -lgtest_main -pthread -o "$build/catalog_race_test"
# The race happens once per process, so the process runs several times.
# ThreadSanitizer's fixed memory layout needs address randomisation off on
# kernels that randomise more bits than it expects.
for run in 1 2 3 4 5 6 7 8 9 10; do
  TSAN_OPTIONS="halt_on_error=1" setarch "$(uname -m)" -R "$build/catalog_race_test" \
    --gtest_filter='TarrowDepartments.ThreadsRacingOnFirstUseSeeOneList' --gtest_brief=1
done

stage "libFuzzer: ${fuzz_seconds} s per target"
build=build/fuzz
CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIX_BUILD_FUZZ=ON \
  -DBRIX_BUILD_CLI=OFF -DBRIX_WERROR=ON -DBRIX_SANITIZE=address,undefined >/dev/null
cmake --build "$build" -j "$jobs"
crashes=build/fuzz-crashes
rm -rf "$crashes" build/fuzz-corpus
mkdir -p "$crashes"
failed=0
for target in parse_extern_value format reader_grammar sinks; do
  # New inputs go to the first directory, so the committed corpus stays as it is.
  # A 4 KiB input may legitimately expand to a million selectors, which the
  # oracle then holds as a tree, compact and indented JSON and the one-pass
  # output at once; under AddressSanitizer that peaks near 2 GB, so the
  # memory limit leaves room above it.
  work=build/fuzz-corpus/$target
  mkdir -p "$work"
  # The formatter and the reader targets start from the inputs of the entry
  # points they exercise; the sinks target runs both whole-file entry points.
  case $target in
    format | reader_grammar) seeds=fuzz/corpus/parse ;;
    sinks) seeds="fuzz/corpus/parse fuzz/corpus/parse_with_externals" ;;
    *) seeds=fuzz/corpus/$target ;;
  esac
  echo "-- ${target}_fuzzer"
  if ! "$build/fuzz/${target}_fuzzer" -dict=fuzz/brix.dict -max_total_time="$fuzz_seconds" \
    -max_len=4096 -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$crashes/$target-" "$work" $seeds \
    >"$crashes/$target.log" 2>&1; then
    failed=1
    tail -n 60 "$crashes/$target.log"
  fi
  grep -E '^#[0-9]+ +DONE|^stat::number_of_executed_units' "$crashes/$target.log" || true
done
for input in "$crashes"/*-*; do
  [ -f "$input" ] || continue
  case "$input" in *.log) continue ;; esac
  echo "fuzz input that failed: $input"
  od -A x -t x1z -v "$input" | head -n 64
done
stage "hardening done"
exit "$failed"
