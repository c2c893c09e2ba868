#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
build=${ZONQUIST_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZONQUIST_WERROR="${ZONQUIST_WERROR:-OFF}"
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure
