#!/usr/bin/env bash
# Installs what the main job needs, builds the library and trelvo-sim (nothing else: no tests,
# benchmarks or fuzzers) in the project's build-sim folder and runs the main job: trelvo-sim on
# its default scenario, which prints the run's phases and summary and writes out/trelvo-sim/run.csv
# and run.png. Arguments are passed on to trelvo-sim (for example --batch 1000, or --suite
# scenarios/warehouse.yaml). trelvo-sim runs in the caller's folder, so relative paths given to it
# and its default output folder are relative to where the script was called from.
#
# TRELVO_BUILD_DIR names another build folder to take trelvo-sim from: one already configured
# (the test suite's, say) is used as it is, and only an out-of-date trelvo-sim is rebuilt in it.
set -euo pipefail
project="$(cd "$(dirname "$0")/.." && pwd)"
build="${TRELVO_BUILD_DIR:-$project/build-sim}"

bash "$project/scripts/bootstrap.sh" main
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S "$project" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRELVO_BUILD_TESTS=OFF \
    -DTRELVO_BUILD_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$build" --target trelvo-sim -j2
exec "$build/tools/sim/trelvo-sim" "$@"
