#!/usr/bin/env bash
# Installs what the tests need (with apt-get, through sudo when not root),
# then builds and runs every test: the Windows build under Wine, the g++
# build with all its tests (the DNS servers and resolvers side by side, each
# in a network namespace of its own, and the packages), the tests that run
# the tool in a clang build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and twenty seconds of fuzzing of the command
# line (its coverage stops growing within five, nearly all its features
# within fifteen).
# Builds and passes overlap where they can; the last lines give each step's
# time.
#   ./test.sh --quick                  the g++ build and every test that needs no DNS
#                                      server, Wine, package or sanitizer build
#   ZONQUIST_SKIP_MISSING=1 ./test.sh  installs nothing; what is missing is skipped, and said
set -euo pipefail
cd "$(dirname "$0")"
quick=0
[[ ${1:-} == --quick ]] && quick=1
skip_missing=${ZONQUIST_SKIP_MISSING:-0}
export ZONQUIST_SKIP_MISSING=$skip_missing
jobs=$(nproc)
started=$SECONDS
logs=$PWD/build-logs
rm -rf "$logs"
mkdir -p "$logs"

# Steps run in the background, each with its log and time in build-logs/.
declare -A step_pid
steps=()
start() {  # NAME COMMAND...
  local name=$1
  shift
  steps+=("$name")
  (
    begun=$SECONDS
    status=0
    "$@" >"$logs/$name.log" 2>&1 || status=$?
    echo "$((SECONDS - begun))" >"$logs/$name.time"
    exit $status
  ) &
  step_pid[$name]=$!
}
times() {
  local name
  echo "== time of each step (they overlap)"
  for name in "${steps[@]}"; do printf '  %-34s %5s s\n' "$name" "$(cat "$logs/$name.time" 2>/dev/null || echo '-')"; done
  printf '  %-34s %5s s\n' "all" "$((SECONDS - started))"
}
# Waits for a step; shows its log when asked to, or when it failed.
finish() {  # NAME [show]
  local status=0
  wait "${step_pid[$1]}" || status=$?
  if [[ ${2:-} == show || $status != 0 ]]; then
    echo "== $1"
    cat "$logs/$1.log"
  fi
  if ((status != 0)); then
    echo "== $1 failed (exit status $status)"
    times
    exit "$status"
  fi
}
step() { start "$@" && finish "$1" show; }

packages=(cmake g++ clang make libgtest-dev libbenchmark-dev)
servers=()
if ((!quick)); then
  packages+=(bind9 bind9-utils bind9-dnsutils nsd knot knot-dnsutils knot-dnssecutils pdns-server pdns-backend-bind
    unbound yadifa gdnsd pdns-recursor knot-resolver dnsmasq apparmor
    g++-mingw-w64-x86-64 wine64 util-linux iproute2 time man-db dpkg-dev strace lintian)
  # The sanitizers' runtime is a package of its own on Debian 12.
  clang_major=$(clang++ --version 2>/dev/null | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -1)
  packages+=("libclang-rt-${clang_major:-14}-dev")
  servers=(named nsd knotd pdns_server unbound yadifad gdnsd pdns_recursor kresd dnsmasq)
else
  packages+=(util-linux strace)
fi

install_packages() {
  local sudo= p s pid available=()
  ((EUID == 0)) || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  # Only what this distribution has: the runtime package's name varies.
  for p in "$@"; do apt-cache show "$p" >/dev/null 2>&1 && available+=("$p"); done
  $sudo apt-get install -y -q "${available[@]}"
  # A server package may start its own service; the tests start their own.
  for s in "${servers[@]}"; do
    for pid in $(pidof "$s" 2>/dev/null); do $sudo kill "$pid" 2>/dev/null || true; done
  done
}
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})) && [[ $skip_missing != 1 ]]; then
  step "installing ${#missing[@]} packages" install_packages "${missing[@]}"
elif ((${#missing[@]})); then
  echo "== not installed, so their tests are skipped: ${missing[*]}"
fi

# Why each skipped test skipped, from ctest's log.
skip_reasons() {
  awk '/^[0-9]+\/[0-9]+ Test: / { name = $3 }
       /^SKIP: / || /: Skipped$/ { want = 1; if (/^SKIP: /) { print "  skipped " name ": " substr($0, 7); want = 0 } next }
       want { print "  skipped " name ": " $0; want = 0 }' "$1/Testing/Temporary/LastTest.log" | sort -u
}
ctest_in() {  # BUILD_DIR CTEST_ARGS...
  local status=0
  ctest --test-dir "$@" --output-on-failure || status=$?
  skip_reasons "$1"
  return $status
}
gxx_build() {  # CMAKE_ARGS...
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZONQUIST_TESTS=ON -DZONQUIST_WERROR=ON "$@"
  cmake --build build -j"$jobs"
}

if ((quick)); then
  step "g++ build" gxx_build
  step "g++ tests, quick" ctest_in build -j"$jobs" -E 'DnsServers|Resolvers|AppArmor|Wine|WindowsBuild|Package|QuickStart'
  times
  echo "== every quick test passed in $((SECONDS - started)) s"
  exit 0
fi

# The Windows build, cross-compiled, is tested under Wine by the g++ build's
# tests.
wine=/usr/lib/wine/wine64
windows_exe=
if command -v x86_64-w64-mingw32-g++-win32 >/dev/null && [[ -x $wine ]]; then
  windows_exe=$PWD/build-windows/zonquist.exe
  export WINEDEBUG=-all WINEPREFIX=$PWD/build/wineprefix
  windows_build() {
    cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DZONQUIST_WERROR=ON
    cmake --build build-windows -j"$jobs"
    mkdir -p build
    "$wine" wineboot -i >/dev/null 2>&1 || true
  }
  start "Windows build (mingw-w64)" windows_build
  trap '/usr/lib/wine/wineserver64 -k 2>/dev/null || true' EXIT
elif [[ $skip_missing == 1 ]]; then
  echo "== Windows build skipped: install g++-mingw-w64-x86-64 and wine64"
else
  echo "the Windows build needs g++-mingw-w64-x86-64 and wine64 (ZONQUIST_SKIP_MISSING=1 skips it)" >&2
  exit 1
fi

# The sanitizer build, then its tests, side by side with the g++ build and
# its tests, and the fuzzer once the g++ build is done. Only the tests that run the
# sanitized code run again: the servers, the package and the Quick start see
# the same files and binary as in the g++ pass, and Wine runs the Windows
# build.
sanitizer() {
  local begun=$SECONDS
  CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZONQUIST_SANITIZE=ON -DZONQUIST_WERROR=ON
  cmake --build build-asan -j"$jobs"
  echo "$((SECONDS - begun))" >"$logs/clang sanitizer build.time"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest_in build-asan -j"$jobs" -E 'DnsServers|Resolvers|AppArmor|Wine|WindowsBuild|Package|QuickStart'
}
fuzz() {
  CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZONQUIST_FUZZ=ON -DZONQUIST_TESTS=OFF -DZONQUIST_WERROR=ON
  cmake --build build-fuzz -j"$jobs" --target fuzz_command_line
  local corpus
  corpus=$(mktemp -d)
  build-fuzz/fuzz_command_line -max_total_time="${ZONQUIST_FUZZ_SECONDS:-20}" -print_final_stats=1 \
    "$corpus" tests/fuzz_seeds 2>&1 | tail -4
  rm -rf "$corpus"
  echo "fuzzing: no crash"
}
steps+=("clang sanitizer build")
start "clang sanitizer build and tests" sanitizer
start "g++ build" gxx_build -DZONQUIST_WINDOWS_EXE="$windows_exe"
[[ -z $windows_exe ]] || finish "Windows build (mingw-w64)"
finish "g++ build"

start "fuzzing for ${ZONQUIST_FUZZ_SECONDS:-20} s" fuzz
start "g++ tests" ctest_in build -j6
finish "g++ tests" show
finish "clang sanitizer build and tests" show
finish "fuzzing for ${ZONQUIST_FUZZ_SECONDS:-20} s" show
times
echo "== every test passed in $((SECONDS - started)) s"
