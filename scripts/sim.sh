#!/usr/bin/env bash
# Installs what is missing, builds trelvo and runs its main job: trelvo-sim on its default
# scenario, which prints the run's phases and summary and writes out/trelvo-sim/run.csv and run.png.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
build/tools/trelvo-sim "$@"
