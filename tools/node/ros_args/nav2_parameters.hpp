#pragma once

// Nav2's controller server parameters, as a params file for it gives them, read by the node: the
// goal checker's and progress checker's settings live under their plugin names
// ("general_goal_checker.xy_goal_tolerance"), and name the node's own options when the plugin is
// one of the node's; the controller server's parameters that the node has no use for are ignored
// with why.

#include <optional>
#include <string>
#include <vector>

namespace node {

/// The plugin names the parameters list: goal_checker_plugins and progress_checker_plugins.
struct CheckerPlugins {
  std::vector<std::string> goalCheckers;
  std::vector<std::string> progressCheckers;
};

/// The option's parameter name a Nav2 parameter stands for ("xy_goal_tolerance" for
/// "general_goal_checker.xy_goal_tolerance"); nothing when it names none.
std::optional<std::string> nav2OptionParameter(const std::string& parameter,
                                               const CheckerPlugins& plugins);

/// Why the node does without a parameter of Nav2's controller server ("the node's own controller
/// drives every goal" for "FollowPath.plugin"); nothing for a parameter Nav2 does not know.
std::optional<std::string> nav2IgnoredReason(const std::string& parameter);

}  // namespace node
