#!/usr/bin/env bash
# Builds and runs the benchmarks, then prints each figure, the ratios to their floors and whether
# each cost target holds. Arguments are passed on to both benchmark runs (for example
# --benchmark_repetitions=9).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
build="build-bench"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRELVO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target trelvo_bench -j2
bench=$build/bench/trelvo_bench

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
# Repetitions run interleaved, so that a benchmark and its floor see the same load.
options=(--benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
  --benchmark_min_time=0.2 --benchmark_report_aggregates_only=true)

# The logging facade reads its environment once per process: one run at level info, and one at
# level debug whose console lines (and the benchmark's own table) go to /dev/null.
SPDLOG_LEVEL=info SPDLOG_STDOUT=true SPDLOG_SYSTEMD=false "$bench" \
  --benchmark_filter=-ControllerCycleAtDebug "${options[@]}" \
  --benchmark_out="$results/info.json" --benchmark_out_format=json "$@"
echo "running ControllerCycleAtDebug/LineMove with the console going to /dev/null"
SPDLOG_LEVEL=debug SPDLOG_STDOUT=true SPDLOG_SYSTEMD=false "$bench" \
  --benchmark_filter=ControllerCycleAtDebug "${options[@]}" \
  --benchmark_out="$results/debug.json" --benchmark_out_format=json "$@" >/dev/null

/usr/bin/python3 bench/report.py "$results/info.json" "$results/debug.json"
