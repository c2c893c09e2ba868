#!/usr/bin/env bash
# Builds and runs every test: the g++ build (with the Windows build under
# Wine), the same tests again in a clang build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and a minute of fuzzing of the command line.
set -euo pipefail
cd "$(dirname "$0")"
werror=${ZONQUIST_WERROR:-OFF}
jobs=$(nproc)

# The Windows build, cross-compiled, is tested under Wine by the g++ build's
# tests; without mingw-w64 or Wine those tests skip.
wine=/usr/lib/wine/wine64
windows_exe=
if command -v x86_64-w64-mingw32-g++-win32 >/dev/null && [[ -x $wine ]]; then
  echo "== Windows build (mingw-w64)"
  cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DZONQUIST_WERROR="$werror"
  cmake --build build-windows -j"$jobs"
  windows_exe=$PWD/build-windows/zonquist.exe
  export WINEDEBUG=-all WINEPREFIX=$PWD/build/wineprefix
  mkdir -p build
  "$wine" wineboot -i >/dev/null 2>&1 || true
  trap '/usr/lib/wine/wineserver64 -k 2>/dev/null || true' EXIT
elif [[ ${ZONQUIST_REQUIRE_WINDOWS:-0} == 1 ]]; then
  echo "the Windows build needs g++-mingw-w64-x86-64 and wine64" >&2
  exit 1
else
  echo "== Windows build skipped: g++-mingw-w64-x86-64 or wine64 is not installed"
fi

echo "== g++ build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZONQUIST_WERROR="$werror" -DZONQUIST_WINDOWS_EXE="$windows_exe"
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure

echo "== clang build with AddressSanitizer and UndefinedBehaviorSanitizer"
CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZONQUIST_SANITIZE=ON -DZONQUIST_WERROR="$werror" \
  -DZONQUIST_WINDOWS_EXE="$windows_exe" -DZONQUIST_WINEPREFIX="$PWD/build/wineprefix"
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure

echo "== fuzzing the command line for ${ZONQUIST_FUZZ_SECONDS:-60} s"
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZONQUIST_FUZZ=ON -DZONQUIST_TESTS=OFF -DZONQUIST_WERROR="$werror"
cmake --build build-fuzz -j"$jobs" --target fuzz_command_line
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"; /usr/lib/wine/wineserver64 -k 2>/dev/null || true' EXIT
build-fuzz/fuzz_command_line -max_total_time="${ZONQUIST_FUZZ_SECONDS:-60}" -print_final_stats=1 \
  "$corpus" tests/fuzz_seeds 2>&1 | tail -4
echo "fuzzing: no crash"
