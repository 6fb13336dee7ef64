#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang, AddressSanitizer and UndefinedBehaviorSanitizer and
# runs each for a bounded time from a copy of its committed seed corpus.
#
#   bash scripts/fuzz.sh                      what CI runs: the closed-loop harnesses (controller,
#                                             route) 40 s each, the others 10 s or 5 s, 115 s in all
#   bash scripts/fuzz.sh 600 controller route a longer campaign: each harness named (all of them
#                                             if none is) runs for the seconds given
#
# A crash, a sanitizer report, a broken invariant or a library call over its time budget fails the
# run; the input that did it is kept in out/fuzz/<harness>/ to replay with
# build-fuzz/fuzz/fuzz_<harness> <file>. The seeds and the fewest inputs of the run that reach the
# code the seeds do not are left in out/fuzz/<harness>/corpus/: copy the new ones into
# fuzz/corpus/<harness>/ to keep them.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A seconds=([toolkit]=10 [controller]=40 [geometry]=10 [pid]=5 [route]=40 [clearance]=10)
harnesses=(toolkit controller geometry pid route clearance)
if (($# > 0)); then
  if [[ ! $1 =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: bash scripts/fuzz.sh [SECONDS [HARNESS...]], harnesses: ${harnesses[*]}" >&2
    exit 2
  fi
  duration=$1
  shift
  if (($# > 0)); then
    for harness in "$@"; do
      if [[ -z "${seconds[$harness]:-}" ]]; then
        echo "fuzz: no harness '$harness'; there are: ${harnesses[*]}" >&2
        exit 2
      fi
    done
    harnesses=("$@")
  fi
  for harness in "${harnesses[@]}"; do
    seconds[$harness]=$duration
  done
fi

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=${TRELVO_CI_FLAGS:-"-O2 -g -DNDEBUG"}" \
  -DTRELVO_FUZZ=ON -DTRELVO_SANITIZE=address,undefined -DTRELVO_BUILD_TESTS=OFF \
  -DTRELVO_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz --target "${harnesses[@]/#/fuzz_}" -j2

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

total=0
for harness in "${harnesses[@]}"; do
  # New inputs go into the copy, never into the repository.
  cp -r "fuzz/corpus/$harness" "$work/$harness"
  artifacts=out/fuzz/$harness/
  mkdir -p "$artifacts"
  log=$work/$harness.log
  # -timeout (whole seconds) catches a hang of a whole run; the harnesses time each call.
  if ! "build-fuzz/fuzz/fuzz_$harness" -max_total_time="${seconds[$harness]}" -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "$work/$harness" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz: $harness found a fault; its input is in $artifacts"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
  echo "fuzz: $harness: $runs executions in ${seconds[$harness]} s" \
    "($((runs / seconds[$harness])) a second), $coverage, no findings"
  total=$((total + runs))

  # The seeds, then only those of the run's inputs that reach edges the seeds do not (counters
  # left out, which would keep an input for every new number of loop rounds).
  corpus=$artifacts/corpus
  rm -rf "$corpus"
  cp -r "fuzz/corpus/$harness" "$corpus"
  "build-fuzz/fuzz/fuzz_$harness" -merge=1 -use_counters=0 "$corpus" "$work/$harness" >"$log" 2>&1
done
echo "fuzz: $total executions in all, no findings"
