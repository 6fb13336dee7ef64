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

#include "node/ros_args/nav2_parameters.hpp"
#include "node/ros_args/ros_arguments.hpp"

namespace node {

/// A long option of the program that a parameter may set.
struct ProgramOption {
  std::vector<std::string> longNames;  // without the dashes: "pose-timeout"
  bool isFlag = false;                 // takes no value
  bool takesList = false;              // takes several values: a parameter gives them as a list
};

/// Every long option of `app` but --help and --version.
std::vector<ProgramOption> programOptions(const CLI::App& app);

struct ProgramCommandLine {
  /// argv[0], the options the parameters set ("--rate=20", "--stamped"), then the program's own
  /// arguments: to be parsed by the program's parser as its command line.
  std::vector<std::string> arguments;
  /// One line on what was given and not applied, for the log: "ignored ROS arguments:
  /// --log-level debug, parameter autostart (no option --autostart), ..."; nothing when
  /// everything was applied.
  std::optional<std::string> notice;
  /// Each option with a value that a parameter set: the parameter and the option's words among
  /// the arguments ({"--pose-from-tf", "map", "base_link"} for pose_from_tf: [map, base_link]).
  struct FromParameter {
    std::string parameter;
    ParameterValue value;
    std::vector<std::string> words;
  };
  std::vector<FromParameter> fromParameters;
};

/// Throws std::invalid_argument when a flag's parameter is neither true nor false. A list
/// parameter gives each of its items as one of the option's values. A checker plugin's setting
/// of Nav2's ("general_goal_checker.xy_goal_tolerance") sets the option of its name when the
/// plugin is one of goal_checker_plugins and progress_checker_plugins (their parameters, else
/// `checkers`); Nav2's parameters the node has no use for are ignored with why.
ProgramCommandLine programCommandLine(const RosArguments& ros,
                                      const std::vector<ProgramOption>& options,
                                      const CheckerPlugins& checkers = {});

/// Parses each option of `line.fromParameters` on its own with `app`, before the whole line, so
/// that a bad value is reported with its parameter, the value and where it was given: "parameter
/// file /etc/robot.yaml: parameter rate = fast: 'fast' is not a number". Throws
/// std::invalid_argument so. Options that need another option are not for parameters this way.
void checkParameterOptions(CLI::App& app, const ProgramCommandLine& line);

}  // namespace node
