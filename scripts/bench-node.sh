#!/usr/bin/env bash
# Measures trelvo-node on a ROS 2 network in real time: trelvo-sim --dds plays the vehicle and
# hands the node an L-shaped route, and the node logs, for every control cycle, the time from
# taking the newest pose to the command written. Prints the median and p99 of that time (cycles
# at a change of state or leg, where the controller pauses on purpose, apart) and the node's CPU
# share, each against its target. Then trelvo-dds-floor does only the node's traffic with the same
# vehicle (take odometry, publish a Twist, 20 Hz) for as long, so that the report can tell the
# node's own CPU from what DDS and the machine take for that traffic. Loopback only, on a DDS
# domain of its own.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
build="build-bench"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRELVO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target trelvo-node trelvo-sim trelvo-dds-floor -j2

work=$(mktemp -d)
node_pid=
floor_pid=
cleanup() {
  [[ -n "$node_pid" ]] && kill "$node_pid" 2>/dev/null || true
  [[ -n "$floor_pid" ]] && kill "$floor_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export CYCLONEDDS_URI='<CycloneDDS><Domain id="any"><General><Interfaces><NetworkInterface name="lo"/></Interfaces><AllowMulticast>false</AllowMulticast></General><Discovery><ParticipantIndex>auto</ParticipantIndex><MaxAutoParticipantIndex>32</MaxAutoParticipantIndex><Peers><Peer address="localhost"/></Peers></Discovery></Domain></CycloneDDS>'
export ROS_DOMAIN_ID=${TRELVO_BENCH_DOMAIN:-200}
export SPDLOG_STDOUT=true SPDLOG_SYSTEMD=false SPDLOG_LEVEL=info

"$build/tools/node/trelvo-node" --latency-log "$work/latency.csv" >"$work/node.log" 2>&1 &
node_pid=$!
# An L of 4 m and 3 m with a corner: a few hundred cycles at 20 Hz.
"$build/tools/sim/trelvo-sim" --dds --waypoints 0 0 0 4 0 0 4 3 90
kill -TERM "$node_pid"
wait "$node_pid"
node_pid=

# The same vehicle, standing, for as long as the node's run took.
seconds=$(awk '/^# cpu_s/ { print int($5 + 0.5) }' "$work/latency.csv")
"$build/bench/trelvo-dds-floor" >"$work/floor.txt" &
floor_pid=$!
"$build/tools/sim/trelvo-sim" --dds --duration "$seconds" >/dev/null
kill -TERM "$floor_pid"
wait "$floor_pid"
floor_pid=

/usr/bin/python3 bench/node_report.py "$work/latency.csv" "$work/floor.txt"
