#!/usr/bin/env bash
# Measures trelvo-node on a ROS 2 network in real time, beside its floors over the same seconds:
# each round starts, at the same moment, the node with trelvo-sim --dds as its vehicle, the DDS
# floor (trelvo-dds-floor: only the node's traffic with a vehicle of its own, on DDS) and the UDP
# floor (trelvo-udp-floor: the same datagrams on plain UDP), and reads the CPU time of each over
# one window (bench/side_by_side.py). Rounds alternate a standing vehicle (no route, 20 s) and a
# driving one (an L of 3 m and 1.5 m), TRELVO_BENCH_ROUNDS of each (3). Prints each round's
# shares and ratios, their medians, and from the first driving round the node's time from taking
# the newest pose to the command written, against its targets. Loopback only, on DDS domains of
# its own (TRELVO_BENCH_DOMAIN and the next, 200 by default).
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=${TRELVO_BENCH_ROUNDS:-3}
if ! [[ "$rounds" =~ ^[1-9][0-9]?$ ]]; then
  echo "bench-node: TRELVO_BENCH_ROUNDS must be from 1 to 99, got '$rounds'" >&2
  exit 2
fi

bash scripts/bootstrap.sh
build="build-bench"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRELVO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target trelvo-node trelvo-sim trelvo-dds-floor trelvo-udp-floor -j2

export ROS_DOMAIN_ID=${TRELVO_BENCH_DOMAIN:-200}
folders=()
for ((round = 1; round <= rounds; ++round)); do
  for mode in standing driving; do
    folder="$build/node/$mode-$round"
    echo "bench-node: round $round, $mode, load average $(cut -d' ' -f1-3 /proc/loadavg)" >&2
    /usr/bin/python3 bench/side_by_side.py "$build" "$folder" 1 "$mode"
    folders+=("$folder")
  done
done

/usr/bin/python3 bench/window_report.py "${folders[@]}"
/usr/bin/python3 bench/node_report.py "$build/node/driving-1/robot1-latency.csv"
