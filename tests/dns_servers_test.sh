#!/usr/bin/env bash
# The zones in the DNS software of Debian, by the README's own blocks, one
# part at a time so that the parts run side by side:
#   dns_servers_test.sh ZONQUIST README checkers   every checker takes the zones
#   dns_servers_test.sh ZONQUIST README names-1    ... and the names of 25 random domains (names-2: 25 more)
#   dns_servers_test.sh ZONQUIST README SERVER     one server loads, answers and reloads them
#   dns_servers_test.sh ZONQUIST README RESOLVER   clients reach them through one resolver
#   dns_servers_test.sh ZONQUIST README apparmor   the AppArmor profiles compile with the additions
#   dns_servers_test.sh ZONQUIST README secondary  secondaries follow the serials of their primary
#   dns_servers_test.sh ZONQUIST README dhcp-D     a DHCP daemon's hook keeps NSD's zones current
# A missing package is a failure that names it, unless ZONQUIST_SKIP_MISSING=1
# asks to skip (exit 77).
set -euo pipefail
zonquist=$(realpath "$1")
readme=$(realpath "$2")
what=$3
export ZONQUIST_README=$readme
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=dns/servers.sh
source "$here/dns/servers.sh"
export PATH=$PATH:/usr/sbin

missing=()
needs=(dig:bind9-dnsutils)
case $what in
  checkers | names-[12]) needs+=(named-checkzone:bind9-utils nsd-checkzone:nsd kzonecheck:knot-dnssecutils) ;;
  apparmor) needs=(apparmor_parser:apparmor) ;;
  *-resolver | pdns-recursor | dnsmasq) needs+=(unshare:util-linux ip:iproute2 nsd:nsd) ;;
  secondary) needs+=(unshare:util-linux ip:iproute2 nsd:nsd named:bind9 knotd:knot) ;;
  dhcp-dnsmasq) needs+=(unshare:util-linux ip:iproute2 nsd:nsd dnsmasq:dnsmasq dhclient:isc-dhcp-client flock:util-linux) ;;
  dhcp-isc) needs+=(unshare:util-linux ip:iproute2 nsd:nsd dhcpd:isc-dhcp-server dhclient:isc-dhcp-client) ;;
  dhcp-kea) needs+=(unshare:util-linux ip:iproute2 nsd:nsd kea-dhcp4:kea-dhcp4-server dhclient:isc-dhcp-client) ;;
  *) needs+=(unshare:util-linux ip:iproute2) ;;
esac
[[ $what == checkers || $what == names-[12] || $what == apparmor || $what == secondary || $what == dhcp-* ]] ||
  needs+=("$(server_binary "$what"):$(server_packages "$what" | tr ' ' ,)")
for tool in "${needs[@]}"; do
  command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
why=
((${#missing[@]})) && why="missing packages: ${missing[*]//,/ } (apt-get install them)"
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

finish() {
  if ((failures)); then
    echo "$failures failure(s)"
    exit 1
  fi
  echo "all checks of $what passed"
  exit 0
}

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

# The /C zones of 25 random domains through the three checkers.
if [[ $what == names-[12] ]]; then
  half=${what#names-}
  mkdir "$work/names"
  cd "$work/names"
  for ((n = (half - 1) * 25; n < half * 25; n++)); do
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
  echo "25 random domains, half $half of 50: every checker takes their /C zones"
  finish
fi

if [[ $what == checkers ]]; then
  for run in C B; do
    mkdir "$work/$run"
    cd "$work/$run"
    "$zonquist" "/$run" lan.internal. >/dev/null
    NS_ADDRESS=127.0.0.1 bash -euo pipefail -c "$(readme_recipe "$readme" bind)" || fail "the README's recipe for BIND failed"
    wrapper=$(cat forward.zone)
    "$zonquist" "/$run" lan.internal. >/dev/null
    [[ $(cat forward.zone) == "$wrapper" ]] || fail "a rerun changed the hand-kept forward.zone"
    check_zones
  done
  finish
fi

if [[ $what == apparmor ]]; then
  # Each profile with the README's addition, as apparmor_parser compiles it
  # for loading; nothing is loaded into a kernel.
  for server in bind unbound; do
    block=$(readme_block "$readme" apparmor "$server")
    [[ -n $block ]] || { fail "the README has no apparmor block for $server"; continue; }
    copy=$work/$server
    cp -a /etc/apparmor.d "$copy"
    apparmor_parser() { command apparmor_parser --skip-kernel-load --skip-cache --base "$copy" --Include "$copy" "$@"; }
    block=$(sed "s|/etc/apparmor.d|$copy|g" <<<"$block")
    if ! (eval "$block") >"$work/parser.out" 2>&1; then
      fail "$server's profile does not compile with the addition: $(grep -v 'Cache read/write disabled' "$work/parser.out")"
    fi
    profile=$(grep -o "$copy/usr.sbin.[a-z]*" <<<"$block" | tail -1)
    apparmor_parser --preprocess "$profile" 2>/dev/null | grep -qxF '/srv/dns/** r,' ||
      fail "$server's profile does not let it read /srv/dns"
    unset -f apparmor_parser
    echo "$server: its profile compiles and reads /srv/dns"
  done
  finish
fi

[[ $what == secondary || $what == dhcp-* ]] || for kind in recipe config reload; do
  [[ -n $(readme_block "$readme" "$kind" "$what") ]] || fail "the README has no $kind block for $what"
done

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

if [[ $what == dhcp-* ]]; then
  mkdir -p "$work/D"
  in_namespace "${what#dhcp-} keeping NSD's zones current by the README's hook" "b: " dhcp_lifecycle "${what#dhcp-}" "$work/D" "$zonquist"
  finish
fi

if [[ $what == secondary ]]; then
  in_namespace "NSD, and BIND and Knot by the catalog, as secondaries of BIND" "d: " secondary_lifecycle "$work/S" "$zonquist"
  finish
fi

if [[ " ${dns_resolvers[*]} " == *" $what "* ]]; then
  mark="b: "
  [[ $what != unbound-resolver ]] || mark="c: "  # the one that also serves a real network
  in_namespace "$what in front of nsd" "$mark" resolver_lifecycle "$what" "$work/R" "$zonquist"
  echo "$what: $(server_version "$what")"
  finish
fi

# The guard as a run killed mid-file leaves it: r17220.rev is a FIFO that no
# one reads, so the run waits there with rfc1918.nam open and guarded.
mkdir "$work/killed"
mkfifo "$work/killed/r17220.rev"
(cd "$work/killed" && exec "$zonquist" /B lan.internal. >/dev/null) &
killed=$!
for _ in $(seq 100); do [[ -s $work/killed/r17219.rev ]] && break; sleep 0.1; done
sleep 0.2
kill -9 "$killed"
wait "$killed" 2>/dev/null || true
GUARD=$(head -1 "$work/killed/rfc1918.nam")
export GUARD

# A /C set with each file's first line as the killed run left its own: the
# server must refuse every zone.
mkdir "$work/G"
cd "$work/G"
"$zonquist" /C lan.internal. >/dev/null
[[ $GUARD != "$(head -1 rfc1918.nam)" ]] || fail "a run killed mid-file left rfc1918.nam's real first line"
while read -r _ _ file; do
  printf '%s\n' "$GUARD" | dd of="$file" conv=notrunc status=none
done < <(grep '^PRIMARY' BOOT.INC)
EXPECT_REFUSED=1 in_namespace "/C guarded $what" refused session "$what" "$work/G" "$work/G-$what" 300

# A /B set from a fresh start (the lifecycle's first step is the /C one).
mkdir "$work/B"
cd "$work/B"
"$zonquist" /B lan.internal. >/dev/null
RUN=B in_namespace "/B $what" loaded session "$what" "$work/B" "$work/B-$what" 300 "$here/dns/checks.sh"

# The life of the zones on the server: a /C run from a fresh start, then
# reruns and a failure, each followed by the README's reload.
mkdir -p "$work/L/zones"
in_namespace "lifecycle $what" "e: " lifecycle "$what" "$work/L/zones" "$work/L" "$zonquist" "$here/dns/checks.sh"
echo "$what: $(server_version "$what")"
finish
