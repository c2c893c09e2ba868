#!/usr/bin/env bash
# One DNS server at a time on the zones of one folder, each inside a network
# namespace of its own with loopback only, so that no packet leaves the
# machine. Sourced for its tables; run as
#   servers.sh session SERVER ZONEDIR WORK TIMEOUT [CHECKS]
# inside `unshare -n`: starts SERVER, waits until every zone of BOOT.INC
# answers, prints "loaded SERVER SECONDS MIB", sources CHECKS (which uses
# `ask`), and stops the server by its pid.

dns_servers=(bind nsd knot pdns unbound yadifa gdnsd)

# The Debian packages that bring each server and its tools.
server_packages() {
  case $1 in
    bind) echo "bind9 bind9-utils bind9-dnsutils" ;;
    nsd) echo nsd ;;
    knot) echo "knot knot-dnsutils" ;;
    pdns) echo "pdns-server pdns-backend-bind" ;;
    unbound) echo unbound ;;
    yadifa) echo yadifa ;;
    gdnsd) echo gdnsd ;;
  esac
}

server_binary() {
  case $1 in
    bind) echo named ;;
    nsd) echo nsd ;;
    knot) echo knotd ;;
    pdns) echo pdns_server ;;
    unbound) echo unbound ;;
    yadifa) echo yadifad ;;
    gdnsd) echo gdnsd ;;
  esac
}

server_version() {
  case $1 in
    bind) named -v ;;
    nsd) nsd -v 2>&1 | head -1 ;;
    knot) knotd -V | head -1 ;;
    pdns) pdns_server --version 2>&1 | grep -m1 -o 'PowerDNS Authoritative Server [^ ]*' ;;
    unbound) unbound -V | head -1 ;;
    yadifa) yadifad --version 2>&1 | grep -m1 -i yadifa ;;
    gdnsd) gdnsd -h 2>&1 | grep -m1 -i 'gdnsd [0-9]' || dpkg-query -W -f='gdnsd ${Version}\n' gdnsd ;;
  esac
}

# The README's recipe for a server, as its code block stands there.
readme_recipe() {  # README NAME
  awk -v want="<!-- recipe: $2 -->" '
    $0 == want { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }' "$1"
}

# The server's own configuration around the recipe's zone list, in WORK.
write_server_config() {  # SERVER ZONEDIR WORK
  local server=$1 zones=$2 work=$3
  case $server in
    bind)
      cat >"$work/named.conf" <<CONF
options {
  directory "$work";
  listen-on port 53 { 127.0.0.1; };
  listen-on-v6 { none; };
  pid-file "$work/named.pid";
  session-keyfile "$work/session.key";
  recursion no;
  dnssec-validation no;
  notify no;
};
controls { };
include "$zones/zonquist-named.conf";
CONF
      ;;
    nsd)
      cat >"$work/nsd.conf" <<CONF
server:
  ip-address: 127.0.0.1
  port: 53
  do-ip6: no
  username: ""
  chroot: ""
  zonesdir: "$work"
  xfrdir: "$work"
  database: ""
  pidfile: "$work/nsd.pid"
  xfrdfile: "$work/xfrd.state"
  zonelistfile: "$work/zone.list"
  server-count: 1
remote-control:
  control-enable: no
include: "$zones/zonquist-nsd.conf"
CONF
      ;;
    knot)
      mkdir -p "$work/db"
      cat >"$work/knot.conf" <<CONF
server:
  listen: 127.0.0.1@53
  rundir: "$work"
log:
  - target: stderr
    any: info
database:
  storage: "$work/db"
template:
  - id: default
    storage: "$work"
    zonefile-sync: -1
    journal-content: none
include: "$zones/zonquist-knot.conf"
CONF
      ;;
    pdns)
      cat >"$work/pdns.conf" <<CONF
launch=bind
bind-config=$zones/zonquist-pdns.conf
local-address=127.0.0.1
local-port=53
socket-dir=$work
daemon=no
guardian=no
disable-syslog=yes
security-poll-suffix=
primary=no
secondary=no
CONF
      ;;
    unbound)
      cat >"$work/unbound.conf" <<CONF
server:
  interface: 127.0.0.1
  port: 53
  do-ip6: no
  chroot: ""
  username: ""
  directory: "$work"
  pidfile: "$work/unbound.pid"
  use-syslog: no
  module-config: "iterator"
  access-control: 127.0.0.0/8 refuse_non_local
remote-control:
  control-enable: no
include: "$zones/zonquist-unbound.conf"
CONF
      ;;
    yadifa)
      mkdir -p "$work/data" "$work/keys" "$work/log" "$work/xfr"
      cat >"$work/yadifad.conf" <<CONF
<main>
  listen 127.0.0.1
  port 53
  daemon off
  chroot off
  data-path $work/data
  keys-path $work/keys
  log-path $work/log
  xfr-path $work/xfr
  pid-file $work/yadifad.pid
  allow-query any
  allow-update none
  allow-transfer none
</main>
<channels>
  out STDERR
</channels>
<loggers>
  server PROD out
  database PROD out
  zone PROD out
</loggers>
include $zones/zonquist-yadifa.conf
CONF
      ;;
    gdnsd)
      mkdir -p "$work/gdnsd"
      ln -sfn "$zones/gdnsd-zones" "$work/gdnsd/zones"
      cat >"$work/gdnsd/config" <<CONF
options => {
  listen => [ 127.0.0.1 ]
  dns_port => 53
  max_ncache_ttl => 86400
}
CONF
      ;;
  esac
}

server_command() {  # SERVER WORK
  case $1 in
    bind) echo "named -g -c $2/named.conf" ;;
    nsd) echo "nsd -d -c $2/nsd.conf" ;;
    knot) echo "knotd -c $2/knot.conf" ;;
    pdns) echo "pdns_server --config-dir=$2" ;;
    unbound) echo "unbound -d -c $2/unbound.conf" ;;
    yadifa) echo "yadifad -c $2/yadifad.conf" ;;
    gdnsd) echo "gdnsd -c $2/gdnsd start" ;;
  esac
}

ask() { dig @127.0.0.1 +short +norecurse +time=2 +tries=3 "$@"; }

# Lines of the server's log that speak of the files: warnings and errors.
file_warnings() {  # LOG ZONEDIR
  grep -E "$2|in-addr\.arpa|lan\.internal" "$1" | grep -iE 'warn|error|fatal|ignor|fail|refus|invalid|not loaded|skip' |
    sed -E 's/^[^a-zA-Z]*[0-9:.T+-]+[] ]*//; s/[0-9]+\.[0-9]+\.in-addr\.arpa\.?|10\.in-addr\.arpa\.?/ZONE/g' | sort | uniq -c | head -20
}

session() {  # SERVER ZONEDIR WORK TIMEOUT [CHECKS]
  local server=$1 zones=$2 work=$3 timeout=$4 checks=${5:-}
  ip link set lo up
  write_server_config "$server" "$zones" "$work"
  local log=$work/server.log started now zone waiting pid timing=
  [[ ${ZONQUIST_SERVE_TIME:-0} == 1 ]] && timing="/usr/bin/time -v -o $work/time.txt"
  started=$(date +%s.%N)
  # shellcheck disable=SC2046
  $timing $(server_command "$server" "$work") >"$log" 2>&1 &
  pid=$!
  if [[ -n $timing ]]; then  # the server is time's child
    for _ in $(seq 50); do
      server_pid=$(pgrep -P "$pid" | head -1) && [[ -n $server_pid ]] && break
      sleep 0.1
    done
  else
    server_pid=$pid
  fi
  stop() {
    [[ -n ${server_pid:-} ]] && kill "$server_pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    server_pid=
  }
  trap stop EXIT
  if [[ ${EXPECT_REFUSED:-0} == 1 ]]; then
    # A guarded set loads in well under a second when whole; none of its
    # zones may answer in five.
    local served=0 end=$(($(date +%s) + 5))
    while (($(date +%s) < end)) && kill -0 "$server_pid" 2>/dev/null; do
      while read -r _ zone _; do
        [[ $(dig @127.0.0.1 +short +norecurse +time=1 +tries=1 SOA "$zone" | awk '{print $3}') == 1 ]] &&
          { served=1; echo "FAIL: $server serves the guarded zone $zone"; break 2; }
      done < <(grep '^PRIMARY' "$zones/BOOT.INC")
      sleep 0.5
    done
    ((served)) || echo "refused $server: no zone of the guarded set answers"
    stop
    trap - EXIT
    return 0
  fi
  local deadline=$(($(date +%s) + timeout))
  while :; do
    waiting=0
    while read -r _ zone _; do
      [[ $(ask SOA "$zone" | awk '{print $3}') == 1 ]] || { waiting=1; break; }
    done < <(grep '^PRIMARY' "$zones/BOOT.INC")
    ((waiting)) || break
    if ! kill -0 "$server_pid" 2>/dev/null; then
      echo "FAIL: $server stopped before every zone answered:"
      tail -15 "$log"
      return 1
    fi
    if (($(date +%s) >= deadline)); then
      echo "FAIL: $server did not answer for every zone within $timeout s (waiting for $zone):"
      tail -15 "$log"
      return 1
    fi
    sleep 0.2
  done
  now=$(date +%s.%N)
  # Peak resident memory of the server or of its largest child (NSD serves
  # from children).
  local hwm p
  hwm=$(for p in "$server_pid" $(pgrep -P "$server_pid"); do awk '/^VmHWM/ { print $2 }' "/proc/$p/status"; done 2>/dev/null |
    sort -n | tail -1 | awk '{ printf "%.0f", $1 / 1024 }')
  echo "loaded $server $(awk -v a="$started" -v b="$now" 'BEGIN { printf "%.1f", b - a }') s ${hwm:-?} MiB"
  file_warnings "$log" "$zones" | sed "s/^/warning from $server: /"
  if [[ -n $checks ]]; then
    # shellcheck disable=SC1090
    source "$checks"
  fi
  stop
  trap - EXIT
  if [[ -n $timing ]]; then
    echo "time $server $(awk -F': ' '/Maximum resident/ { printf "%.2f GiB", $2 / 1048576 }' "$work/time.txt")"
  fi
}

if [[ ${1:-} == session ]]; then
  shift
  export PATH=$PATH:/usr/sbin
  session "$@"
fi
