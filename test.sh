#!/usr/bin/env bash
# Builds and runs every test: the g++ build, the same tests again in a clang
# build with AddressSanitizer and UndefinedBehaviorSanitizer, and a minute of
# fuzzing of the command line.
set -euo pipefail
cd "$(dirname "$0")"
werror=${ZONQUIST_WERROR:-OFF}
jobs=$(nproc)

echo "== g++ build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZONQUIST_WERROR="$werror"
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure

echo "== clang build with AddressSanitizer and UndefinedBehaviorSanitizer"
CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZONQUIST_SANITIZE=ON -DZONQUIST_WERROR="$werror"
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure

echo "== fuzzing the command line for ${ZONQUIST_FUZZ_SECONDS:-60} s"
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZONQUIST_FUZZ=ON -DZONQUIST_TESTS=OFF -DZONQUIST_WERROR="$werror"
cmake --build build-fuzz -j"$jobs" --target fuzz_command_line
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
build-fuzz/fuzz_command_line -max_total_time="${ZONQUIST_FUZZ_SECONDS:-60}" -print_final_stats=1 \
  "$corpus" tests/fuzz_seeds 2>&1 | tail -4
echo "fuzzing: no crash"
