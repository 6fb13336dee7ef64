#!/usr/bin/env bash
# Installs what is missing, builds the library and trelvo-sim (nothing else: no tests, benchmarks
# or fuzzers) and runs the main job: trelvo-sim on its default scenario, which prints the run's
# phases and summary and writes out/trelvo-sim/run.csv and run.png. Arguments are passed on to
# trelvo-sim (for example --batch 1000, or --suite scenarios/warehouse.yaml).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
build="build-sim"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRELVO_BUILD_TESTS=OFF \
  -DTRELVO_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target trelvo-sim -j2
"$build/tools/sim/trelvo-sim" "$@"
