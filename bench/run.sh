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
echo "| fs    | run  |    records |      bytes | seconds |   floor | floor GB/s |    MB/s |     s/GB | peak MiB | ratio to floor |"
echo "|-------|------|------------|------------|---------|---------|------------|---------|----------|----------|----------------|"
for place in tmpfs:/dev/shm disk:/tmp; do
  label=${place%%:*}
  dir=$(mktemp -d "${place#*:}/zonquist-bench-XXXXXX")
  "$build"/bench/bench_runner "$PWD/$build/zonquist" "$PWD/$build/bench/write_floor" "$dir" "$pairs" "$label" - /A /B /C
  rm -rf "$dir"
done
