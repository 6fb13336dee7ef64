#pragma once

// The program's own command line with what the ROS arguments set: each parameter that names one
// of the program's long options becomes that option (rate:=20 is --rate=20, pose_timeout:=0.5 is
// --pose-timeout=0.5, a flag's true is the flag and its false leaves it out), so that every option
// of the node can be set as a ROS parameter, from a launch file or a parameter file.
//
// Precedence, highest first: the program's options written on the command line; -p, later over
// earlier; parameter files, later over earlier; the program's defaults. ROS 2 has parameters
// override a node's defaults; an option the user wrote for this one process is more particular
// than a parameter file that launch may share among many nodes, so the written option wins and
// the parameter is reported as ignored.

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "node/ros_args/ros_arguments.hpp"

namespace node {

/// A long option of the program that a parameter may set.
struct ProgramOption {
  std::vector<std::string> longNames;  // without the dashes: "pose-timeout"
  bool isFlag = false;                 // takes no value
};

/// Every long option of `app` but --help and --version.
std::vector<ProgramOption> programOptions(const CLI::App& app);

struct ProgramCommandLine {
  /// argv[0], the options the parameters set ("--rate=20", "--stamped"), then the program's own
  /// arguments: to be parsed by the program's parser as its command line.
  std::vector<std::string> arguments;
  /// One line on what was given and not applied, for the log: "ignored ROS arguments:
  /// --log-level debug, parameter use_sim_time (no option --use-sim-time), ..."; nothing when
  /// everything was applied.
  std::optional<std::string> notice;
};

/// Throws std::invalid_argument when a flag's parameter is neither true nor false.
ProgramCommandLine programCommandLine(const RosArguments& ros,
                                      const std::vector<ProgramOption>& options);

}  // namespace node
