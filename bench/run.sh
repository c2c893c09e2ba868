#!/usr/bin/env bash
# Builds optimised binaries and times full and switched runs against the
# write floor on tmpfs and on the disk; prints one table.
#   bench/run.sh [PAIRS]     (default 8 ABBA pairs per row)
set -euo pipefail
cd "$(dirname "$0")/.."
pairs=${1:-8}
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZONQUIST_BENCH=ON -DZONQUIST_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

echo "## Line formatting"
"$build"/bench/format_bench --benchmark_min_time=0.5 --benchmark_repetitions=3 --benchmark_report_aggregates_only=true 2>/dev/null |
  grep -E "(Lines|Mask).*_median"
echo
echo "## Runs against the write floor ($pairs ABBA pairs a row, medians; ratio range in brackets)"
echo "| fs    | run                    |    records |      bytes | seconds |   floor | floor GB/s |    MB/s |     s/GB | peak MiB | ratio to floor |"
echo "|-------|------------------------|------------|------------|---------|---------|------------|---------|----------|----------|----------------|"
# A real network's inputs: a hosts file of 100,000 entries over the three
# blocks (the same every time), with every block detailed and alone, and a
# /16 of 10/8.
hosts=$(mktemp /tmp/zonquist-bench-hosts-XXXXXX)
awk 'BEGIN { for (i = 0; i < 100000; i++) {
  if (i % 10 < 7) a = sprintf("10.%d.%d.%d", i * 7919 % 256, int(i / 256) % 256, i % 256)
  else if (i % 10 < 9) a = sprintf("172.%d.%d.%d", 16 + i % 16, i * 31 % 256, int(i / 16) % 256)
  else a = sprintf("192.168.%d.%d", int(i / 256) % 256, i * 13 % 256)
  printf "%s host-%d host-%d.lan.internal  # entry %d\n", a, i, i, i } }' >"$hosts"
# And 100,000 unique local addresses, random interface identifiers in four
# /64s, as SLAAC gives them (the same every time).
hosts6=$(mktemp /tmp/zonquist-bench-hosts6-XXXXXX)
awk 'BEGIN { srand(6); for (i = 0; i < 100000; i++)
  printf "fd12:3456:789a:%x:%x:%x:%x:%x host6-%d\n", i % 4, int(rand() * 65536), int(rand() * 65536), int(rand() * 65536),
    int(rand() * 65536), i }' >"$hosts6"
# 10,000 records of one's own, of every accepted type, beside the hosts;
# and 20,000 hosts lines that are all one entry.
records=$(mktemp /tmp/zonquist-bench-records-XXXXXX)
awk 'BEGIN { for (i = 0; i < 2000; i++) {
  printf "rec-%d IN A 10.200.%d.%d\n", i, int(i / 256), i % 256
  printf "rec-%d 300 IN MX 10 host-%d\n", i, i
  printf "_svc-%d._tcp SRV 0 100 %d host-%d\n", i, 1000 + i, i
  printf "alias-%d CNAME host-%d\n", i, i
  printf "txt-%d TXT \"entry %d; of the bench\"\n", i, i } }' >"$records"
same=$(mktemp /tmp/zonquist-bench-same-XXXXXX)
awk 'BEGIN { for (i = 0; i < 20000; i++) print "10.1.2.3 same" }' >"$same"
# 100,000 active leases of each daemon's format, named as the hosts file
# names its entries.
expiry=$(($(date +%s) + 86400))
leases_isc=$(mktemp /tmp/zonquist-bench-isc-XXXXXX)
leases_kea=$(mktemp /tmp/zonquist-bench-kea-XXXXXX)
leases_dnsmasq=$(mktemp /tmp/zonquist-bench-dnsmasq-XXXXXX)
awk -v e="$expiry" -v isc="$leases_isc" -v kea="$leases_kea" -v dm="$leases_dnsmasq" 'BEGIN {
  print "address,hwaddr,client_id,valid_lifetime,expire,subnet_id,fqdn_fwd,fqdn_rev,hostname,state,user_context" > kea
  for (i = 0; i < 100000; i++) {
    a = sprintf("10.%d.%d.%d", i * 7919 % 256, int(i / 256) % 256, i % 256)
    printf "lease %s {\n  starts 2 2026/12/08 12:00:00;\n  ends never;\n  binding state active;\n  client-hostname \"host-%d\";\n}\n", a, i > isc
    printf "%s,52:54:00:00:00:01,,86400,%d,1,0,0,host-%d,0,\n", a, e, i > kea
    printf "%d 52:54:00:00:00:01 %s host-%d *\n", e, a, i > dm } }'
for place in tmpfs:/dev/shm disk:/tmp; do
  label=${place%%:*}
  dir=$(mktemp -d "${place#*:}/zonquist-bench-XXXXXX")
  "$build"/bench/bench_runner "$PWD/$build/zonquist" "$PWD/$build/bench/write_floor" "$dir" "$pairs" "$label" - --serial=next \
    "--hosts=$hosts --detail=10.0.0.0/8 --detail=172.16.0.0/12 --detail=192.168.0.0/16" "--hosts=$hosts" \
    "--ipv6 --hosts=$hosts6" "--hosts=$hosts --records=$records" "--hosts=$same" "--leases=$leases_isc" "--leases=$leases_kea" \
    "--leases=$leases_dnsmasq" /A /B /C --detail=10.1.0.0/16
  rm -rf "$dir"
done
rm -f "$hosts" "$hosts6" "$records" "$same" "$leases_isc" "$leases_kea" "$leases_dnsmasq"
