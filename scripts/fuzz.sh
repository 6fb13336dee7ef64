#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang, AddressSanitizer and UndefinedBehaviorSanitizer and
# runs each for a bounded time from a copy of its committed seed corpus: the closed-loop harnesses
# (controller, route), whose inputs drive hundreds of cycles each, get 40 s, the others 10 s or 5 s,
# 105 s in all; TRELVO_FUZZ_SECONDS gives every harness that time instead. A crash, a sanitizer
# report, a broken invariant or a library call slower than 100 ms fails the run; the input that did
# it is kept in out/fuzz/<harness>/ to replay with build-fuzz/fuzz/fuzz_<harness> <file>.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A seconds=([toolkit]=10 [controller]=40 [geometry]=10 [pid]=5 [route]=40 [clearance]=10)
harnesses=(toolkit controller geometry pid route clearance)
if [[ -n "${TRELVO_FUZZ_SECONDS:-}" ]]; then
  for harness in "${harnesses[@]}"; do
    seconds[$harness]=$TRELVO_FUZZ_SECONDS
  done
fi

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=${TRELVO_CI_FLAGS:-"-O2 -g -DNDEBUG"}" \
  -DTRELVO_FUZZ=ON -DTRELVO_SANITIZE=address,undefined -DTRELVO_BUILD_TESTS=OFF \
  -DTRELVO_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz --target fuzzers -j2

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
  echo "fuzz: $harness: $runs executions in ${seconds[$harness]} s, $coverage, no findings"
  total=$((total + runs))
done
echo "fuzz: $total executions in all, no findings"
