#!/usr/bin/env bash
# One DNS server at a time on the zones of one folder, each inside a network
# namespace of its own with loopback only, so that no packet leaves the
# machine. Sourced for its tables; run as
#   servers.sh session SERVER ZONEDIR WORK TIMEOUT [CHECKS]
# inside `unshare -n`: starts SERVER, waits until every zone of BOOT.INC
# answers, prints "loaded SERVER SECONDS MIB", sources CHECKS (which uses
# `ask`), and stops the server by its pid. `lifecycle` and
# `resolver_lifecycle` below run the same way.

dns_servers=(bind nsd knot pdns unbound yadifa gdnsd)
# Resolvers, each in front of an authoritative server.
dns_resolvers=(bind-resolver unbound-resolver pdns-recursor knot-resolver dnsmasq)

# The Debian packages that bring each server and its tools.
server_packages() {
  case $1 in
    bind | bind-resolver) echo "bind9 bind9-utils bind9-dnsutils" ;;
    unbound-resolver) echo unbound ;;
    pdns-recursor | dnsmasq | knot-resolver) echo "$1" ;;
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
    bind | bind-resolver) echo named ;;
    unbound-resolver) echo unbound ;;
    pdns-recursor) echo pdns_recursor ;;
    knot-resolver) echo kresd ;;
    dnsmasq) echo dnsmasq ;;
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
    bind | bind-resolver) named -v ;;
    unbound-resolver) unbound -V | head -1 ;;
    pdns-recursor) pdns_recursor --version 2>&1 | grep -m1 -o 'PowerDNS Recursor [^ ]*' ;;
    knot-resolver) kresd -V ;;
    dnsmasq) dnsmasq -v | head -1 ;;
    nsd) nsd -v 2>&1 | head -1 ;;
    knot) knotd -V | head -1 ;;
    pdns) pdns_server --version 2>&1 | grep -m1 -o 'PowerDNS Authoritative Server [^ ]*' ;;
    unbound) unbound -V | head -1 ;;
    yadifa) yadifad --version 2>&1 | grep -m1 -i yadifa ;;
    gdnsd) gdnsd -h 2>&1 | grep -m1 -i 'gdnsd [0-9]' || dpkg-query -W -f='gdnsd ${Version}\n' gdnsd ;;
  esac
}

# The folder its Debian package installs the configuration in.
server_etc() {
  case $1 in
    bind | bind-resolver | bind-primary | bind-catalog) echo /etc/bind ;;
    nsd-secondary) echo /etc/nsd ;;
    knot-catalog) echo /etc/knot ;;
    pdns | pdns-recursor) echo /etc/powerdns ;;
    unbound-resolver) echo /etc/unbound ;;
    dnsmasq) echo /etc/dnsmasq.conf ;;  # a file: its copy is WORK/etc
    *) echo "/etc/$1" ;;
  esac
}

# The address the server listens on, in its namespace.
address=${ADDRESS:-127.0.0.1}

readme=${ZONQUIST_README:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/README.md}

# A tagged code block of the README for a server (KIND: recipe, config or
# reload), as it stands there.
readme_block() {  # README KIND NAME
  awk -v want="<!-- $2: $3 -->" '
    $0 == want { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }' "$1"
}
readme_recipe() { readme_block "$1" recipe "$2"; }

# A README block as it reads for this test: the zones' folder for /srv/dns,
# the copy of the configuration for the package's folder.
localized() {  # KIND SERVER ZONEDIR WORK
  local block=$2
  [[ $2 != bind-primary || $1 == config ]] || block=bind  # bind's recipe and reload, with a config of its own
  readme_block "$readme" "$1" "$block" |
    sed "s|/srv/dns|$3|g; s|$(server_etc "$2")|$4/etc|g; s|SECONDARY_ADDRESS|${SECONDARY:-}|g; s|\\([^{]\\)PRIMARY_ADDRESS|\\1${PRIMARY:-}|g"
}

# The server's stock configuration, copied into WORK/etc, with what the
# README tells a user to add, and with what a test must change to run beside
# others: its files, pid file and control socket in WORK, loopback only, no
# service user (the folders are the test's own); for servers NOTIFY,
# recursion and validation off.
stock_config() {  # SERVER ZONEDIR WORK
  local server=$1 zones=$2 work=$3 etc copy file line
  etc=$(server_etc "$server")
  copy=$work/etc
  mkdir -p "$work"
  cp -a "$etc" "$copy"
  grep -rlF "$etc" "$copy" | xargs -r sed -i "s|$etc|$copy|g"
  # Each "# in FILE" line of the README's block ("// in", "-- in" too)
  # starts what goes at the end of FILE, or just inside its options block.
  local inside= blocks=$server
  [[ $server != bind-primary ]] || blocks="bind bind-primary"
  file=
  for block in $blocks; do localized config "$block" "$zones" "$work"; done | while IFS= read -r line; do
    if [[ $line =~ ^(#|//|--)\ in\ ([^,]+)(,\ inside\ options)?$ ]]; then
      file=${BASH_REMATCH[2]} inside=${BASH_REMATCH[3]}
      continue
    fi
    [[ -n $file ]] && printf '%s\n' "$line" >>"$file${inside:+.inside}"
  done
  for file in $(find "$copy" -name '*.inside'); do
    awk -v inside="$file" '{ print } /^options \{/ { while ((getline line < inside) > 0) print line }' "${file%.inside}" >"$file.new"
    mv "$file.new" "${file%.inside}"
    rm "$file"
  done
  case $server in
    bind | bind-primary | bind-catalog)
      # A primary sends NOTIFY as the README configures it, to its secondaries alone.
      # Its NOTIFY, and a secondary's transfers, come from its own address,
      # as from a machine of its own.
      local notify='\n  notify no;'
      [[ $server != bind-primary ]] || notify="\\n  notify-source $address;"
      [[ $server != bind-catalog ]] || notify="\\n  notify no;\\n  transfer-source $address;\\n  query-source address $address;"
      # No control channel: the primary's rndc must reach the primary alone.
      [[ $server != bind-catalog ]] || echo 'controls { };' >>"$copy/named.conf"
      sed -i "s|^options {|options {\n  pid-file \"$work/named.pid\";\n  session-keyfile \"$work/session.key\";\n  listen-on { $address; };\n  recursion no;$notify|
        s|directory \"/var/cache/bind\"|directory \"$work\"|; s|dnssec-validation auto;|dnssec-validation no;|
        s|listen-on-v6 { any; };|listen-on-v6 { none; };|" "$copy/named.conf.options"
      chown bind: "$work"
      ;;
    nsd | nsd-secondary)
      cat >>"$copy/nsd.conf" <<CONF
server:
  ip-address: $address
  do-ip6: no
  username: ""
  log-only-syslog: no
  zonesdir: "$work"
  xfrdir: "$work"
  database: ""
  pidfile: "$work/nsd.pid"
  xfrdfile: "$work/xfrd.state"
  zonelistfile: "$work/zone.list"
  server-count: 1
CONF
      ;;
    knot | knot-catalog)
      sed -i "s|\"/run/knot\"|\"$work\"|; /^ *user:/d; s|\"/var/lib/knot\"|\"$work\"|; s|target: syslog|target: stderr|
        s|listen: .*|listen: $address@53|" "$copy/knot.conf"
      if [[ $server == knot-catalog ]]; then
        sed -i "s|^    address: ${PRIMARY:-none}\$|&\n    via: $address|" "$copy/knot.conf"
        printf 'server:\n    listen: %s@53\n' "$address" >>"$copy/knot.conf"
      fi
      ;;
    pdns)
      cat >>"$copy/pdns.conf" <<CONF
local-address=$address
local-port=53
socket-dir=$work
daemon=no
guardian=no
disable-syslog=yes
primary=no
secondary=no
CONF
      ;;
    unbound)
      sed -i "s|/run/unbound.ctl|$work/unbound.ctl|" "$copy/unbound.conf.d/remote-control.conf"
      rm -f "$copy/unbound.conf.d/root-auto-trust-anchor-file.conf"
      cat >>"$copy/unbound.conf" <<CONF
server:
  interface: $address
  port: 53
  do-ip6: no
  chroot: ""
  username: ""
  directory: "$work"
  pidfile: "$work/unbound.pid"
  use-syslog: no
  module-config: "iterator"
CONF
      ;;
    yadifa)
      mkdir -p "$work/log" "$work/data" "$work/keys" "$work/xfr"
      # The rate limit answers 5 a second from one address: all the test's
      # questions come from one.
      sed -i "s|\"/var/log/yadifa\"|\"$work/log\"|; s|\"/run/yadifa/yadifad.pid\"|\"$work/yadifad.pid\"|
        s|\"/var/lib/yadifa\"|\"$work/data\"|; s|\"/var/lib/yadifa/keys\"|\"$work/keys\"|; s|\"/var/lib/yadifa/xfr\"|\"$work/xfr\"|
        /^ *user /d; /^ *group /d; s|listen  *0.0.0.0|listen $address|
        /^<rrl>/,/^<\/rrl>/ s|enabled  *true|enabled false|" "$copy/yadifad.conf"
      ;;
    gdnsd)
      sed -i "s|^options => {|options => {\n  listen => [ $address ]|" "$copy/config"
      ;;
    # Resolvers keep their validation and recursion as shipped.
    bind-resolver)
      sed -i "s|^options {|options {\n  pid-file \"$work/named.pid\";\n  session-keyfile \"$work/session.key\";\n  listen-on { $address; };|
        s|directory \"/var/cache/bind\"|directory \"$work\"|; s|listen-on-v6 { any; };|listen-on-v6 { none; };|" "$copy/named.conf.options"
      chown -R bind: "$work"
      ;;
    unbound-resolver)
      sed -i "s|/run/unbound.ctl|$work/unbound.ctl|" "$copy/unbound.conf.d/remote-control.conf"
      # The trust anchor where Debian's service would have put it.
      cp /usr/share/dns/root.key "$work/root.key"
      sed -i "s|/var/lib/unbound/root.key|$work/root.key|" "$copy/unbound.conf.d/root-auto-trust-anchor-file.conf"
      printf 'server:\n  interface: %s\n  do-ip6: no\n  chroot: ""\n  username: ""\n  directory: "%s"\n  pidfile: "%s/unbound.pid"\n  use-syslog: no\n' \
        "$address" "$work" "$work" >>"$copy/unbound.conf"
      ;;
    knot-resolver)
      sed -i "s|'127.0.0.1'|'$address'|" "$copy/kresd.conf"
      mkdir -p "$work/run"
      ;;
  esac
  # The control commands of the README reach this server and no other.
  cat >"$work/controls.sh" <<CONF
rndc() { command rndc -s 127.0.0.1 "\$@"; }
nsd-control() { command nsd-control -c "$copy/nsd.conf" "\$@"; }
knotc() { command knotc -c "$copy/knot.conf" "\$@"; }
pdns_control() { command pdns_control --config-dir="$copy" "\$@"; }
rec_control() { command rec_control --socket-dir="$work" "\$@"; }
unbound-control() { command unbound-control -c "$copy/unbound.conf" "\$@"; }
gdnsdctl() { command gdnsdctl -c "$copy" "\$@"; }
# No service manager here: the test restarts the server itself.
systemctl() {
  case \$1 in
    restart) touch "$work/restart-asked" && kill "\$(cat "$work/server.pid")" ;;
    reload) kill -HUP "\$(cat "$work/server.pid")" ;;
  esac
}
CONF
}

# The README's recipe, run in the zones' folder as a user runs it.
run_recipe() {  # SERVER ZONEDIR WORK
  (cd "$2" && NS_ADDRESS=${NS_ADDRESS:-$address} PRIMARY_ADDRESS=${PRIMARY:-} bash -euo pipefail -c "$(localized recipe "$1" "$2" "$3")")
  # The secondary's transfers come from its own address, as from a machine
  # of its own.
  [[ $1 != nsd-secondary ]] || sed -i "/request-xfr/a\\  outgoing-interface: $address" "$2/zonquist-nsd-secondary.conf"
}

# The README's reload commands.
run_reload() {  # SERVER ZONEDIR WORK
  (cd "$2" && bash -euo pipefail -c "source '$3/controls.sh'; $(localized reload "$1" "$2" "$3")")
}

server_command() {  # SERVER WORK
  case $1 in
    bind | bind-primary | bind-catalog) echo "named -g -u bind -c $2/etc/named.conf" ;;  # as Debian runs it: root keeps too few rights
    nsd | nsd-secondary) echo "nsd -d -c $2/etc/nsd.conf" ;;
    knot | knot-catalog) echo "knotd -c $2/etc/knot.conf" ;;
    pdns) echo "pdns_server --config-dir=$2/etc" ;;
    unbound) echo "unbound -d -c $2/etc/unbound.conf" ;;
    yadifa) echo "yadifad -c $2/etc/yadifad.conf" ;;
    gdnsd) echo "gdnsd -c $2/etc start" ;;
    bind-resolver) echo "named -g -u bind -c $2/etc/named.conf" ;;
    unbound-resolver) echo "unbound -d -c $2/etc/unbound.conf" ;;
    pdns-recursor) echo "pdns_recursor --config-dir=$2/etc --local-address=$address --socket-dir=$2 --daemon=no --disable-syslog" ;;
    knot-resolver) echo "kresd -n -c $2/etc/kresd.conf $2/run" ;;
    # No upstream: nothing but the zones is asked anywhere.
    dnsmasq) echo "dnsmasq -k -C $2/etc -7 /etc/dnsmasq.d,.dpkg-dist,.dpkg-old,.dpkg-new --listen-address=$address
      --bind-interfaces --pid-file=$2/dnsmasq.pid --user=root --no-resolv --log-facility=-" ;;
  esac
}

ask() { dig @$address +short +norecurse +time=2 +tries=3 "$@"; }

# Lines of the server's log that speak of the files: warnings and errors.
file_warnings() {  # LOG ZONEDIR
  grep -E "$2|in-addr\.arpa|lan\.internal" "$1" | grep -iE 'warn|error|fatal|ignor|fail|refus|invalid|not loaded|skip' |
    sed -E 's/^[^a-zA-Z]*[0-9:.T+-]+[] ]*//; s/[0-9]+\.[0-9]+\.in-addr\.arpa\.?|10\.in-addr\.arpa\.?/ZONE/g' | sort | uniq -c | head -20
}

# Starts the server in the background; server_pid is its pid.
start_server() {  # SERVER WORK
  local timing=
  [[ ${ZONQUIST_SERVE_TIME:-0} == 1 ]] && timing="/usr/bin/time -v -o $2/time.txt"
  # shellcheck disable=SC2046
  $timing $(server_command "$1" "$2") >>"$2/server.log" 2>&1 &
  launched=$!
  server_pid=$launched
  if [[ -n $timing ]]; then  # the server is time's child
    for _ in $(seq 50); do
      server_pid=$(pgrep -P "$launched" | head -1) && [[ -n $server_pid ]] && break
      sleep 0.1
    done
  fi
  echo "$server_pid" >"$2/server.pid"
}

stop_server() {
  [[ -n ${server_pid:-} ]] && kill "$server_pid" 2>/dev/null
  [[ -n ${launched:-} ]] && wait "$launched" 2>/dev/null
  server_pid= launched=
}

# Until the question gets the answer (asked with $asking, ask when unset);
# false after TIMEOUT seconds or when the server is gone.
await() {  # TIMEOUT WANTED QUESTION...
  local seconds=$1 deadline=$(($(date +%s) + $1)) wanted=$2
  shift 2
  until [[ $(${asking:-ask} "$@" | head -1) == "$wanted" ]]; do
    kill -0 "$server_pid" 2>/dev/null || { echo "FAIL: $server stopped: $(tail -5 "$work/server.log" | tr '\n' ' ')"; return 1; }
    (($(date +%s) < deadline)) || { echo "FAIL: $server: no '$wanted' for $* within $seconds s"; return 1; }
    sleep 0.5
  done
}

# Until every reverse zone answers for its first address as a run of this
# class and domain wrote it, and the forward zone for its first name.
await_run() {  # RUN DOMAIN TIMEOUT
  local zone net first class
  while read -r _ zone _; do
    [[ $zone == *in-addr.arpa. ]] || continue
    net=$(awk -F. '{ for (i = NF - 3; i >= 1; i--) printf "%s.", $i }' <<<"$zone")
    first=$(awk -F. '{ printf "%s.%s.%s.%s", $1, ($2 == "" ? 0 : $2), 0, 0 }' <<<"$net")
    class=$(case ${first%%.*} in 10) echo A ;; 172) echo B ;; *) echo C ;; esac)
    if [[ $class == "$1" ]]; then
      await "$3" "${first//./-}.$2" -x "$first" || return 1
    else
      await "$3" "private.ip-address.$2" -x "$first" || return 1
    fi
  done < <(grep '^PRIMARY' "$zones/BOOT.INC")
  await "$3" "ns.$2 postmaster.$2 ${SERIAL:-1} 86400 3600 604800 86400" SOA "$2"
}

serial_of() { ask SOA "$1" | awk '{ print $3 }'; }
# Each zone of BOOT.INC that answers its SOA, and the serial, from one dig.
serials() {  # ZONEDIR [DIG OPTION]...
  local zones=$1
  shift
  # shellcheck disable=SC2046
  dig @$address +norecurse +time=2 +tries=3 "$@" +noall +answer $(awk '/^PRIMARY/ { printf "%s SOA ", $2 }' "$zones/BOOT.INC") |
    awk '$4 == "SOA" { print $1, $7 }'
}
all_zones_answer() {  # ZONEDIR
  local first
  # The first zone alone while nothing answers yet.
  first=$(awk '/^PRIMARY/ { print $2; exit }' "$1/BOOT.INC")
  [[ $(serial_of "$first") == "${SERIAL:-1}" ]] || return 1
  [[ $(serials "$1" | awk -v serial="${SERIAL:-1}" '$2 == serial' | wc -l) == $(grep -c '^PRIMARY' "$1/BOOT.INC") ]]
}

# Until every zone of BOOT.INC answers its SOA.
await_zones() {  # ZONEDIR TIMEOUT
  local deadline=$(($(date +%s) + $2))
  until all_zones_answer "$1"; do
    kill -0 "$server_pid" 2>/dev/null || { echo "FAIL: $server stopped:"; tail -15 "$work/server.log"; return 1; }
    (($(date +%s) < deadline)) || { echo "FAIL: $server: not every zone answers within $2 s:"; tail -15 "$work/server.log"; return 1; }
    sleep 0.5
  done
}

# The server from its stock configuration and the README's recipe;
# started is the moment it was started.
configure_and_start() {  # SERVER ZONEDIR WORK
  stock_config "$@"
  run_recipe "$@"
  started=$(date +%s.%N)
  start_server "$1" "$3"
}

# The seconds since STARTED, the peak resident memory of the server or of
# its largest child (NSD serves from children), and its warnings.
say_loaded() {  # STARTED
  local now hwm p
  now=$(date +%s.%N)
  hwm=$(for p in "$server_pid" $(pgrep -P "$server_pid"); do awk '/^VmHWM/ { print $2 }' "/proc/$p/status"; done 2>/dev/null |
    sort -n | tail -1 | awk '{ printf "%.0f", $1 / 1024 }')
  echo "loaded $server $(awk -v a="$1" -v b="$now" 'BEGIN { printf "%.1f", b - a }') s ${hwm:-?} MiB"
  file_warnings "$work/server.log" "$zones" | sed "s/^/warning from $server: /"
}

# One load: stock configuration, recipe, start, every zone answering; then
# CHECKS, or with EXPECT_REFUSED=1 no zone may answer.
session() {  # SERVER ZONEDIR WORK TIMEOUT [CHECKS]
  server=$1 zones=$2 work=$3
  local timeout=$4 checks=${5:-} started
  ip link set lo up
  configure_and_start "$server" "$zones" "$work"
  trap stop_server EXIT
  if [[ ${EXPECT_REFUSED:-0} == 1 ]]; then
    # A guarded set loads in well under a second when whole; none of its
    # zones may answer in five.
    local served=0 end=$(($(date +%s) + 5)) zone
    while (($(date +%s) < end)) && kill -0 "$server_pid" 2>/dev/null; do
      zone=$(serials "$zones" +time=1 +tries=1 | awk '$2 == 1 { print $1; exit }')
      [[ -z $zone ]] || { served=1; echo "FAIL: $server serves the guarded zone $zone"; break; }
      sleep 0.5
    done
    ((served)) || echo "refused $server: no zone of the guarded set answers"
    stop_server
    return 0
  fi
  await_zones "$zones" "$timeout" || return 1
  say_loaded "$started"
  if [[ -n $checks ]]; then
    # shellcheck disable=SC1090
    source "$checks"
  fi
  stop_server
  trap - EXIT
  if [[ ${ZONQUIST_SERVE_TIME:-0} == 1 ]]; then
    echo "time $server $(awk -F': ' '/Maximum resident/ { printf "%.2f GiB", $2 / 1048576 }' "$work/time.txt")"
  fi
}

# The README's recipe and reload commands, as a user runs them after each
# run; the server is started again when they asked for a restart.
reload() {
  run_recipe "$server" "$zones" "$work"
  run_reload "$server" "$zones" "$work" >>"$work/reload.log" 2>&1 ||
    echo "note: $server: the reload commands said: $(tail -2 "$work/reload.log" | tr '\n' ' ')"
  if [[ -e $work/restart-asked ]]; then
    rm "$work/restart-asked"
    wait "$launched" 2>/dev/null
    start_server "$server" "$work"
  fi
}

# Runs the tool, then reloads.
rerun() {  # ARGS...
  local status=0
  (cd "$zones" && "$zonquist" "$@" >/dev/null 2>&1) || status=$?
  reload
  return $status
}

# The life of the zones on one server, by the README's commands: a first
# /C run; a /B rerun; a /C rerun with another domain; a run that fails.
lifecycle() {  # SERVER ZONEDIR WORK ZONQUIST CHECKS
  server=$1 zones=$2 work=$3 zonquist=$4
  local checks=$5 status started
  ip link set lo up
  (cd "$zones" && "$zonquist" /C lan.internal. >/dev/null)
  configure_and_start "$server" "$zones" "$work"
  trap stop_server EXIT
  await_zones "$zones" 240 || return 1
  say_loaded "$started"
  echo "a: first /C run loaded"
  RUN=C DOMAIN=lan.internal. source "$checks"

  # With a serial that goes up at each run, as a primary's should, and a
  # TTL that every server must serve as it stands.
  SERIAL=2
  rerun /B lan.internal. --serial 2 --ttl 600
  await_run B lan.internal. 240 || return 1
  await 240 172.16.0.0 172-16-0-0.lan.internal. A || return 1
  echo "b: /B rerun with the same domain, --serial 2 --ttl 600"
  RUN=B DOMAIN=lan.internal. source "$checks"
  local q
  for q in "172-16-0-0.lan.internal. A" "-x 172.31.255.255" "-x 10.1.2.3" "168.192.in-addr.arpa. SOA"; do
    # shellcheck disable=SC2086
    expect "TTL of $q" 600 "$(dig @$address +norecurse +time=2 +tries=3 +noall +answer $q | awk '{ print $2; exit }')"
  done

  SERIAL=3
  rerun /C other.example. --serial 3
  await_run C other.example. 240 || return 1
  echo "c: /C rerun with another domain"
  RUN=C DOMAIN=other.example. source "$checks"
  local gone
  gone=$(dig @127.0.0.1 +norecurse +time=2 +tries=2 SOA lan.internal. | sed -n 's/.*status: \([A-Z]*\).*/\1/p')
  [[ $gone == REFUSED || $gone == NXDOMAIN ]] || echo "FAIL: $server: the old domain is not gone: $gone $(serial_of lan.internal.)"
  expect "A of an old name" "" "$(ask 172-16-0-0.lan.internal. A)"
  expect "PTR of a block detailed before" private.ip-address.other.example. "$(ask -x 172.16.9.9)"
  expect "TTL as the README says" "$(readme_fact "$server" 2)" "$(dig @127.0.0.1 +norecurse +noall +answer 192-168-0-1.other.example. A | awk '{ print $2 }')"

  # A run cut short by a size limit empties the forward zone and
  # r192168.rev; a run killed outright leaves a file guarded. What the
  # server serves for such a zone after the reload, as the README says.
  (cd "$zones" && ulimit -f 64 && "$zonquist" /C other.example. --serial 3 >/dev/null 2>&1) && status=0 || status=$?
  [[ $status == 2 && ! -s $zones/r192168.rev ]] || echo "FAIL: $server: the size limit did not empty r192168.rev (status $status)"
  reload
  after_failure empty 3

  kill -0 "$server_pid" 2>/dev/null || start_server "$server" "$work"
  rerun /C other.example. --serial 3
  await_run C other.example. 240 || return 1
  # The first line as a run killed mid-file left it (GUARD).
  printf '%s\n' "$GUARD" | dd of="$zones/r192168.rev" conv=notrunc status=none
  reload
  after_failure guarded 4

  # A real network: two prefixes and a hosts file. A server that the
  # guarded file stopped is started again on the new files.
  SERIAL=4
  # shellcheck disable=SC2046
  (cd "$zones" && "$zonquist" $(network_run "$work" 4) >/dev/null)
  if kill -0 "$server_pid" 2>/dev/null; then
    reload
  else
    run_recipe "$server" "$zones" "$work"
    wait "$launched" 2>/dev/null
    start_server "$server" "$work"
  fi
  await_zones "$zones" 240 || return 1
  echo "e: prefixes and a hosts file"
  network_checks other.example.
  if [[ $server == bind ]]; then
    expect "BIND's forward zone" "$zones/rfc1918.nam" "$(grep -o '"[^"]*rfc1918.nam"' "$zones/zonquist-named.conf" | tr -d '"')"
  fi

  # Records of one's own beside a generic name and a hosts name (one that
  # gives ns no address: BIND takes forward.zone, an include in an
  # include), a record of each accepted type; the records file is gone
  # before the server loads, since the run wrote what it checked. Then an
  # edit and a rerun, as the README says.
  SERIAL=5
  printf '10.1.2.5 build\n' >"$work/few-hosts"
  printf '%s\n' '@ IN MX 10 mail' 'mail IN A 10.1.2.25' '_ldap._tcp IN SRV 0 100 389 build' 'wiki IN CNAME build' \
    '@ IN TXT "v=spf1 mx -all"' 'mail AAAA fd00::25' 'sub 600 NS ns1.sub' 'ns1.sub A 10.1.2.53' >"$work/own.zone"
  (cd "$zones" && "$zonquist" /C other.example. --hosts "$work/few-hosts" --serial 5 --records "$work/own.zone" >/dev/null)
  rm "$work/own.zone"
  reload
  await 240 "10 mail.other.example." other.example. MX || return 1
  echo "f: records of one's own"
  expect "SRV of _ldap._tcp" "0 100 389 build.other.example." "$(ask _ldap._tcp.other.example. SRV)"
  expect "CNAME of wiki" build.other.example. "$(ask wiki.other.example. CNAME)"
  expect "TXT of the domain" '"v=spf1 mx -all"' "$(ask other.example. TXT)"
  expect "A of mail" 10.1.2.25 "$(ask mail.other.example. A)"
  expect "AAAA of mail" fd00::25 "$(ask mail.other.example. AAAA)"
  expect "the delegation of sub" "ns1.sub.other.example." \
    "$(dig @$address +norecurse +noall +authority +time=2 +tries=3 www.sub.other.example. A | awk '$4 == "NS" { print $5 }')"
  expect "A of a hosts name" 10.1.2.5 "$(ask build.other.example. A)"
  expect "A of a generic name" 192.168.4.4 "$(ask 192-168-4-4.other.example. A)"
  if [[ $server == bind ]]; then
    expect "BIND's forward zone" "$zones/forward.zone" "$(grep -o '"[^"]*/forward.zone"' "$zones/zonquist-named.conf" | tr -d '"')"
  fi
  printf '%s\n' 'new IN TXT "edited"' >"$work/own.zone"
  (cd "$zones" && "$zonquist" /C other.example. --hosts "$work/few-hosts" --serial next --records "$work/own.zone" >/dev/null)
  reload
  await 120 '"edited"' new.other.example. TXT || return 1
  expect "serial of the forward zone, one up" 6 "$(serial_of other.example.)"
  expect "serial of a zone left as it was" 5 "$(serial_of 168.192.in-addr.arpa.)"
  echo "g: an edited records file, and a rerun with --serial next"

  # IPv6: the unique local addresses of a dual-stack network, a new zone.
  SERIAL=7
  # shellcheck disable=SC2046
  (cd "$zones" && "$zonquist" $(ipv6_run "$work" 7) >/dev/null)
  reload
  await_zones "$zones" 240 || return 1
  echo "h: --ipv6"
  ipv6_checks other.example.
  stop_server
  trap - EXIT
  SERIAL=1
}

# The arguments of a dual-stack run: a hosts file (written into WORK) with a
# host at both its addresses, a host with a unique local address alone, one
# at a global address, and IPv6 loopback.
ipv6_run() {  # WORK SERIAL
  printf '%s\n' '10.1.2.5 build' 'fd00:1:2:3::5 build' 'FD12:3456:789A:0::1 v6only' '2001:db8::7 global' '::1 localhost' \
    >"$1/dual-hosts"
  echo "/C other.example. --hosts $1/dual-hosts --ipv6 --serial $2"
}

# What a dual-stack run answers: a named unique local address, its neighbour
# in the /64, another /48, both ends of fd00::/8, and the AAAA records;
# asked with $asking (ask when unset).
ipv6_checks() {  # DOMAIN
  local q=${asking:-ask} a
  expect "PTR of a named ULA host" "build.$1" "$($q -x fd00:1:2:3::5)"
  expect "PTR of an IPv6-only host" "v6only.$1" "$($q -x fd12:3456:789a::1)"
  for a in fd00:1:2:3::6 fd00:9::1 fd00:: fdff:ffff:ffff:ffff:ffff:ffff:ffff:ffff; do
    expect "PTR of $a" "private.ip-address.$1" "$($q -x "$a")"
  done
  expect "AAAA of build.$1" fd00:1:2:3::5 "$($q "build.$1" AAAA)"
  expect "A of build.$1" 10.1.2.5 "$($q "build.$1" A)"
  expect "AAAA of global.$1" 2001:db8::7 "$($q "global.$1" AAAA)"
}

# The arguments of a run for a real network: a /25 of 10/8 and a /20 of
# 172.16/12 detailed, and a hosts file (written into WORK) that names an
# address of a prefix, one in a zone that is otherwise the wildcard's
# (192.168/16), the name server, a host at a public address, and a
# loopback name that is skipped.
network_run() {  # WORK SERIAL
  printf '127.0.0.1 localhost\n10.1.2.5 build\n192.168.7.9 printer.other.example. printer\n10.200.0.1 ns\n%s\n' \
    '203.0.113.5 www' '127.0.1.1 loop' >"$1/hosts"
  echo "--detail 10.1.2.0/25 --detail 172.20.16.0/20 --hosts $1/hosts other.example. --serial $2"
}

# What every address answers after network_run: its own name, its generic
# one, or its wildcard's; asked with $asking (ask when unset).
network_checks() {  # DOMAIN
  local q=${asking:-ask} a wanted
  for a in 10.1.2.5:build 192.168.7.9:printer 10.200.0.1:ns 10.1.2.6: 172.20.20.20: 10.1.2.200:* 10.1.77.1:* \
    10.200.0.2:* 192.168.7.10:* 172.20.99.1:* 10.99.1.1:* 172.31.1.1:* 192.168.5.5:*; do
    wanted=${a#*:}
    a=${a%%:*}
    case $wanted in
      '') wanted=${a//./-}.$1 ;;
      '*') wanted=private.ip-address.$1 ;;
      *) wanted=$wanted.$1 ;;
    esac
    expect "PTR of $a" "$wanted" "$($q -x "$a")"
  done
  expect "A of build.$1" 10.1.2.5 "$($q "build.$1" A)"
  expect "A of ns.$1" 10.200.0.1 "$($q "ns.$1" A)"
  expect "A of 172-20-16-0.$1" 172.20.16.0 "$($q "172-20-16-0.$1" A)"
  expect "A of www.$1, a public address" 203.0.113.5 "$($q "www.$1" A)"
  expect "A of loop.$1, skipped" "" "$($q "loop.$1" A)"
}

# What the server serves for 168.192.in-addr.arpa. after a failed run
# left its file as STATE and the reload ran; checked against the README.
after_failure() {  # STATE COLUMN
  local after wanted tries=1
  wanted=$(readme_fact "$server" "$2" | awk '{ sub(/[^a-z]+$/, "", $1); print $1 }')
  # A reload that drops the zone may come late on a busy machine: up to
  # half a minute for it; three seconds for one that keeps it.
  [[ $wanted == keeps ]] || tries=10
  for ((; tries > 0; tries--)); do
    sleep 3
    if ! kill -0 "$server_pid" 2>/dev/null; then
      after=stops
    elif [[ $(serial_of 168.192.in-addr.arpa.) == "$SERIAL" && $(ask -x 192.168.0.0) == 192-168-0-0.other.example. ]]; then
      after=keeps
    else
      after=drops
    fi
    [[ $after != "$wanted" ]] || break
  done
  echo "d: a file left $1, then the reload: $server $after the zone"
  expect "a file left $1" "$wanted" "$after"
}

# A cell of the README's table of what each server does: column 2 is the
# TTL served, columns 3 and 4 begin with keeps, drops or stops.
readme_fact() {  # SERVER COLUMN
  awk -F'|' -v want="\`$1\`" -v column="$2" '{ gsub(/^ +| +$/, "", $2) } $2 == want {
    cell = $(column + 1); gsub(/^ +| +$/, "", cell); print cell; exit }' "$readme"
}

# One answer against the one wanted, said as the test's lines say it.
expect() {  # what, wanted, got
  if [[ $2 == "$3" ]]; then echo "ok: $server: $1 -> $3"; else echo "FAIL: $server: $1: wanted '$2', got '$3'"; fi
}
r() { echo $((RANDOM % 256)); }

# A question through the resolver, from loopback, as a client asks it.
resolve() { dig -b 127.0.0.1 @10.53.0.2 +time=3 +tries=2 "$@"; }
resolve_short() { resolve +short "$@"; }

# Every question of a client to the resolver, for a /C run of DOMAIN; A is
# a detailed address asked again after each rerun, whose old answer must not
# come back from the cache.
resolver_checks() {  # DOMAIN
  local name=${A//./-}.$1 t
  expect "PTR of $A" "$name" "$(resolve_short -x "$A")"
  expect "A of $name" "$A" "$(resolve_short "$name" A)"
  for t in "10.$(r).$(r).$(r)" "172.$((16 + RANDOM % 16)).$(r).$(r)"; do
    expect "PTR of $t" "private.ip-address.$1" "$(resolve_short -x "$t")"
  done
  expect "a name not in the zone" NXDOMAIN "$(resolve "no-such-host.$1" A | sed -n 's/.*status: \([A-Z]*\).*/\1/p')"
}

# Switches the globals of this file to the authoritative server (NSD, at
# 10.53.0.1) or to the resolver (10.53.0.2) of a resolver's lifecycle.
as_auth() { server=nsd address=10.53.0.1 work=$base/nsd server_pid=$auth_pid launched=$auth_launched; }
as_resolver() { server=$resolver address=10.53.0.2 work=$base/resolver server_pid=$res_pid launched=$res_launched; }
keep_pids() { if [[ $server == nsd || $server == bind-primary ]]; then auth_pid=$server_pid auth_launched=$launched; else res_pid=$server_pid res_launched=$launched; fi; }

# A resolver in front of NSD, both by the README's blocks, its validation
# as shipped: a /C run, then a /C rerun with another domain.
resolver_lifecycle() {  # RESOLVER WORK ZONQUIST
  resolver=$1 base=$2 zonquist=$3 zones=$2/zones
  local old started
  ip link set lo up
  ip addr add 10.53.0.1/32 dev lo
  ip addr add 10.53.0.2/32 dev lo
  mkdir -p "$zones"
  (cd "$zones" && "$zonquist" /C corp.internal. >/dev/null)
  auth_pid= res_pid= auth_launched= res_launched=
  trap 'as_auth; stop_server; as_resolver; stop_server' EXIT
  as_auth
  configure_and_start nsd "$zones" "$work"
  keep_pids
  await_zones "$zones" 240 || return 1
  as_resolver
  NS_ADDRESS=10.53.0.1 configure_and_start "$resolver" "$zones" "$work"
  keep_pids
  A="192.168.$(r).$(r)"
  old=${A//./-}.corp.internal.
  asking=resolve_short await 120 "$old" -x "$A" || return 1
  echo "a: a /C run through $resolver"
  resolver_checks corp.internal.

  (cd "$zones" && "$zonquist" /C other.example. >/dev/null)
  as_auth
  reload
  await_run C other.example. 240 || return 1
  keep_pids
  as_resolver
  NS_ADDRESS=10.53.0.1 reload
  keep_pids
  # Once a name never asked before is answered anew, the first answer for A
  # must be the new one: none from before comes back.
  asking=resolve_short await 120 private.ip-address.other.example. -x "10.$(r).$(r).$(r)" || return 1
  echo "b: a /C rerun with another domain through $resolver"
  resolver_checks other.example.
  expect "A of the old name $old" "" "$(resolve_short "$old" A | grep -v '^;' || true)"

  # A dual-stack network through it: a zone more.
  # shellcheck disable=SC2046
  resolver_rerun 3 $(ipv6_run "$base" 3) || return 1
  asking=resolve_short await 120 build.other.example. -x fd00:1:2:3::5 || return 1
  echo "d: --ipv6 through $resolver"
  asking=resolve_short ipv6_checks other.example.
  [[ $resolver == unbound-resolver ]] || return 0

  # A real network through it.
  # shellcheck disable=SC2046
  resolver_rerun 4 $(network_run "$base" 4) || return 1
  asking=resolve_short await 120 build.other.example. -x 10.1.2.5 || return 1
  echo "c: prefixes and a hosts file through $resolver"
  asking=resolve_short network_checks other.example.
}

# A run for the name server, its reload, then the resolver's.
resolver_rerun() {  # SERIAL ARGS...
  local serial=$1
  shift
  (cd "$zones" && "$zonquist" "$@" >/dev/null)
  as_auth
  reload
  SERIAL=$serial await_zones "$zones" 240 || return 1
  keep_pids
  as_resolver
  NS_ADDRESS=10.53.0.1 reload
  keep_pids
}

# BIND as a primary on 10.53.0.1; NSD as its secondary on 10.53.0.2 from a
# copy of BOOT.INC, BIND on .3 and Knot on .4 from the catalog alone, each
# by its README blocks; they follow by NOTIFY alone, never a forced
# transfer: a first run, a --serial next rerun that changes one host, a
# rerun with another domain and --serial 4, one more with a third domain
# and the same serial, which no secondary may take, and a lower serial,
# which the run refuses.
secondary_lifecycle() {  # WORK ZONQUIST
  base=$1 zonquist=$2
  local copy=$1/secondary-zones a at
  secondary_catalogs=()  # a global: the trap runs after the function has returned
  ip link set lo up
  for a in 1 2 3 4; do ip addr add "10.53.0.$a/32" dev lo; done
  export PRIMARY=10.53.0.1 SECONDARY="10.53.0.2; 10.53.0.3; 10.53.0.4"
  zones=$base/zones
  mkdir -p "$zones" "$copy"
  printf '192.168.7.7 printer\n' >"$base/hosts"
  run_here() { (cd "$base/zones" && "$zonquist" /C "$1" --hosts "$base/hosts" --catalog zones.invalid. "${@:2}" >/dev/null); }
  run_here corp.internal. --serial 1
  cp "$zones/BOOT.INC" "$copy/"
  auth_pid= res_pid= auth_launched= res_launched=
  trap 'as_primary; stop_server; as_secondary; stop_server; for a in "${secondary_catalogs[@]}"; do kill "$a"; wait "$a"; done 2>/dev/null' EXIT
  as_primary
  NS_ADDRESS=10.53.0.1 configure_and_start bind-primary "$zones" "$work"
  keep_pids
  await_zones "$zones" 240 || return 1
  # The catalog's secondaries: their stock configuration and the README's
  # block, nothing else.
  for a in bind-catalog:10.53.0.3 knot-catalog:10.53.0.4; do
    address=${a#*:} work=$base/${a%%:*} stock_config "${a%%:*}" "$base/${a%%:*}-zones" "$base/${a%%:*}"
    address=${a#*:} start_server "${a%%:*}" "$base/${a%%:*}"
    secondary_catalogs+=("$launched")
  done
  as_secondary
  configure_and_start nsd-secondary "$copy" "$work"
  keep_pids
  zones=$copy
  await_zones "$copy" 120 || return 1
  A="192.168.$(r).$(r)"
  [[ $A != 192.168.7.[78] ]] || A=192.168.5.5
  expect "PTR of $A on the secondary" "${A//./-}.corp.internal." "$(ask -x "$A")"
  for at in 10.53.0.3 10.53.0.4; do
    await_at "$at" 120 "${A//./-}.corp.internal." -x "$A" || return 1
    await_at "$at" 60 printer.corp.internal. -x 192.168.7.7 || return 1
  done
  echo "a: the secondaries took the first run, two of them by the catalog alone"

  # One host moved: its two zones rewritten one serial up, the others left.
  printf '192.168.7.8 printer\n' >"$base/hosts"
  as_primary
  local before after
  before=$(cd "$zones" && ls -i --time-style=full-iso -l r10.rev r17216.rev catalog.zone BOOT.INC)
  run_here corp.internal. --serial next
  after=$(cd "$zones" && ls -i --time-style=full-iso -l r10.rev r17216.rev catalog.zone BOOT.INC)
  expect "files of unchanged zones untouched" "$(tr -s "\n" " " <<<"$before")" "$(tr -s "\n" " " <<<"$after")"
  reload
  await 120 "printer.corp.internal." -x 192.168.7.8 || return 1
  expect "serial of the changed zone" 2 "$(serial_of 168.192.in-addr.arpa.)"
  expect "serial of an unchanged zone" 1 "$(serial_of 10.in-addr.arpa.)"
  as_secondary
  for at in 10.53.0.2 10.53.0.3 10.53.0.4; do
    await_at "$at" 120 printer.corp.internal. -x 192.168.7.8 || return 1
    await_at "$at" 60 192-168-7-7.corp.internal. -x 192.168.7.7 || return 1
  done
  echo "b: a changed host reached every secondary, --serial next"

  SERIAL=4 secondary_rerun other.example. 4 || return 1
  await 120 "${A//./-}.other.example." -x "$A" || return 1
  expect "PTR of $A on the secondary" "${A//./-}.other.example." "$(ask -x "$A")"
  expect "wildcard PTR on the secondary" private.ip-address.other.example. "$(ask -x "10.$(r).$(r).$(r)")"
  # The new domain's zone, once the secondary lists it as the README says.
  cp "$base/zones/BOOT.INC" "$copy/"
  NS_ADDRESS= reload
  await 120 "$A" "${A//./-}.other.example." A || return 1
  # The catalog's: the new domain's zone added, the old one dropped.
  for at in 10.53.0.3 10.53.0.4; do
    await_at "$at" 120 "${A//./-}.other.example." -x "$A" || return 1
    await_at "$at" 120 "$A" "${A//./-}.other.example." A || return 1
    await_at "$at" 60 "" SOA corp.internal. || return 1
  done
  echo "c: a rerun with another domain and --serial 4 reached the secondaries"

  SERIAL=4 secondary_rerun third.example. 4 || return 1
  sleep 5
  for at in 10.53.0.2 10.53.0.3 10.53.0.4; do
    expect "PTR of $A on $at, same serial" "${A//./-}.other.example." "$(address=$at ask -x "$A")"
  done
  as_primary
  local status=0
  (cd "$zones" && "$zonquist" /C third.example. --serial 3 >/dev/null 2>"$base/lower.err") || status=$?
  expect "a lower serial refused" "1 Error: rfc1918.nam holds serial 4; 3 is lower" "$status $(grep -o '^Error: rfc1918.nam holds serial 4; 3 is lower' "$base/lower.err")"
  echo "d: a rerun with the same serial left the secondaries as they were; a lower one was refused"
}

# Until the server at ADDRESS answers the question so.
await_at() {  # ADDRESS TIMEOUT WANTED QUESTION...
  local at=$1 deadline=$(($(date +%s) + $2)) wanted=$3
  shift 3
  until [[ $(address=$at ask "$@" | head -1) == "$wanted" ]]; do
    (($(date +%s) < deadline)) || { echo "FAIL: no '$wanted' for $* at $at within $2 s"; return 1; }
    sleep 0.5
  done
}

# A rerun on the primary with its README reload; back on the secondary once
# the primary serves it and the secondary has been told.
secondary_rerun() {  # DOMAIN SERIAL
  as_primary
  run_here "$1" --serial "$2"
  reload
  keep_pids
  await_run C "$1" 120 || return 1
  as_secondary
}
as_primary() { server=bind-primary address=10.53.0.1 work=$base/primary zones=$base/zones server_pid=$auth_pid launched=$auth_launched; }
as_secondary() { server=nsd-secondary address=10.53.0.2 work=$base/secondary zones=$base/secondary-zones server_pid=$res_pid launched=$res_launched; }

# A DHCP daemon on a bridge in this namespace, its clients each in a
# namespace of their own behind a veth pair, and NSD serving the zones that
# the README's hook rewrites at each lease event: a client's name answers
# both ways within 10 s of its lease and is gone after its release.
dhcp_lifecycle() {  # DAEMON WORK ZONQUIST
  # Globals: the trap runs after the function has returned.
  dhcp_clients=() dhcp_base=$2
  local daemon=$1 leases hook n pid
  work=$2/nsd zonquist=$3 zones=$2/zones server=nsd
  mkdir -p "$zones" "$work"
  ip link set lo up
  ip link add zq-br type bridge
  ip addr add 10.66.0.1/24 dev zq-br
  ip link set zq-br up
  sysctl -qw net.ipv6.conf.zq-br.accept_dad=0
  ip addr add fd00:66::1/64 dev zq-br nodad
  case $daemon in
    dnsmasq) leases=$2/dnsmasq.leases ;;
    kea) leases=$2/kea-leases4.csv ;;
    isc) leases=$2/dhcpd.leases ;;
  esac
  : >"$leases"
  # The README's hook, with this test's folder, lease file, command and reload.
  hook=$2/zonquist-rerun
  readme_block "$readme" hook zonquist-rerun | sed "s|^zones=.*|zones=$zones|; s|^leases=.*|leases=$leases|
    s|^run=.*|run=\"$zonquist --serial next --ipv6 --leases \$leases /C lan.internal.\"|
    s|^reload=.*|reload=\"nsd-control -c $work/etc/nsd.conf reload\"|; s|/run/lock/|$2/|g" >"$hook"
  chmod 755 "$hook"
  (cd "$zones" && "$zonquist" --serial next --ipv6 --leases "$leases" /C lan.internal. >/dev/null)
  configure_and_start nsd "$zones" "$work"
  # dhclient goes on in the background: stopped by its pid file.
  trap 'stop_server; kill "${dhcp_clients[@]}" "$dhcp" $(cat "$dhcp_base"/client*.pid 2>/dev/null) 2>/dev/null; wait 2>/dev/null' EXIT
  SERIAL=$(awk '$3 == "SOA" { print $6; exit }' "$zones/r10.rev") await_zones "$zones" 60 || return 1
  local block
  block=$(readme_block "$readme" dhcp "$daemon" | sed "s|/usr/local/sbin/zonquist-rerun|$hook|")
  case $daemon in
    dnsmasq)
      dnsmasq -k -C /dev/null --port=0 --interface=zq-br --bind-interfaces --dhcp-range=10.66.0.100,10.66.0.200,10m \
        --dhcp-range=fd00:66::100,fd00:66::200,64,10m \
        --dhcp-leasefile="$leases" --pid-file="$2/dnsmasq.pid" --user=root --log-facility=- \
        $(sed 's/^/--/' <<<"$block") >>"$2/dhcp.log" 2>&1 &
      ;;
    kea)
      cat >"$2/kea.conf" <<CONF
{ "Dhcp4": { "interfaces-config": { "interfaces": [ "zq-br" ] },
  "lease-database": { "type": "memfile", "persist": true, "name": "$leases", "lfc-interval": 0 },
  "valid-lifetime": 600,
  "subnet4": [ { "id": 1, "subnet": "10.66.0.0/24", "pools": [ { "pool": "10.66.0.100 - 10.66.0.200" } ] } ],
  $block
  "loggers": [ { "name": "kea-dhcp4", "output_options": [ { "output": "stdout" } ], "severity": "INFO" } ] } }
CONF
      KEA_LOCKFILE_DIR=$2 KEA_PIDFILE_DIR=$2 kea-dhcp4 -c "$2/kea.conf" >>"$2/dhcp.log" 2>&1 &
      ;;
    isc)
      printf 'default-lease-time 600;\nmax-lease-time 600;\nauthoritative;\nddns-update-style none;\n%s\n%s\n' \
        'subnet 10.66.0.0 netmask 255.255.255.0 { range 10.66.0.100 10.66.0.200; }' "$block" >"$2/dhcpd.conf"
      dhcpd -f -4 -cf "$2/dhcpd.conf" -lf "$leases" -pf "$2/dhcpd.pid" zq-br >>"$2/dhcp.log" 2>&1 &
      ;;
  esac
  dhcp=$!
  sleep 2
  kill -0 "$dhcp" 2>/dev/null || { echo "FAIL: $daemon did not start: $(tail -5 "$2/dhcp.log")"; return 1; }
  # Two clients, each its own namespace and name.
  for n in 1 2 3; do
    unshare -n sleep 600 &
    pid=$!
    dhcp_clients+=("$pid")
    ip link add "zq-h$n" type veth peer name "zq-c$n"
    ip link set "zq-h$n" master zq-br up
    ip link set "zq-c$n" netns "$pid"
    nsenter -t "$pid" -n sysctl -qw net.ipv6.conf.default.accept_dad=0
    nsenter -t "$pid" -n ip link set lo up
    nsenter -t "$pid" -n ip link set "zq-c$n" up
  done
  # A client's dhclient; its name goes in its configuration (Debian's
  # dhclient has no -H).
  client() {  # N ARGS...
    nsenter -t "${dhcp_clients[$(($1 - 1))]}" -n dhclient -4 -sf "$dhcp_base/client-script" -cf "$dhcp_base/client$1.conf" -lf "$dhcp_base/client$1.leases" \
      -pf "$dhcp_base/client$1.pid" "${@:2}" "zq-c$1"
  }
  # The leased address on the client's own link, and nothing else of the
  # machine's touched (Debian's dhclient-script would rewrite resolv.conf);
  # a release is sent from it.
  printf '#!/bin/sh\ncase "$reason" in\n%s\n%s\nesac\nexit 0\n' \
    '  BOUND|RENEW|REBIND|REBOOT) ip addr replace "$new_ip_address/24" dev "$interface" ;;' \
    '  RELEASE|EXPIRE|STOP) [ -z "$old_ip_address" ] || ip addr del "$old_ip_address/24" dev "$interface" ;;' >"$2/client-script"
  chmod 755 "$2/client-script"
  printf 'send host-name "Laptop-Ann";\n' >"$2/client1.conf"
  printf 'send host-name "printer";\n' >"$2/client2.conf"
  local started leased
  started=$(date +%s)
  client 1 -1 >>"$2/client.log" 2>&1 || { echo "FAIL: $daemon: no lease for client 1"; return 1; }
  client 2 -1 >>"$2/client.log" 2>&1 || { echo "FAIL: $daemon: no lease for client 2"; return 1; }
  leased=$(awk '/fixed-address/ { sub(";", "", $2); a = $2 } END { print a }' "$2/client1.leases")
  await 10 "$leased" laptop-ann.lan.internal. A || return 1
  await 10 laptop-ann.lan.internal. -x "$leased" || return 1
  echo "ok: $daemon: laptop-ann answered both ways $(($(date +%s) - started)) s after its lease"
  await 10 "$(awk '/fixed-address/ { sub(";", "", $2); a = $2 } END { print a }' "$2/client2.leases")" printer.lan.internal. A || return 1
  echo "a: $daemon's clients answered by name"
  client 1 -r >>"$2/client.log" 2>&1
  await 15 "" laptop-ann.lan.internal. A || return 1
  await 10 private.ip-address.lan.internal. -x "$leased" || return 1
  expect "the other client still named" printer.lan.internal. "$(ask -x "$(awk '/fixed-address/ { sub(";", "", $2); a = $2 } END { print a }' "$2/client2.leases")")"
  [[ $daemon == dnsmasq ]] || { echo "b: $daemon: a released lease's name gone"; return 0; }
  # DHCPv6: the name the client gave in its FQDN option, both ways.
  printf 'send fqdn.fqdn "tablet";\n' >"$dhcp_base/client3.conf"
  nsenter -t "${dhcp_clients[2]}" -n dhclient -6 -1 -sf /bin/true -cf "$dhcp_base/client3.conf" -lf "$dhcp_base/client3.leases" \
    -pf "$dhcp_base/client3.pid" zq-c3 >>"$2/client.log" 2>&1 || { echo "FAIL: $daemon: no IPv6 lease"; return 1; }
  leased=$(awk '/iaaddr/ { a = $2 } END { print a }' "$dhcp_base/client3.leases")
  await 10 "$leased" tablet.lan.internal. AAAA || return 1
  await 10 tablet.lan.internal. -x "$leased" || return 1
  echo "b: $daemon: a released lease's name gone; an IPv6 client named both ways"
}

if [[ ${1:-} == session || ${1:-} == lifecycle || ${1:-} == resolver_lifecycle || ${1:-} == secondary_lifecycle ||
  ${1:-} == dhcp_lifecycle ]]; then
  export PATH=$PATH:/usr/sbin
  "$@"
fi
