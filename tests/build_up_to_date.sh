#!/usr/bin/env bash
# A second build of an unchanged tree runs nothing: no compiler, linker or generator
# (build_up_to_date.sh BUILD, on a tree built before the tests run). The build tool is asked in
# dry-run mode, so that the test changes nothing and starts no build of its own.
set -euo pipefail
build=$1

if [[ -f "$build/build.ninja" ]]; then
  work=$(ninja -C "$build" -n |
    grep -v -e '^ninja: Entering directory' -e '^ninja: no work to do' || true)
else
  # CMake's Makefiles announce each compile, link and generator command with an echo ("Building
  # ...", "Linking ...", "Generating ..."); the rest of the plan is bookkeeping that every build
  # goes through, "Built target" among it.
  work=$(make -C "$build" -n --no-print-directory | grep -F 'cmake_echo_color' |
    grep -v -F 'Built target' || true)
fi
if [[ -n "$work" ]]; then
  echo "build_up_to_date: a build of the unchanged tree would still run:" >&2
  sed -E 's/.*cmake_echo_color [^"]*//' <<<"$work" >&2
  exit 1
fi
