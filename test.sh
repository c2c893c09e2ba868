#!/usr/bin/env bash
# Installs what the tests need (with apt-get, through sudo when not root),
# then builds and runs every test: the Windows build under Wine, the g++
# build with all its tests (the DNS servers and resolvers side by side, each
# in a network namespace of its own, and the packages), the tests that run
# the tool in a clang build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and twenty seconds each of fuzzing the command
# line and the records reader (whose accepted zones BIND's and Knot's
# checkers then load).
# Builds and passes overlap where they can; the last lines give each step's
# time.
# Packages installed here start no service, now or at the next boot; what
# the machine already runs is never touched. A failed step ends the others.
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

# Steps run in the background, each with its log and time in build-logs/,
# in a process group of its own so that a failure can end the others with
# all their children. A step's function runs with errexit in force: it is
# never called where bash would turn errexit off (after ||, &&, if).
set -m
declare -A step_pid
steps=()
start() {  # NAME COMMAND...
  local name=$1
  shift
  steps+=("$name")
  (
    begun=$SECONDS
    trap 'echo "$((SECONDS - begun))" >"$logs/$name.time"' EXIT
    "$@" >"$logs/$name.log" 2>&1 </dev/null
  ) &
  step_pid[$name]=$!
}
times() {
  local name
  echo "== time of each step (they overlap)"
  for name in "${steps[@]}"; do printf '  %-34s %5s s\n' "$name" "$(cat "$logs/$name.time" 2>/dev/null || echo '-')"; done
  printf '  %-34s %5s s\n' "all" "$((SECONDS - started))"
}
# Ends every step still running, and all that each started.
stop_steps() {
  local name pid
  for name in "${!step_pid[@]}"; do
    pid=${step_pid[$name]}
    kill -0 "$pid" 2>/dev/null || continue
    kill -TERM -- "-$pid" 2>/dev/null || true
    echo "== ended the step still running: $name"
  done
  for name in "${!step_pid[@]}"; do wait "${step_pid[$name]}" 2>/dev/null || true; done
}
# A step that has ended: its log shown when asked for at its start, or when
# it failed; a failure ends every other step and the run.
ended() {  # NAME STATUS
  unset "step_pid[$1]"
  if [[ -n ${step_show[$1]:-} || $2 != 0 ]]; then
    echo "== $1"
    cat "$logs/$1.log"
  fi
  if (($2 != 0)); then
    echo "== $1 failed (exit status $2)"
    stop_steps
    times
    exit "$2"
  fi
}
# Until step NAME has ended; whichever step ends first is dealt with first,
# so a failure anywhere ends the run at once.
finish() {  # NAME
  local pid status name
  while [[ -n ${step_pid[$1]:-} ]]; do
    status=0
    pid=
    wait -n -p pid "${step_pid[@]}" || status=$?
    for name in "${!step_pid[@]}"; do
      [[ ${step_pid[$name]} != "$pid" ]] || ended "$name" "$status"
    done
  done
}
declare -A step_show
step() {  # NAME COMMAND...
  step_show[$1]=1
  start "$@"
  finish "$1"
}
cleanups=()
on_exit() {
  local c
  stop_steps
  for c in "${cleanups[@]}"; do eval "$c" || true; done
}
trap on_exit EXIT
trap 'echo "== interrupted"; exit 130' INT TERM HUP

packages=(cmake g++ clang make libgtest-dev libbenchmark-dev procps)
if ((!quick)); then
  packages+=(bind9 bind9-utils bind9-dnsutils nsd knot knot-dnsutils knot-dnssecutils pdns-server pdns-backend-bind
    unbound yadifa gdnsd pdns-recursor knot-resolver dnsmasq apparmor isc-dhcp-server kea-dhcp4-server isc-dhcp-client
    g++-mingw-w64-x86-64 wine64 util-linux iproute2 time man-db dpkg-dev strace lintian)
else
  packages+=(util-linux strace)
fi
# The sanitizers' runtime is a package of its own on Debian 12, named after
# clang's major version: from the clang there is, or from the one that the
# package lists would install (known only once they are updated).
clang_major() {
  if command -v clang++ >/dev/null; then
    clang++ --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -1
  else
    apt-cache depends clang 2>/dev/null | sed -n 's/.*Depends: clang-\([0-9]*\)$/\1/p' | head -1
  fi
}
runtime=
if ((!quick)); then
  runtime=$(clang_major || true)
  [[ -z $runtime ]] || packages+=("libclang-rt-$runtime-dev")
fi

sudo=
if ((EUID != 0)); then sudo=sudo; fi
# Packages never start their services while test.sh installs them (the
# tests start their own servers, each in a namespace of its own); a
# policy-rc.d of the machine's own is put back afterwards.
policy=/usr/sbin/policy-rc.d
refuse_service_starts() {
  [[ ! -e $policy ]] || $sudo mv "$policy" "$policy.zonquist-saved"
  printf '#!/bin/sh\n# zonquist test.sh: no service starts while it installs\nexit 101\n' | $sudo tee "$policy" >/dev/null
  $sudo chmod 755 "$policy"
  cleanups+=(allow_service_starts)
}
allow_service_starts() {
  if [[ -e $policy.zonquist-saved ]]; then
    $sudo mv "$policy.zonquist-saved" "$policy"
  elif grep -q '^# zonquist test.sh' "$policy" 2>/dev/null; then
    $sudo rm -f "$policy"
  fi
}
install_packages() {  # PACKAGE...
  local p wanted=() unknown=() units=()
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  if ((!quick)) && [[ -z $runtime ]]; then
    runtime=$(clang_major)
    set -- "$@" "libclang-rt-$runtime-dev"
  fi
  for p in "$@"; do
    if apt-cache show "$p" >/dev/null 2>&1; then
      wanted+=("$p")
    elif [[ $p != "libclang-rt-$runtime-dev" ]]; then  # elsewhere the runtime comes with clang itself
      unknown+=("$p")
    fi
  done
  if ((${#unknown[@]})); then
    echo "not in this system's package lists: ${unknown[*]} (ZONQUIST_SKIP_MISSING=1 skips what needs them)"
    return 1
  fi
  if ! $sudo apt-get install -y -q "${wanted[@]}"; then
    echo "apt-get could not install: ${wanted[*]}"
    return 1
  fi
  # Nor at the next boot: the services these packages enabled are disabled
  # again; those of packages that were there before are left as they were.
  if command -v systemctl >/dev/null && [[ -d /run/systemd/system ]]; then
    for p in "${wanted[@]}"; do
      units+=($(dpkg -L "$p" 2>/dev/null | sed -n 's|^/lib/systemd/system/\([^/@]*\.service\)$|\1|p'))
    done
    for p in "${units[@]}"; do
      if systemctl is-enabled --quiet "$p" 2>/dev/null; then
        $sudo systemctl disable --quiet "$p"
        echo "disabled $p, which the install enabled"
      fi
    done
  fi
}
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})) && [[ $skip_missing != 1 ]]; then
  if ((EUID != 0)) && ! command -v sudo >/dev/null; then
    echo "== installing ${missing[*]} needs root or sudo (ZONQUIST_SKIP_MISSING=1 installs nothing)" >&2
    exit 1
  fi
  refuse_service_starts
  step "installing ${#missing[@]} packages" install_packages "${missing[@]}"
  allow_service_starts
elif ((${#missing[@]})); then
  echo "== not installed, so their tests are skipped: ${missing[*]}"
fi
for tool in cmake ctest c++; do
  command -v $tool >/dev/null || { echo "== nothing can be built without $tool: install cmake and g++" >&2; exit 1; }
done

# Why each skipped test skipped, from ctest's log.
skip_reasons() {
  awk '/^[0-9]+\/[0-9]+ Test: / { name = $3 }
       /^SKIP: / || /: Skipped$/ { want = 1; if (/^SKIP: /) { print "  skipped " name ": " substr($0, 7); want = 0 } next }
       want { print "  skipped " name ": " $0; want = 0 }' "$1/Testing/Temporary/LastTest.log" | sort -u
}
ctest_in() {  # BUILD_DIR CTEST_ARGS...
  local status=0
  ctest --test-dir "$@" --output-on-failure || status=$?
  [[ ! -e $1/Testing/Temporary/LastTest.log ]] || skip_reasons "$1"
  return $status
}
gxx_build() {  # CMAKE_ARGS...
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZONQUIST_TESTS=ON -DZONQUIST_WERROR=ON "$@"
  cmake --build build -j"$jobs"
}

if ((quick)); then
  step "g++ build" gxx_build
  step "g++ tests, quick" ctest_in build -j"$jobs" -E 'DnsServers|Resolvers|Dhcp|AppArmor|Wine|WindowsBuild|Package|QuickStart'
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
    "$wine" wineboot -i >/dev/null 2>&1
  }
  start "Windows build (mingw-w64)" windows_build
  cleanups+=("/usr/lib/wine/wineserver64 -k 2>/dev/null")
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
    ctest_in build-asan -j"$jobs" -E 'DnsServers|Resolvers|Dhcp|AppArmor|Wine|WindowsBuild|Package|QuickStart'
}
# A crash fails the step and names the input that made it, kept in
# build-logs/.
fuzz() {
  CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZONQUIST_FUZZ=ON -DZONQUIST_TESTS=OFF -DZONQUIST_WERROR=ON
  cmake --build build-fuzz -j"$jobs" --target fuzz_command_line fuzz_records
  local corpus status target seeds zones zone
  zones=$(mktemp -d)
  for target in command_line records; do
    seeds=tests/fuzz_seeds
    [[ $target == command_line ]] || seeds=tests/fuzz_seeds_$target
    corpus=$(mktemp -d)
    status=0
    ZONQUIST_FUZZ_ZONES=$zones build-fuzz/fuzz_$target -max_total_time="${ZONQUIST_FUZZ_SECONDS:-20}" -print_final_stats=1 \
      -artifact_prefix="$logs/fuzz-$target-" "$corpus" "$seeds" >"$logs/fuzzer-$target.out" 2>&1 || status=$?
    rm -rf "$corpus"
    if ((status)); then
      tail -40 "$logs/fuzzer-$target.out"
      echo "fuzzing $target failed (exit status $status); the input: $(ls "$logs"/fuzz-$target-* 2>/dev/null | tr '\n' ' ')"
      return "$status"
    fi
    tail -4 "$logs/fuzzer-$target.out"
  done
  # What the records reader accepted, every checker loads.
  if command -v named-checkzone >/dev/null && command -v kzonecheck >/dev/null; then
    for zone in "$zones"/*; do
      named-checkzone -q lan.internal. "$zone" || { cp "$zone" "$logs/fuzz-refused-zone"; echo "named-checkzone refused $logs/fuzz-refused-zone"; return 1; }
      kzonecheck -o lan.internal. "$zone" >/dev/null || { cp "$zone" "$logs/fuzz-refused-zone"; echo "kzonecheck refused $logs/fuzz-refused-zone"; return 1; }
    done
    echo "the records reader's accepted zones: $(ls "$zones" | wc -l) loaded by named-checkzone and kzonecheck"
  else
    echo "the checkers of accepted records skipped: install bind9-utils and knot-dnssecutils"
  fi
  rm -rf "$zones"
  echo "fuzzing: no crash"
}
fuzzing="fuzzing for ${ZONQUIST_FUZZ_SECONDS:-20} s"
clang=1
if ! command -v clang++ >/dev/null; then
  clang=0
  echo "== the sanitizer build and fuzzing skipped: install clang and libclang-rt-dev"
fi
if ((clang)); then
  steps+=("clang sanitizer build")
  step_show["clang sanitizer build and tests"]=1
  start "clang sanitizer build and tests" sanitizer
fi
start "g++ build" gxx_build -DZONQUIST_WINDOWS_EXE="$windows_exe"
[[ -z $windows_exe ]] || finish "Windows build (mingw-w64)"
finish "g++ build"

step_show["$fuzzing"]=1 step_show["g++ tests"]=1
((!clang)) || start "$fuzzing" fuzz
start "g++ tests" ctest_in build -j6
finish "g++ tests"
if ((clang)); then
  finish "clang sanitizer build and tests"
  finish "$fuzzing"
fi
times
echo "== every test passed in $((SECONDS - started)) s"
