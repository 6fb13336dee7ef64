#!/usr/bin/env bash
# Builds the library, its tests and tools with AddressSanitizer and UndefinedBehaviorSanitizer
# (float-to-integer overflow included) and runs the test suite; then builds the logging facade's
# instance tests with ThreadSanitizer, whose concurrent first calls run under it. Every sanitizer
# report ends the program that makes it (-fno-sanitize-recover), so it fails its test.
#   test-sanitizers.sh [REPORTS]   writes ctest's JUnit reports into the folder REPORTS
set -euo pipefail
cd "$(dirname "$0")/.."
reports=${1:-}
# -O1, as the sanitizers' own documentation advises: reports as good, a third less to compile.
flags="-O1 -g1 -DNDEBUG"

# Inherited by the helper programs and child processes the tests start.
export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

echo "== AddressSanitizer and UndefinedBehaviorSanitizer: build-asan"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$flags" \
  -DTRELVO_BUILD_TESTS=ON -DTRELVO_BUILD_TOOLS=ON -DTRELVO_BUILD_BENCHMARKS=OFF -DTRELVO_FUZZ=OFF \
  -DTRELVO_SANITIZE=address,undefined,float-cast-overflow >/dev/null
cmake --build build-asan -j2
# What runs no code of the project's own under the sanitizers stays with the plain build: the
# installed-package and script tests build or run uninstrumented programs, the README and report
# checks read text.
ctest --test-dir build-asan --output-on-failure --no-tests=error -j2 \
  -E '^(InstalledPackage|SimScript|Readme|FleetReport|ToolsRooms|Exports)\.' \
  ${reports:+--output-junit "$reports/asan.xml"}

echo "== ThreadSanitizer: build-tsan, the logging facade's instance tests"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$flags" \
  -DTRELVO_BUILD_TESTS=ON -DTRELVO_BUILD_TOOLS=ON -DTRELVO_BUILD_BENCHMARKS=OFF -DTRELVO_FUZZ=OFF \
  -DTRELVO_SANITIZE=thread >/dev/null
cmake --build build-tsan --target test_logger_instance -j2
ctest --test-dir build-tsan --output-on-failure --no-tests=error -R '^LoggerInstance\.' \
  ${reports:+--output-junit "$reports/tsan.xml"}
