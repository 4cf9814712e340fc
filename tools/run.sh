#!/usr/bin/env bash
# Installs what is missing, builds the program and the simulated driver,
# registers the simulated driver in the hive and starts the program in the
# current directory (where its data files go).
set -euo pipefail
here=$(pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DVFON_TESTS=OFF -DVFON_BENCH=OFF
cmake --build "$root/build" -j"$(nproc)"
bash "$root/tools/register.sh" "$root/build/libLan10m8Sim.so"
cd "$here"
exec "$root/build/vfon"
