#!/usr/bin/env bash
# What serving a full run and an /A run takes: each server in turn loads the
# zones (listed by the README's recipes) in a network namespace of its own,
# and is timed until every zone answers, with its peak memory.
#   bench/serve.sh [SERVER...]     (as root; default: all seven)
# Needs about 2 GB of disk per run under ${ZONQUIST_SERVE_DIR:-/var/tmp}.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# shellcheck source=../tests/dns/servers.sh
source tests/dns/servers.sh
export PATH=$PATH:/usr/sbin
((EUID == 0)) || { echo "bench/serve.sh: run it as root (network namespaces)" >&2; exit 1; }
command -v /usr/bin/time >/dev/null || { echo "bench/serve.sh: install the package time" >&2; exit 1; }
(($#)) && dns_servers=("$@")
timeout=${ZONQUIST_SERVE_TIMEOUT:-1200}

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DZONQUIST_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" --target zonquist >/dev/null
work=$(mktemp -d "${ZONQUIST_SERVE_DIR:-/var/tmp}/zonquist-serve-XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "$(date -u +%Y-%m-%d), $(nproc) cores, $(free -g | awk '/^Mem/ { print $2 }') GiB, $(. /etc/os-release && echo "$PRETTY_NAME")"
echo "| server | version | run | records | seconds until every zone answers | peak GiB |"
echo "|---|---|---|---|---|---|"
for run in full /A; do
  zones=$work/zones
  rm -rf "$zones"
  mkdir -p "$zones"
  (cd "$zones" && "$root/build-bench/zonquist" ${run#full} lan.internal. >/dev/null)
  records=$(cat "$zones"/*.rev "$zones"/rfc1918.nam | grep -vc '^;')
  for server in "${dns_servers[@]}"; do
    (cd "$zones" && NS_ADDRESS=127.0.0.1 bash -euo pipefail -c "$(readme_recipe "$root/README.md" "$server")")
    out=$work/$server.out
    rm -rf "$work/$server"
    mkdir "$work/$server"
    sync
    echo 3 >/proc/sys/vm/drop_caches
    ZONQUIST_SERVE_TIME=1 unshare -n -- bash tests/dns/servers.sh session "$server" "$zones" "$work/$server" "$timeout" \
      >"$out" 2>&1 || true
    if seconds=$(awk '/^loaded / { print $3 }' "$out" | grep .); then
      gib=$(awk '/^time / { print $3 }' "$out")
      echo "| $server | $(server_version "$server") | $run | $records | $seconds | $gib |"
    else
      echo "| $server | $(server_version "$server") | $run | $records | did not load: $(grep -v '^FAIL' "$out" | tail -3 | tr '\n|' '  ') | $(awk '/^time / { print $3 }' "$out") |"
    fi
    grep '^warning' "$out" | sed 's/^/    /' >&2 || true
  done
done
