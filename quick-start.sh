#!/usr/bin/env bash
# Builds the tool alone and makes a run into out/: a full run of
# lan.internal. unless the tool's arguments are given. Installs CMake and a
# C++20 compiler with apt-get when they are missing (through sudo when not
# root).
#   ./quick-start.sh [/A|/B|/C] [private_domain_name]
set -euo pipefail
cd "$(dirname "$0")"

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v c++ >/dev/null || missing+=(g++)
command -v make >/dev/null || missing+=(make)
if ((${#missing[@]})); then
  echo "== installing ${missing[*]}"
  sudo=
  ((EUID == 0)) || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZONQUIST_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
mkdir -p out
cd out
(($#)) || set -- lan.internal.
../build/zonquist "$@"
echo "== the files are in $PWD"
