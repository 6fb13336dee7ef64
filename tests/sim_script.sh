#!/usr/bin/env bash
# scripts/sim.sh runs trelvo-sim in the folder it was called from: relative --suite, --junit and
# --out paths name files there, not in the project.
set -euo pipefail
project="$(cd "$(dirname "$0")/.." && pwd)"
here="$(mktemp -d)"
trap 'rm -rf "$here"' EXIT
cd "$here"
cat >hop.yaml <<'YAML'
scenarios:
  - name: hop
    start: [0, 0, 0]
    goal: [1, 0, 0]
YAML
bash "$project/scripts/sim.sh" --suite hop.yaml --junit hop.xml --out hop-results --no-plot
for expected in hop.xml hop-results/suite.csv; do
  if [[ ! -f "$expected" ]]; then
    echo "sim_script: $expected was not written in the caller's folder" >&2
    exit 1
  fi
done
if [[ -e "$project/hop.xml" || -e "$project/hop-results" ]]; then
  echo "sim_script: results were written into the project" >&2
  exit 1
fi
