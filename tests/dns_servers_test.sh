#!/usr/bin/env bash
# Real DNS servers load the zones of a run and answer from them.
#   dns_servers_test.sh ZONQUIST
# Exits 77 (skipped) when BIND or NSD is missing, unless
# ZONQUIST_REQUIRE_DNS_SERVERS=1, when that is a failure.
set -euo pipefail
zonquist=$(realpath "$1")

for tool in named named-checkzone nsd-checkzone dig; do
  if ! command -v "$tool" >/dev/null && [[ ! -x /usr/sbin/$tool ]]; then
    if [[ ${ZONQUIST_REQUIRE_DNS_SERVERS:-0} == 1 ]]; then
      echo "FAIL: $tool is not installed (bind9, bind9-utils, bind9-dnsutils, nsd)"
      exit 1
    fi
    echo "SKIP: $tool is not installed; install bind9, bind9-utils, bind9-dnsutils and nsd"
    exit 77
  fi
done
export PATH=$PATH:/usr/sbin

work=$(mktemp -d /tmp/zonquist-dns-XXXXXX)
named_pid=
cleanup() {
  [[ -n $named_pid ]] && kill "$named_pid" 2>/dev/null && wait "$named_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {  # what, wanted, got
  if [[ $2 == "$3" ]]; then echo "ok: $1 -> $3"; else fail "$1: wanted '$2', got '$3'"; fi
}

# The README's recipe for BIND: a hand-kept zone that includes the
# generated forward zone and gives the name server its address.
write_recipe() {
  printf '%s\n' '$INCLUDE rfc1918.nam' 'ns IN A 127.0.0.1' > lan.internal.zone
}

# Every PRIMARY zone loads in both checkers with all of its records.
check_zones() {
  local zone file records bind_file loaded extra
  while read -r _ zone file; do
    file=${file%$'\r'}
    records=$(($(wc -l < "$file") - 1))  # less the comment line
    bind_file=$file extra=0
    if [[ $file == rfc1918.nam ]]; then bind_file=lan.internal.zone extra=1; fi
    if loaded=$(named-checkzone -D -o - "$zone" "$bind_file" 2>"$work/check.err" | grep -vc '^;'); then
      expect "named-checkzone $zone records" $((records + extra)) "$loaded"
    else
      fail "named-checkzone $zone $bind_file: $(cat "$work/check.err")"
    fi
    if nsd-checkzone -p "$zone" "$file" >"$work/nsd.out" 2>&1; then
      expect "nsd-checkzone $zone records" "$records" "$(grep -c $'\tIN\t' "$work/nsd.out")"
    else
      fail "nsd-checkzone $zone $file: $(cat "$work/nsd.out")"
    fi
  done < <(grep '^PRIMARY' BOOT.INC)
}

start_named() {
  local port=$1
  {
    echo "options { directory \"$PWD\"; listen-on port $port { 127.0.0.1; }; listen-on-v6 { none; };"
    echo "  pid-file \"$work/named.pid\"; session-keyfile \"$work/session.key\"; recursion no; };"
    grep '^PRIMARY' BOOT.INC | tr -d '\r' |
      awk '{ f = $3 == "rfc1918.nam" ? "lan.internal.zone" : $3;
             print "zone \"" $2 "\" { type primary; file \"" f "\"; };" }'
  } > "$work/named.conf"
  named -g -c "$work/named.conf" >"$work/named.log" 2>&1 &
  named_pid=$!
  # Ready when every zone answers: zones load after the server starts.
  local zone waiting
  for _ in $(seq 1 120); do
    waiting=0
    while read -r _ zone _; do
      [[ -n $(dig @127.0.0.1 -p "$port" +short +time=1 +tries=1 SOA "$zone") ]] || waiting=1
    done < <(grep '^PRIMARY' BOOT.INC)
    ((waiting)) || return 0
    kill -0 "$named_pid" 2>/dev/null || break
    sleep 0.5
  done
  fail "named did not answer on port $port"
  tail -20 "$work/named.log"
  return 1
}

stop_named() {
  kill "$named_pid" 2>/dev/null || true
  wait "$named_pid" 2>/dev/null || true
  named_pid=
}

ask() { dig @127.0.0.1 -p "$port" +short +time=2 +tries=3 "$@"; }

for run in C B; do
  dir="$work/$run"
  mkdir "$dir"
  cd "$dir"
  write_recipe
  "$zonquist" "/$run" lan.internal. >/dev/null
  "$zonquist" "/$run" lan.internal. >/dev/null  # a rerun leaves the recipe alone
  expect "recipe file after a rerun" "$(printf '%s\n' '$INCLUDE rfc1918.nam' 'ns IN A 127.0.0.1')" \
    "$(cat lan.internal.zone)"
  check_zones

  port=$((20000 + RANDOM % 20000))
  start_named "$port" || continue
  while read -r _ zone _; do
    expect "SOA serial of $zone" 1 "$(ask SOA "$zone" | awk '{print $3}')"
  done < <(grep '^PRIMARY' BOOT.INC)

  detailed=(192.168.1.20 "192.168.$((RANDOM % 256)).$((RANDOM % 256))" "192.168.255.255" "192.168.0.0")
  wildcard=(10.1.2.3 "10.$((RANDOM % 256)).$((RANDOM % 256)).$((RANDOM % 256))" 172.20.3.4)
  if [[ $run == B ]]; then
    detailed=(172.20.3.4 "172.$((16 + RANDOM % 16)).$((RANDOM % 256)).$((RANDOM % 256))" 172.31.255.255)
    wildcard=(192.168.1.20 10.1.2.3 "10.$((RANDOM % 256)).$((RANDOM % 256)).$((RANDOM % 256))")
  fi
  for a in "${detailed[@]}"; do
    name="${a//./-}.lan.internal."
    expect "/$run dig -x $a" "$name" "$(ask -x "$a")"
    expect "/$run dig $name A" "$a" "$(ask "$name" A)"
  done
  for a in "${wildcard[@]}"; do
    expect "/$run dig -x $a" private.ip-address.lan.internal. "$(ask -x "$a")"
  done
  stop_named
  cd "$work"
  rm -rf "$dir"
done

if ((failures)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "all DNS server checks passed"
