#!/usr/bin/env bash
# Builds the repository as a package of a ROS 2 workspace with colcon (the libraries and their
# messages only: no tools, tests or benchmarks), beside a host package that drives a route through
# the installed trelvo::route; then sources the workspace as a ROS 2 user would, finds the package
# through the ament index and runs the host. The tests and benchmarks are left out as ROS 2 users
# leave them out, with BUILD_TESTING=OFF; were they built, they would ask for the tools.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/src/trelvo"
# The sources as committed or changed, without build folders or outputs.
tar -C "$source_dir" --exclude='./build*' --exclude='./out' --exclude='./.git' -cf - . |
  tar -C "$work/src/trelvo" -xf -
cp -r "$source_dir/tests/consumer" "$work/src/trelvo_consumer"
# colcon would take the copy inside the repository for a package of its own.
touch "$work/src/trelvo/tests/consumer/COLCON_IGNORE"
cd "$work"
# Debian's colcon runs with Debian's Python, which must come first on PATH. MAKEFLAGS replaces
# colcon's own "-jN -lN": its load limit would hold the build back while other tests run.
PATH=/usr/bin:$PATH MAKEFLAGS=-j2 colcon build --event-handlers console_direct- \
  --cmake-args -DBUILD_TESTING=OFF -DTRELVO_BUILD_TOOLS=OFF \
  >colcon.log 2>&1 ||
  { tail -n 40 colcon.log; exit 1; }

set +u  # the setup scripts read unset variables
# shellcheck disable=SC1091
source install/setup.bash
set -u
found=$(/usr/bin/python3 -c \
  'from ament_index_python.packages import get_package_prefix; print(get_package_prefix("trelvo"))')
if [[ "$found" != "$work/install/trelvo" ]]; then
  echo "ament index: trelvo found at '$found', expected $work/install/trelvo" >&2
  exit 1
fi
install/trelvo_consumer/bin/route_host
