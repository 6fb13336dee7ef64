#!/usr/bin/env bash
# Installs what is missing, builds trelvo with its tests, tools and benchmarks, and runs the whole
# test suite; then runs it again under AddressSanitizer and UndefinedBehaviorSanitizer, the
# logging facade's concurrent tests under ThreadSanitizer, and each fuzz harness for about 20 s.
# Any failure, sanitizer report or fuzzer finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

stage() {
  echo "== $1"
  SECONDS=0
}
took() {
  echo "== took ${SECONDS} s"
}

bash scripts/bootstrap.sh

stage "plain build and tests: build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2
took

stage "sanitizers: build-asan, build-tsan"
bash scripts/test-sanitizers.sh
took

stage "fuzzing: build-fuzz"
bash scripts/fuzz.sh
took
