#!/usr/bin/env bash
# Measures a fleet of trelvo-nodes sharing one DDS domain, in real time: for each fleet size N,
# N robots robot1..robotN, each a trelvo-node and a trelvo-sim --dds vehicle under its own
# namespace, all started at once. Each vehicle hands its node an L-shaped route of its own (3 m,
# then 1.5 m to the left, 2 m beside the next robot's) and ends standing at its goal. Beside the
# fleet, started at the same moment and measured over the same window (bench/side_by_side.py), N
# DDS floors (trelvo-dds-floor, each with a standing vehicle of its own on the next domain: the
# nodes' traffic alone on DDS) and N UDP floors (trelvo-udp-floor: the same datagrams on plain UDP).
# Prints a markdown table: routes reached, time from the start to each node's route command, each
# node's CPU share and p99 pose-to-command time, the same-window shares of node, DDS floor and UDP
# floor with their ratios, the fleet's CPU beside the machine's (what else runs shows as the
# difference) and the load average at the start; then each target with its verdict (exit status 1
# when one fails). Loopback only.
#
#   bash scripts/bench-fleet.sh [N...]     fleet sizes, default 1 5 10 20
#
# TRELVO_BENCH_DOMAIN sets the DDS domain (default 201; the floors use the next), TRELVO_FLEET_TIMEOUT
# the seconds a fleet may take before it is stopped and its unfinished routes count as not reached
# (default 180), and TRELVO_FLEET_NODE_PRIORITY gives the nodes --realtime-priority (1 to 99: their
# control cycles under SCHED_FIFO; needs root or CAP_SYS_NICE; default: the normal scheduler). The
# logs of the last run of each size stay in build-bench/fleet/nN/.
set -euo pipefail
cd "$(dirname "$0")/.."

sizes=("$@")
((${#sizes[@]})) || sizes=(1 5 10 20)
# Two DDS participants a robot; Cyclone DDS gives out participant indices up to a set bound, whose
# ports must stay within the domain's range.
readonly kMaxRobots=50
for n in "${sizes[@]}"; do
  if ! [[ "$n" =~ ^[0-9]+$ ]] || ((n < 1 || n > kMaxRobots)); then
    echo "bench-fleet: fleet size must be a whole number from 1 to $kMaxRobots, got '$n'" >&2
    exit 2
  fi
done
timeout=${TRELVO_FLEET_TIMEOUT:-180}
if ! [[ "$timeout" =~ ^[0-9]+$ ]] || ((timeout < 30)); then
  echo "bench-fleet: TRELVO_FLEET_TIMEOUT must be whole seconds, at least 30, got '$timeout'" >&2
  exit 2
fi

priority=${TRELVO_FLEET_NODE_PRIORITY:-}
node_priority=()
if [[ -n "$priority" ]]; then
  if ! [[ "$priority" =~ ^[0-9]+$ ]] || ((priority < 1 || priority > 99)); then
    echo "bench-fleet: TRELVO_FLEET_NODE_PRIORITY must be from 1 to 99, got '$priority'" >&2
    exit 2
  fi
  if ! chrt -f "$priority" true 2>/dev/null; then
    echo "bench-fleet: TRELVO_FLEET_NODE_PRIORITY: SCHED_FIFO is not allowed to this user" >&2
    exit 2
  fi
  node_priority=(--realtime-priority "$priority")
fi

bash scripts/bootstrap.sh
build="build-bench"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRELVO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target trelvo-node trelvo-sim trelvo-dds-floor trelvo-udp-floor -j2

export ROS_DOMAIN_ID=${TRELVO_BENCH_DOMAIN:-201}
export TRELVO_FLEET_TIMEOUT=$timeout
folders=()
for n in "${sizes[@]}"; do
  folder="$build/fleet/n$n"
  echo "bench-fleet: $n robot(s), load average $(cut -d' ' -f1-3 /proc/loadavg)" >&2
  /usr/bin/python3 bench/side_by_side.py "$build" "$folder" "$n" driving "${node_priority[@]}" ||
    echo "bench-fleet: $n robots: a program failed or did not stop (see $folder)" >&2
  folders+=("$folder")
done

/usr/bin/python3 bench/fleet_report.py "${folders[@]}"
