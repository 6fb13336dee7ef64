#!/usr/bin/env bash
# Installs what is missing, builds trelvo with its tests, tools and benchmarks, and runs the whole
# test suite; then runs the in-process suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the logging facade's concurrent tests under ThreadSanitizer, and each
# fuzz harness for a bounded time. Any failure, sanitizer report or fuzzer finding fails the run.
#
# Each stage is timed, wall clock and CPU (user + system of its processes), against a budget for
# an idle 2-core machine. A stage past its budget is reported, never failed: machines of this kind
# differ by twice in speed, and a busy one adds more, so only what the tests find fails the run. At
# the end the stages' times and the ten slowest tests are printed (from ctest's JUnit reports in
# out/ci/).
set -euo pipefail
cd "$(dirname "$0")/.."

# Seconds per stage, a third or so above what each took on an idle 2-core machine (packages
# installed from scratch, build 177 s, tests 122 s, sanitizers 524 s, fuzzing 137 s); and the whole
# run, which should stay within 1200 s there.
declare -A budget=(
  [packages]=180
  [build]=270
  [tests]=180
  [sanitizers]=700
  [fuzzing]=200
)
readonly kTotalBudget=1200
stages=()
declare -A took=() cpu=()
over=()
reports=out/ci
rm -rf "$reports"
mkdir -p "$reports"

summary() {
  local status=$?
  echo
  echo "== stage times: wall, CPU (budget of wall)"
  local total=0 total_cpu=0
  for name in "${stages[@]}"; do
    printf '   %-11s %5d s %5d s (%d s)\n' "$name" "${took[$name]}" "${cpu[$name]}" "${budget[$name]}"
    total=$((total + took[$name]))
    total_cpu=$((total_cpu + cpu[$name]))
  done
  printf '   %-11s %5d s %5d s (%d s)\n' total "$total" "$total_cpu" "$kTotalBudget"
  if ((total > kTotalBudget)); then
    over+=("test.sh: warning: the run took $total s (CPU $total_cpu s), over its budget of $kTotalBudget s")
  fi
  if compgen -G "$reports/*.xml" >/dev/null; then
    echo "== the ten slowest tests"
    /usr/bin/python3 scripts/slowest_tests.py 10 "$reports"/*.xml
  fi
  for line in "${over[@]}"; do
    echo "$line"
  done
  exit "$status"
}
trap summary EXIT

# read_children_cpu: sets children_cpu to the whole seconds of user + system time of this shell's
# finished child processes, from the second line of `times` ("1m2.500s 0m3.250s"). `times` must
# run in this shell: in a pipe or a substitution it would count a subshell's children.
read_children_cpu() {
  times >"$reports/times"
  children_cpu=$(awk 'NR == 2 { split($1 $2, t, /[ms]/); printf "%d", (t[1] + t[3]) * 60 + t[2] + t[4] }' \
    "$reports/times")
}

# run_stage NAME COMMAND...: runs the command as the stage NAME and records its wall and CPU time.
run_stage() {
  local name=$1
  shift
  echo "== $name"
  local start=$SECONDS
  read_children_cpu
  local start_cpu=$children_cpu
  "$@"
  local seconds=$((SECONDS - start))
  read_children_cpu
  stages+=("$name")
  took[$name]=$seconds
  cpu[$name]=$((children_cpu - start_cpu))
  if ((seconds > budget[$name])); then
    over+=("test.sh: warning: stage '$name' took $seconds s (CPU ${cpu[$name]} s), over its budget of ${budget[$name]} s")
  fi
}

# Line tables only (-g1): sanitizer reports and debuggers still name file and line, and the
# builds take a fifth less time than with full debug information.
export TRELVO_CI_FLAGS="-O2 -g1 -DNDEBUG"

run_stage packages bash scripts/bootstrap.sh
# Every option the suite needs is given, so that a build folder configured by hand (the README's
# install, without tests) cannot switch the suite off.
run_stage build bash -c 'cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$TRELVO_CI_FLAGS" -DTRELVO_BUILD_TESTS=ON \
  -DTRELVO_BUILD_TOOLS=ON -DTRELVO_BUILD_BENCHMARKS=ON -DTRELVO_FUZZ=OFF "-DTRELVO_SANITIZE=" \
  -DTRELVO_WARNINGS_AS_ERRORS=ON >/dev/null && cmake --build build -j2'
run_stage tests ctest --test-dir build --output-on-failure --no-tests=error -j2 \
  --output-junit "$PWD/$reports/plain.xml"
run_stage sanitizers bash scripts/test-sanitizers.sh "$PWD/$reports"
run_stage fuzzing bash scripts/fuzz.sh

