#!/usr/bin/env bash
# Installs every Debian package that building, testing and running trelvo needs. Idempotent:
# installs only what is missing. Run as root on Debian 12.
set -euo pipefail

packages=(
  # toolchain
  g++ clang cmake make pkg-config git
  # library dependencies
  libspdlog-dev libfmt-dev libsystemd-dev libtf2-dev
  # ROS 2 message generation
  rosidl-generator-c-cpp rosidl-tools python3-ament-index
  # tests, benchmarks, fuzzing, sanitizers
  libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev systemd
  # the ROS 2 workspace build test
  colcon python3-colcon-cmake python3-colcon-ros python3-colcon-metadata python3-colcon-bash
  # simulator: command line, suite files, JUnit reports, pictures, and the JUnit read-back test
  libcli11-dev libyaml-cpp-dev libtinyxml2-dev python3-matplotlib python3-junitparser
  # trelvo-node: DDS with ROS 2's conventions (library, and idlc for the message types)
  cyclonedds-dev cyclonedds-tools
)

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
  echo "bootstrap: all packages present"
fi
