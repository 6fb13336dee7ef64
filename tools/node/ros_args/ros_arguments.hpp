#pragma once

// The ROS 2 arguments on trelvo-node's command line, read by ROS 2's rules so that the node starts
// from `ros2 launch` (a launch Node(...) appends `--ros-args -r __node:=NAME -r __ns:=/NS
// --params-file FILE -p name:=value -r from:=to ...`) and from ExecuteProcess and `ros2 run`.
//
// `--ros-args` starts a block of ROS arguments that `--` or the end of the command line ends;
// there may be several. Outside the blocks every argument is the program's own. Inside, the node
// takes -r/--remap, -p/--param and --params-file, and sets aside the rest (logging, security
// enclave, unknown flags), which a node without rcl has no use for.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace node {

/// The node's ROS 2 name unless `-r __node:=NAME` gives another; parameter files name it so.
inline constexpr const char* kDefaultNodeName = "trelvo_node";

/// One of the node's parameters: its value text (see parameter_yaml.hpp) and where it was given,
/// for messages: "ROS argument '-p rate:=fast'", "parameter file /etc/robot/params.yaml".
struct ParameterValue {
  std::string text;
  std::string origin;
};

struct RosArguments {
  /// argv[0] and the program's own arguments, in their order: a command line of its own.
  std::vector<std::string> programArgs;
  /// This node's topic remappings in command-line order, {"cmd_vel", "/robot/cmd"}; the first
  /// that fits a topic renames it, as in ROS 2.
  std::vector<std::pair<std::string, std::string>> remaps;
  /// From -r __ns:=, absolute: "/robot1".
  std::optional<std::string> nameSpace;
  /// From -r __node:= or __name:=.
  std::optional<std::string> nodeName;
  /// This node's parameters, name -> value text (see parameter_yaml.hpp): every parameter file
  /// section that applies to the node, later files over earlier ones and later sections over
  /// earlier ones, then every -p over them all, later over earlier. A '-' in a name is read as
  /// '_': `pose-timeout` is the parameter pose_timeout.
  std::map<std::string, ParameterValue> parameters;
  /// The ROS arguments the node does not apply, as written: "--log-level debug", "-r
  /// other_node:cmd_vel:=x".
  std::vector<std::string> ignored;

  /// The fully qualified name of the node's topic `topic` ("cmd_vel", "/cmd_vel", "~/status")
  /// after remapping, for the node in `nameSpace` ("robot1", "/robot1" or "" for the root):
  /// names and rules are expanded to absolute names before they are compared, as in ROS 2, so
  /// that both `cmd_vel:=x` and `/robot1/cmd_vel:=x` rename cmd_vel in /robot1.
  std::string remapped(const std::string& topic, const std::string& nameSpace) const;
};

/// Reads the command line. Throws std::invalid_argument naming the ROS argument for a malformed
/// rule, a flag without its value, or a parameter file that cannot be read or is not one.
RosArguments parseRosArguments(int argc, const char* const* argv);

}  // namespace node
