#!/usr/bin/env bash
# Every mainstream DNS server loads the zones of a /C and a /B run, listed by
# the README's own recipes from the files as written, and answers from them.
#   dns_servers_test.sh ZONQUIST README
# A missing server or tool is a failure that names its package, unless
# ZONQUIST_SKIP_MISSING=1 asks to skip (exit 77).
set -euo pipefail
zonquist=$(realpath "$1")
readme=$(realpath "$2")
export ZONQUIST_README=$readme
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=dns/servers.sh
source "$here/dns/servers.sh"
export PATH=$PATH:/usr/sbin

missing=()
for server in "${dns_servers[@]}"; do
  command -v "$(server_binary "$server")" >/dev/null || missing+=("$(server_packages "$server")")
done
for tool in dig:bind9-dnsutils named-checkzone:bind9-utils nsd-checkzone:nsd kzonecheck:knot-dnssecutils unshare:util-linux \
  ip:iproute2; do
  command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
why=
((${#missing[@]})) && why="missing packages: ${missing[*]} (apt-get install them)"
((EUID == 0)) || why="${why:+$why; }each server runs in a network namespace of its own, which needs root"
if [[ -n $why ]]; then
  if [[ ${ZONQUIST_SKIP_MISSING:-0} == 1 ]]; then
    echo "SKIP: $why"
    exit 77
  fi
  echo "FAIL: $why (ZONQUIST_SKIP_MISSING=1 skips these tests)"
  exit 1
fi

work=$(mktemp -d /tmp/zonquist-dns-XXXXXX)
chmod 755 "$work"  # BIND runs as its own user, as on Debian
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Every PRIMARY zone loads in the two checkers with all of its records.
check_zones() {
  local zone file records loaded
  while read -r _ zone file; do
    records=$(($(wc -l <"$file") - 1))  # less the comment line
    if [[ $file == rfc1918.nam ]]; then
      file=forward.zone records=$((records + 1))  # the README's wrapper adds the name server
    fi
    if loaded=$(named-checkzone -D -o - "$zone" "$file" 2>"$work/check.err" | grep -vc '^;'); then
      [[ $loaded == "$records" ]] || fail "named-checkzone $zone: $loaded records, wanted $records"
    else
      fail "named-checkzone $zone $file: $(cat "$work/check.err")"
    fi
    if nsd-checkzone -p "$zone" "$file" >"$work/nsd.out" 2>&1; then
      loaded=$(grep -c $'\tIN\t' "$work/nsd.out")
      [[ $loaded == "$records" ]] || fail "nsd-checkzone $zone: $loaded records, wanted $records"
    else
      fail "nsd-checkzone $zone $file: $(cat "$work/nsd.out")"
    fi
  done < <(grep '^PRIMARY' BOOT.INC)
}

# Any domain the tool accepts makes names that every checker takes: 50
# random ones, host-name labels of 1 to 63 characters, up to 235 in all.
random_label() {  # LENGTH
  local chars=abcdefghijklmnopqrstuvwxyz0123456789- label= i
  for ((i = 0; i < $1; i++)); do
    if ((i == 0 || i == $1 - 1)); then label+=${chars:RANDOM % 36:1}; else label+=${chars:RANDOM % 37:1}; fi
  done
  echo "$label"
}
mkdir "$work/names"
cd "$work/names"
for ((n = 0; n < 50; n++)); do
  domain=
  while :; do
    length=$((n % 5 == 0 ? 63 : 1 + RANDOM % 63))
    ((${#domain} + length + 1 <= 235)) || break
    domain+="$(random_label $length)."
    ((RANDOM % 3)) || break
  done
  [[ -n $domain ]] || domain=$(random_label 1).
  "$zonquist" /C "$domain" >/dev/null || { fail "zonquist refused $domain"; continue; }
  printf '$INCLUDE %s/rfc1918.nam\nns IN A 127.0.0.1\n' "$PWD" >forward.zone
  for zone in "$domain forward.zone" "168.192.in-addr.arpa. r192168.rev" "10.in-addr.arpa. r10.rev"; do
    set -- $zone
    named-checkzone -q "$1" "$2" || fail "named-checkzone refuses $2 of $domain"
    nsd-checkzone "$1" "$2" >/dev/null || fail "nsd-checkzone refuses $2 of $domain"
    kzonecheck -o "$1" "$2" >/dev/null || fail "kzonecheck refuses $2 of $domain"
  done
done
echo "50 random domains: every checker takes their /C zones"

# One of servers.sh's runs inside a network namespace of its own: its
# lines but the right answers shown, its failures counted, and its MARK line
# required.
in_namespace() {  # LABEL MARK ARGS...
  local label=$1 mark=$2
  shift 2
  unshare -n -- bash "$here/dns/servers.sh" "$@" >"$work/out" 2>&1 || true
  grep -v '^ok: ' "$work/out" || true
  echo "$label: $(grep -c '^ok: ' "$work/out") answers right"
  failures=$((failures + $(grep -c '^FAIL' "$work/out" || true)))
  grep -q "^$mark" "$work/out" || fail "$label: no '$mark' line"
}

for server in "${dns_servers[@]}"; do
  for kind in recipe config reload; do
    [[ -n $(readme_block "$readme" "$kind" "$server") ]] || fail "the README has no $kind block for $server"
  done
done

for run in C B; do
  zones="$work/$run"
  mkdir "$zones"
  cd "$zones"
  "$zonquist" "/$run" lan.internal. >/dev/null
  NS_ADDRESS=127.0.0.1 bash -euo pipefail -c "$(readme_recipe "$readme" bind)" || fail "the README's recipe for BIND failed"
  wrapper=$(cat forward.zone)
  "$zonquist" "/$run" lan.internal. >/dev/null
  [[ $(cat forward.zone) == "$wrapper" ]] || fail "a rerun changed the hand-kept forward.zone"
  check_zones

  if [[ $run == C ]]; then
    # The first line of each file as a run that never committed left it:
    # every server must refuse every zone; then the real line goes back.
    while read -r _ _ file; do
      head -c 40 "$file" >"$work/$file.head"
      printf 'INCOMPLETE-ZONQUIST-20070118-IS-WRITING\n' | dd of="$file" conv=notrunc status=none
    done < <(grep '^PRIMARY' BOOT.INC)
    for server in "${dns_servers[@]}"; do
      EXPECT_REFUSED=1 in_namespace "/C guarded $server" refused session "$server" "$zones" "$work/G-$server" 300
    done
    while read -r _ _ file; do dd if="$work/$file.head" of="$file" conv=notrunc status=none; done < <(grep '^PRIMARY' BOOT.INC)
  fi

  for server in "${dns_servers[@]}"; do
    RUN=$run in_namespace "/$run $server" loaded session "$server" "$zones" "$work/$run-$server" 300 "$here/dns/checks.sh"
  done
  cd "$work"
done

# The life of the zones on each server: reruns and a failure, each followed
# by the README's reload.
for server in "${dns_servers[@]}"; do
  mkdir -p "$work/L-$server/zones"
  in_namespace "lifecycle $server" "d: " lifecycle "$server" "$work/L-$server/zones" "$work/L-$server" "$zonquist" \
    "$here/dns/checks.sh"
done

for server in "${dns_servers[@]}"; do echo "$server: $(server_version "$server")"; done
if ((failures)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "all DNS server checks passed"
