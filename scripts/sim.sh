#!/usr/bin/env bash
# Installs what is missing, builds trelvo and runs its main job.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
# Until the simulator exists, the main job is the example host: install the library into a
# scratch prefix and build and run a consumer project against it.
bash tests/package_consumer.sh build .
