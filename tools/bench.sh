#!/usr/bin/env bash
# Builds the normal build and runs the benchmarks: the program's real command
# paths, the announcement fan-out, the file digest and the menu, each against
# a bare baseline measured in the same run. Prints one table (work, program,
# baseline, ratio min/median/max of the runs, goal). Not part of the CI gate.
#   tools/bench.sh [--runs N] [--quick] [--only protocol,fanout,md5,menu]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHX40_BENCH=ON >/dev/null
cmake --build build -j "$(nproc)" --target hx40_bench >/dev/null
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs" >&2
exec build/bin/hx40_bench "$@"
