#pragma once

// ROS 2 parameters as a node's command line gives them: `-p [node:]name:=value` with a YAML value,
// and parameter files of sections `NODE: ros__parameters: {name: value, ...}`.
//
// Values are kept as text: a scalar as written without its quotes, YAML's plain booleans (true,
// True, yes, on, ...) as "true" or "false", a list or map in YAML's flow form ("[1, 2]"). Nested
// maps give dotted names, as in ROS 2: `limits: {speed: 1}` is the parameter "limits.speed".

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace node {

using ParameterValues = std::vector<std::pair<std::string, std::string>>;  // name, value text

/// The parameters of one section of a parameter file, or of one `-p` rule, and the nodes they
/// are for: "/**" (every node), "/trelvo_node", "/robot1/trelvo_node", "/**/trelvo_node".
struct NodeParameters {
  std::string nodes;
  ParameterValues values;
};

/// Reads `-p [node:]name:=value`; a rule without a node is for every node. Throws
/// std::invalid_argument saying what is wrong.
NodeParameters parseParameterRule(const std::string& rule);

/// Every section of the parameter file at `path`, in the order written. Nested node keys are
/// joined as ROS 2 joins them (`robot1: {trelvo_node: {ros__parameters: ...}}` is for
/// "/robot1/trelvo_node"). Throws std::invalid_argument saying what is wrong, with its line.
std::vector<NodeParameters> readParameterFile(const std::string& path);

/// The items of a value text that is a YAML list, each as text ("[map, base_link]" and
/// "['map', \"base_link\"]" give map and base_link); nothing for any other value.
std::optional<std::vector<std::string>> listItems(const std::string& text);

/// Whether parameters for `nodes` apply to the node `fullyQualifiedName` ("/robot1/trelvo_node"):
/// as in ROS 2, "*" stands for one namespace or name and "**" for any number of them.
bool appliesTo(const std::string& nodes, const std::string& fullyQualifiedName);

}  // namespace node
