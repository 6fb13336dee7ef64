#!/usr/bin/env bash
# Measures a fleet of trelvo-nodes sharing one DDS domain, in real time: for each fleet size N,
# N robots robot1..robotN, each a trelvo-node and a trelvo-sim --dds vehicle under its own
# namespace, all started at once. Each vehicle hands its node an L-shaped route of its own (3 m,
# then 1.5 m to the left, 2 m beside the next robot's) and ends standing at its goal. Prints a
# markdown table: routes reached, time from the start to each node's route command, each node's
# CPU share and p99 pose-to-command time, the whole fleet's CPU beside the machine's (what else
# runs shows as the difference) and the load average at the start; then each target with its
# verdict (exit status 1 when one fails). After each fleet, as many trelvo-dds-floor programs, each
# beside a standing vehicle of its own for as long as the fleet ran, measure what the nodes' traffic
# alone costs on DDS and this machine: the table's floor column. Loopback only.
#
#   bash scripts/bench-fleet.sh [N...]     fleet sizes, default 1 5 10 20
#
# TRELVO_BENCH_DOMAIN sets the DDS domain (default 201), TRELVO_FLEET_TIMEOUT the seconds a fleet
# may take before it is stopped and its unfinished routes count as not reached (default 180), and
# TRELVO_FLEET_NODE_PRIORITY gives the nodes --realtime-priority (1 to 99: their control cycles
# under SCHED_FIFO; needs root or CAP_SYS_NICE; default: the normal scheduler). The logs of the last run of each size stay
# in build-bench/fleet/nN/.
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
cmake --build "$build" --target trelvo-node trelvo-sim trelvo-dds-floor -j2
node_program="$build/tools/node/trelvo-node"
sim_program="$build/tools/sim/trelvo-sim"
floor_program="$build/bench/trelvo-dds-floor"

children=()
stop_children() {
  local pid
  for pid in "${children[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
  done
  sleep 1
  for pid in "${children[@]}"; do
    kill -KILL "$pid" 2>/dev/null || true
  done
  children=()
}
trap stop_children EXIT
trap 'exit 130' INT TERM

export ROS_DOMAIN_ID=${TRELVO_BENCH_DOMAIN:-201}
export SPDLOG_STDOUT=true SPDLOG_SYSTEMD=false SPDLOG_LEVEL=info

loopback_only() {
  local max_index=$1
  local general='<General><Interfaces><NetworkInterface name="lo"/></Interfaces>'
  general+='<AllowMulticast>false</AllowMulticast></General>'
  local discovery='<Discovery><ParticipantIndex>auto</ParticipantIndex>'
  discovery+="<MaxAutoParticipantIndex>$max_index</MaxAutoParticipantIndex>"
  discovery+='<Peers><Peer address="localhost"/></Peers></Discovery>'
  export CYCLONEDDS_URI="<CycloneDDS><Domain id=\"any\">$general$discovery</Domain></CycloneDDS>"
}

# User and system CPU seconds of the children this shell has waited for, from the output of
# `times`, which must run in this shell itself: a subshell's children are its own.
children_cpu() {
  awk 'NR == 2 {
    total = 0
    for (i = 1; i <= 2; ++i) { split($i, t, "m"); total += t[1] * 60 + t[2] }
    printf "%.3f\n", total
  }' "$1"
}

# CPU seconds the machine's cores have been idle since it started. Idle time is measured exactly,
# where busy time is sampled at the timer tick, which misses most of a short wake-up.
machine_idle() {
  awk -v hz="$(getconf CLK_TCK)" '$1 == "cpu" { printf "%.2f\n", ($5 + $6) / hz }' /proc/stat
}

difference() {
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f\n", a - b }'
}

running() {
  kill -0 "$1" 2>/dev/null
}

# Waits for the listed processes until the deadline (epoch seconds); true when all have ended.
wait_until() {
  local deadline=$1 pid
  shift
  for pid in "$@"; do
    while running "$pid"; do
      ((EPOCHSECONDS < deadline)) || return 1
      sleep 0.5
    done
  done
}

# Ends the listed processes: SIGTERM, SIGKILL for any still running 5 s later; reaps them all.
end_all() {
  local what=$1 pid
  shift
  kill -TERM "$@" 2>/dev/null || true
  if ! wait_until $((EPOCHSECONDS + 5)) "$@"; then
    echo "bench-fleet: $what still running 5 s after SIGTERM, killed" >&2
    kill -KILL "$@" 2>/dev/null || true
  fi
  for pid in "$@"; do
    wait "$pid" 2>/dev/null || true
  done
  children=()
}

run_fleet() {
  local n=$1 folder=$2
  rm -rf "$folder"
  mkdir -p "$folder"
  loopback_only $((2 * n + 8))
  local load idle_before started y k
  load=$(cut -d' ' -f1 /proc/loadavg)
  times >"$folder/times-before"
  idle_before=$(machine_idle)
  started=$EPOCHREALTIME
  local nodes=() sims=()
  for ((k = 1; k <= n; ++k)); do
    y=$((2 * (k - 1)))
    "$node_program" --namespace "robot$k" "${node_priority[@]}" \
      --latency-log "$folder/robot$k-latency.csv" >"$folder/robot$k-node.log" 2>&1 &
    nodes+=($!)
    children+=($!)
    "$sim_program" --dds --namespace "robot$k" --time-limit $((timeout - 10)) \
      --waypoints 0 "$y" 0 3 "$y" 0 3 "$((y + 1)).5" 90 >"$folder/robot$k-sim.log" 2>&1 &
    sims+=($!)
    children+=($!)
  done

  # Each vehicle ends at its goal or at its time limit; the deadline is for a fleet that hangs.
  if ! wait_until $((EPOCHSECONDS + timeout)) "${sims[@]}"; then
    echo "bench-fleet: $n robots: vehicles still running after $timeout s, stopped" >&2
  fi
  end_all "$n robots: programs" "${nodes[@]}" "${sims[@]}"
  local ended idle_after wall
  ended=$EPOCHREALTIME
  idle_after=$(machine_idle)
  times >"$folder/times-after"
  wall=$(difference "$ended" "$started")
  {
    echo "robots $n"
    echo "started $started"
    echo "load $load"
    echo "cpu_s $(difference "$(children_cpu "$folder/times-after")" \
      "$(children_cpu "$folder/times-before")")"
    echo "cores $(nproc)"
    echo "idle_s $(difference "$idle_after" "$idle_before")"
    echo "wall_s $wall"
  } >"$folder/run.txt"
}

# N floor programs, robot1..robotN, each beside a vehicle that stands for the fleet's wall time;
# each prints its CPU share to robotK-floor.txt.
run_floor() {
  local n=$1 folder=$2 seconds k
  seconds=$(awk '$1 == "wall_s" { print int($2 + 0.5) }' "$folder/run.txt")
  local floors=() sims=()
  for ((k = 1; k <= n; ++k)); do
    "$floor_program" "robot$k" >"$folder/robot$k-floor.txt" 2>&1 &
    floors+=($!)
    children+=($!)
    "$sim_program" --dds --namespace "robot$k" --duration "$seconds" >/dev/null 2>&1 &
    sims+=($!)
    children+=($!)
  done
  wait_until $((EPOCHSECONDS + seconds + 30)) "${sims[@]}" ||
    echo "bench-fleet: $n floor vehicles still running, stopped" >&2
  end_all "$n floors: programs" "${floors[@]}" "${sims[@]}"
}

folders=()
for n in "${sizes[@]}"; do
  folder="$build/fleet/n$n"
  echo "bench-fleet: $n robot(s), load average $(cut -d' ' -f1-3 /proc/loadavg)" >&2
  run_fleet "$n" "$folder"
  run_floor "$n" "$folder"
  folders+=("$folder")
done

/usr/bin/python3 bench/fleet_report.py "${folders[@]}"
