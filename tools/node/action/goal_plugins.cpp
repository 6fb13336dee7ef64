#include "node/action/goal_plugins.hpp"

#include <algorithm>

namespace node {
namespace {

bool found(const std::vector<std::string>& ids, const std::string& asked) {
  if (asked.empty()) {
    return ids.size() == 1;
  }
  return std::find(ids.begin(), ids.end(), asked) != ids.end();
}

}  // namespace

std::optional<PluginRefusal> pluginRefusal(const GoalPlugins& plugins, const PluginsAsked& asked) {
  if (!found(plugins.controllers, asked.controller)) {
    return PluginRefusal{FollowPathError::InvalidController,
                         "Failed to find controller name: " + asked.controller};
  }
  if (!found(plugins.goalCheckers, asked.goalChecker)) {
    return PluginRefusal{FollowPathError::Unknown,
                         "Failed to find goal checker name: " + asked.goalChecker};
  }
  if (!found(plugins.progressCheckers, asked.progressChecker)) {
    return PluginRefusal{FollowPathError::Unknown,
                         "Failed to find progress checker name: " + asked.progressChecker};
  }
  return std::nullopt;
}

}  // namespace node
