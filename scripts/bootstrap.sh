#!/usr/bin/env bash
# Installs the Debian packages that trelvo needs. Idempotent: installs only what is missing. Run
# as root on Debian 12.
#   bash scripts/bootstrap.sh        everything: building, testing, benchmarking, fuzzing
#   bash scripts/bootstrap.sh main   only what the main job needs: the library and trelvo-sim
set -euo pipefail

# The library and trelvo-sim (whose --dds vehicle speaks ROS 2 over Cyclone DDS).
main_job=(
  # toolchain
  g++ cmake make pkg-config
  # library dependencies; libtf2-dev is also trelvo-node's transform buffer, and brings the
  # console_bridge and ROS 1 time and message headers its interface uses
  libspdlog-dev libfmt-dev libsystemd-dev libtf2-dev
  # ROS 2 message generation, and their type hashes (rosidl_parser of python3-rosidl)
  rosidl-generator-c-cpp rosidl-tools python3-rosidl python3-ament-index
  # simulator: command line, suite files, JUnit reports, pictures
  libcli11-dev libyaml-cpp-dev libtinyxml2-dev python3-matplotlib
  # DDS with ROS 2's conventions (library, and idlc for the message types)
  cyclonedds-dev cyclonedds-tools
)
# On top of the main job: the tests, benchmarks, fuzzers and sanitizer runs.
tests=(
  clang git
  libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev systemd
  # the ROS 2 workspace build test
  colcon python3-colcon-cmake python3-colcon-ros python3-colcon-metadata python3-colcon-bash
  # the JUnit read-back test; the README check reads its YAML
  python3-junitparser python3-yaml
  # the node beside a planner and a vehicle on Fast DDS, ROS 2's default middleware
  libfastrtps-dev libfastcdr-dev
  # setpriv, to start the node without CAP_SYS_NICE (essential on Debian; named for the record)
  util-linux
)

case "${1:-all}" in
  main) packages=("${main_job[@]}") ;;
  all) packages=("${main_job[@]}" "${tests[@]}") ;;
  *)
    echo "usage: bootstrap.sh [main|all]" >&2
    exit 2
    ;;
esac

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  echo "bootstrap: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y "${missing[@]}"
else
  echo "bootstrap: all ${#packages[@]} packages present"
fi
