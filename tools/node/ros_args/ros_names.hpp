#pragma once

// ROS 2 names as a node's command line remaps them: the rules `[node:]from:=to` and the
// expansion of relative and private names to fully qualified ones.

#include <string>

namespace node {

/// One `-r` rule. Plain rules and rostopic:// rules rename topics; rosservice:// rules rename
/// services only; `__ns` and `__node` (or `__name`) rules give the node its namespace and name.
struct RemapRule {
  enum class Kind { Topic, Service, NameSpace, NodeName };
  std::string node;  // the node the rule is for; empty: every node
  Kind kind = Kind::Topic;
  std::string from;  // the name matched: "cmd_vel", "/cmd_vel", "~/out"; empty for __ns and __node
  std::string to;    // "/robot/cmd"; the namespace "/robot1"; the node name
};

/// Reads a rule as ROS 2 does: names are '/'-separated tokens of letters, digits and '_' (none
/// starting with a digit or holding "__"), optionally after '/' or "~/"; a namespace is absolute.
/// Throws std::invalid_argument saying what is wrong; wildcards and backreferences are refused,
/// as ROS 2 refuses them.
RemapRule parseRemapRule(const std::string& rule);

/// The absolute form of a namespace written with or without its leading and trailing '/':
/// "robot1" and "/robot1/" give "/robot1", "" gives "/".
std::string absoluteNamespace(const std::string& nameSpace);

/// The fully qualified name of `name` for the node `nodeName` in `nameSpace`, as ROS 2 expands
/// it: "cmd_vel" in "/robot1" is "/robot1/cmd_vel", "/cmd_vel" stays, "~/out" is
/// "/robot1/NODE/out".
std::string fullyQualifiedName(const std::string& name, const std::string& nameSpace,
                               const std::string& nodeName);

}  // namespace node
