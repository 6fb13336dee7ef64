#pragma once

// The plugins a follow_path goal names, checked as Nav2's controller server checks them before it
// drives: a controller it does not have ends the goal ABORTED with INVALID_CONTROLLER, a goal or
// progress checker it does not have with UNKNOWN. A goal naming none (an empty id) takes the only
// one there is.

#include <optional>
#include <string>
#include <vector>

#include "node/action/follow_path_goals.hpp"

namespace node {

/// The ids the node answers to, as controller_plugins, goal_checker_plugins and
/// progress_checker_plugins name them.
struct GoalPlugins {
  std::vector<std::string> controllers;
  std::vector<std::string> goalCheckers;
  std::vector<std::string> progressCheckers;
};

/// The ids a goal names; Humble's goals name no progress checker.
struct PluginsAsked {
  std::string controller;
  std::string goalChecker;
  std::string progressChecker;
};

struct PluginRefusal {
  FollowPathError error;
  std::string message;  // "Failed to find controller name: NoSuchController", as Nav2's
};

/// Why a goal naming `asked` cannot be driven; nothing when it can.
std::optional<PluginRefusal> pluginRefusal(const GoalPlugins& plugins, const PluginsAsked& asked);

}  // namespace node
