#!/usr/bin/env bash
# trelvo-node on a Nav2-style robot, in real time on loopback: trelvo-sim --dds plays the vehicle
# and hands the node an L of 3 m and 3 m; tests/node_nav2_probe plays the rest (a stray odometry
# writer, AMCL at 2 Hz through TF or amcl_pose, a simulator clock stepped back 100 s) and prints
# one line of figures per run, after the node's lines that matter for it.
#
#   bash scripts/measure-node-nav2.sh [BUILD_DIR]     (default build; about a minute)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target trelvo-node trelvo-sim node_nav2_probe -j2 >/dev/null

work=$(mktemp -d)
node_pid=
probe_pid=
cleanup() {
  [[ -n "$node_pid" ]] && kill "$node_pid" 2>/dev/null || true
  [[ -n "$probe_pid" ]] && kill "$probe_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export CYCLONEDDS_URI='<CycloneDDS><Domain id="any"><General><Interfaces><NetworkInterface name="lo"/></Interfaces><AllowMulticast>false</AllowMulticast></General><Discovery><ParticipantIndex>auto</ParticipantIndex><MaxAutoParticipantIndex>32</MaxAutoParticipantIndex><Peers><Peer address="localhost"/></Peers></Discovery></Domain></CycloneDDS>'
export ROS_DOMAIN_ID=${TRELVO_MEASURE_DOMAIN:-204}
export SPDLOG_STDOUT=true SPDLOG_SYSTEMD=false SPDLOG_LEVEL=info

route=(0 0 0 3 0 0 3 3 90)
corners=(0 0 3 0 3 3)

# run NAME PROBE_MODE "SIM_ARGS" NODE_ARGS...
run() {
  local name=$1 mode=$2 sim_args=$3
  shift 3
  "$build/tools/node/trelvo-node" "$@" >"$work/$name.log" 2>&1 &
  node_pid=$!
  "$build/tests/node_nav2_probe" "$mode" "${corners[@]}" >"$work/$name.probe" 2>&1 &
  probe_pid=$!
  sleep 1
  local started=$SECONDS
  # shellcheck disable=SC2086
  "$build/tools/sim/trelvo-sim" --dds $sim_args --time-limit 60 --waypoints "${route[@]}" \
    >"$work/$name.sim" 2>&1 || true
  local took=$((SECONDS - started))
  sleep 0.5
  kill -TERM "$probe_pid"
  wait "$probe_pid" || true
  probe_pid=
  kill -TERM "$node_pid"
  wait "$node_pid" || true
  node_pid=
  echo "== $name (trelvo-sim ran ${took} s)"
  grep -E "reached|finished|writers|remains|no pose for|arrive again|every|went back|refused" \
    "$work/$name.log" | cut -c25- | cut -c1-260 | head -20 || true
  cat "$work/$name.probe"
}

run once observe ""
run stray stray ""
run amcl-topic amcl-topic "" --pose-topic amcl_pose --pose-with-covariance
run amcl-tf amcl-tf "" --pose-from-tf map base_link
run clock clock "--stamped" --stamped --use-sim-time --pose-from-tf odom base_link
