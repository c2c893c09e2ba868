#!/usr/bin/env bash
# Installs what the tests need (with apt-get, through sudo when not root),
# then builds and runs every test: the Windows build under Wine, the g++
# build with all its tests and the packages, the same tests in a clang
# build with AddressSanitizer and UndefinedBehaviorSanitizer, and a minute
# of fuzzing of the command line.
#   ZONQUIST_SKIP_MISSING=1 ./test.sh   installs nothing; what is missing is skipped, and said
set -euo pipefail
cd "$(dirname "$0")"
skip_missing=${ZONQUIST_SKIP_MISSING:-0}
export ZONQUIST_SKIP_MISSING=$skip_missing
jobs=$(nproc)
started=$SECONDS

packages=(cmake g++ clang make libgtest-dev libbenchmark-dev
  bind9 bind9-utils bind9-dnsutils nsd knot knot-dnsutils knot-dnssecutils pdns-server pdns-backend-bind unbound yadifa gdnsd
  g++-mingw-w64-x86-64 wine64 util-linux iproute2 time man-db dpkg-dev strace lintian)
# The sanitizers' runtime is a package of its own on Debian 12.
clang_major=$(clang++ --version 2>/dev/null | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -1)
packages+=("libclang-rt-${clang_major:-14}-dev")
servers=(named nsd knotd pdns_server unbound yadifad gdnsd)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})) && [[ $skip_missing != 1 ]]; then
  echo "== installing ${missing[*]}"
  sudo=
  ((EUID == 0)) || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  # Only what this distribution has: the runtime package's name varies.
  available=()
  for p in "${missing[@]}"; do apt-cache show "$p" >/dev/null 2>&1 && available+=("$p"); done
  $sudo apt-get install -y -q "${available[@]}"
  # A server package may start its own service; the tests start their own.
  for s in "${servers[@]}"; do
    for pid in $(pidof "$s" 2>/dev/null); do $sudo kill "$pid" 2>/dev/null || true; done
  done
elif ((${#missing[@]})); then
  echo "== not installed, so their tests are skipped: ${missing[*]}"
fi

# The Windows build, cross-compiled, is tested under Wine by the g++ build's
# tests.
wine=/usr/lib/wine/wine64
windows_exe=
if command -v x86_64-w64-mingw32-g++-win32 >/dev/null && [[ -x $wine ]]; then
  echo "== Windows build (mingw-w64)"
  cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DZONQUIST_WERROR=ON
  cmake --build build-windows -j"$jobs"
  windows_exe=$PWD/build-windows/zonquist.exe
  export WINEDEBUG=-all WINEPREFIX=$PWD/build/wineprefix
  mkdir -p build
  "$wine" wineboot -i >/dev/null 2>&1 || true
  trap '/usr/lib/wine/wineserver64 -k 2>/dev/null || true' EXIT
elif [[ $skip_missing == 1 ]]; then
  echo "== Windows build skipped: install g++-mingw-w64-x86-64 and wine64"
else
  echo "the Windows build needs g++-mingw-w64-x86-64 and wine64 (ZONQUIST_SKIP_MISSING=1 skips it)" >&2
  exit 1
fi

# Why each skipped test skipped, from ctest's log.
skip_reasons() {
  awk '/^[0-9]+\/[0-9]+ Test: / { name = $3 }
       /^SKIP: / || /: Skipped$/ { want = 1; if (/^SKIP: /) { print "  skipped " name ": " substr($0, 7); want = 0 } next }
       want { print "  skipped " name ": " $0; want = 0 }' "$1/Testing/Temporary/LastTest.log" | sort -u
}

echo "== g++ build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZONQUIST_TESTS=ON -DZONQUIST_WERROR=ON -DZONQUIST_WINDOWS_EXE="$windows_exe"
cmake --build build -j"$jobs"
status=0
ctest --test-dir build --output-on-failure || status=$?
skip_reasons build
((status == 0)) || exit "$status"

echo "== clang build with AddressSanitizer and UndefinedBehaviorSanitizer"
# The servers and the package see the same files and binary as above.
CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZONQUIST_SANITIZE=ON -DZONQUIST_WERROR=ON \
  -DZONQUIST_WINDOWS_EXE="$windows_exe" -DZONQUIST_WINEPREFIX="$PWD/build/wineprefix"
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -E 'DnsServers|Package'
skip_reasons build-asan

echo "== fuzzing the command line for ${ZONQUIST_FUZZ_SECONDS:-60} s"
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZONQUIST_FUZZ=ON -DZONQUIST_TESTS=OFF -DZONQUIST_WERROR=ON
cmake --build build-fuzz -j"$jobs" --target fuzz_command_line
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"; /usr/lib/wine/wineserver64 -k 2>/dev/null || true' EXIT
build-fuzz/fuzz_command_line -max_total_time="${ZONQUIST_FUZZ_SECONDS:-60}" -print_final_stats=1 \
  "$corpus" tests/fuzz_seeds 2>&1 | tail -4
echo "fuzzing: no crash"
echo "== every test passed in $((SECONDS - started)) s"
