#!/usr/bin/env bash
# scripts/sim.sh as a user calls it, from a folder of their own, on the built trelvo-sim of the
# build folder given (sim_script.sh BUILD): without arguments it prints what the README shows and
# writes out/trelvo-sim/ in the caller's folder; relative --suite, --junit and --out paths name
# files there, not in the project; and nothing is compiled.
set -euo pipefail
build=$1
project="$(cd "$(dirname "$0")/.." && pwd)"
here="$(mktemp -d)"
trap 'rm -rf "$here"' EXIT
cd "$here"
export TRELVO_BUILD_DIR=$build

fail() {
  echo "sim_script: $*" >&2
  exit 1
}

# The first text block of the README is the main job's output.
awk '/^```text$/ {inside = 1; next} inside && /^```$/ {exit} inside {print}' \
  "$project/README.md" >readme-output.txt
[[ -s readme-output.txt ]] || fail "the README shows no output of the main job"
bash "$project/scripts/sim.sh" >default-run.txt
if grep -q 'Building' default-run.txt; then
  fail "the script compiled although $build holds a built trelvo-sim"
fi
# The script's own lines (bootstrap, an up-to-date build) come before trelvo-sim's.
sed -n '/^trelvo-sim:/,$p' default-run.txt >sim-output.txt
diff -u readme-output.txt sim-output.txt || fail "the main job's output differs from the README's"
[[ -f out/trelvo-sim/run.csv && -f out/trelvo-sim/run.png ]] ||
  fail "the default run's trace and picture were not written in the caller's folder"

cat >hop.yaml <<'YAML'
scenarios:
  - name: hop
    start: [0, 0, 0]
    goal: [1, 0, 0]
YAML
bash "$project/scripts/sim.sh" --suite hop.yaml --junit hop.xml --out hop-results --no-plot \
  >/dev/null
for expected in hop.xml hop-results/suite.csv; do
  [[ -f "$expected" ]] || fail "$expected was not written in the caller's folder"
done
if [[ -e "$project/hop.xml" || -e "$project/hop-results" ]]; then
  fail "results were written into the project"
fi
