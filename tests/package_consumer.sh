#!/usr/bin/env bash
# Installs the built libraries into a scratch prefix, then builds and runs two consumers against
# them (the controller with the toolkit, and a host driving an L-shaped route through the route
# library), once through the CMake package and once through pkg-config; and finds the prefix
# through the ament index, as ROS 2 tools do.
set -euo pipefail
build_dir=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null

cmake -S "$source_dir/tests/consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" \
  >/dev/null
cmake --build "$work/cmake-build" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib" "$work/cmake-build/consumer"
LD_LIBRARY_PATH="$work/prefix/lib" "$work/cmake-build/route_host"

export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
# Outside the loader's folders the hosts find the libraries at run time by an rpath to the libdir
# pkg-config names.
# shellcheck disable=SC2046
g++ -std=c++17 "$source_dir/tests/consumer/main.cpp" -o "$work/pc-consumer" \
  $(pkg-config --cflags --libs trelvo) -Wl,-rpath,"$(pkg-config --variable=libdir trelvo)"
"$work/pc-consumer"
# shellcheck disable=SC2046
g++ -std=c++17 "$source_dir/tests/consumer/route_host.cpp" -o "$work/pc-route-host" \
  $(pkg-config --cflags --libs trelvo-route) \
  -Wl,-rpath,"$(pkg-config --variable=libdir trelvo-route)"
"$work/pc-route-host"

found=$(AMENT_PREFIX_PATH="$work/prefix" /usr/bin/python3 -c \
  'from ament_index_python.packages import get_package_prefix; print(get_package_prefix("trelvo"))')
if [[ "$found" != "$work/prefix" ]]; then
  echo "ament index: trelvo found at '$found', expected $work/prefix" >&2
  exit 1
fi
test -f "$work/prefix/share/trelvo/package.xml"
