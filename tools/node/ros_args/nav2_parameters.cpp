#include "node/ros_args/nav2_parameters.hpp"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace node {
namespace {

constexpr std::array<std::string_view, 2> kGoalCheckerSettings = {"xy_goal_tolerance",
                                                                  "yaw_goal_tolerance"};
constexpr std::array<std::string_view, 2> kProgressCheckerSettings = {"required_movement_radius",
                                                                      "movement_time_allowance"};

// The controller server's own parameters the node has no counterpart for, and why.
constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kServerIgnored = {{
    {"min_x_velocity_threshold", "the route's commands are used as they are"},
    {"min_y_velocity_threshold", "the route's commands are used as they are"},
    {"min_theta_velocity_threshold", "the route's commands are used as they are"},
    {"odom_topic", "odometry comes from --odom-topic"},
    {"progress_checker_plugin", "Humble's single progress checker: see progress_checker_plugins"},
    {"goal_checker_plugin", "see goal_checker_plugins"},
    {"use_realtime_priority", "see --realtime-priority"},
    {"speed_limit_topic", "the speed limit is read on speed_limit"},
    {"enable_stamped_cmd_vel", "see --stamped"},
}};

// A plugin's settings: the node's own controller drives every goal, its route's end is the goal
// checker and its stall watch the progress checker.
constexpr std::string_view kPluginIgnored = "the node's own controller drives every goal";

bool listed(const std::vector<std::string>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

template <std::size_t N>
bool among(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::optional<std::string> nav2OptionParameter(const std::string& parameter,
                                               const CheckerPlugins& plugins) {
  const auto dot = parameter.find('.');
  if (dot == std::string::npos) {
    return std::nullopt;
  }
  const std::string plugin = parameter.substr(0, dot);
  const std::string setting = parameter.substr(dot + 1);
  if ((listed(plugins.goalCheckers, plugin) && among(kGoalCheckerSettings, setting)) ||
      (listed(plugins.progressCheckers, plugin) && among(kProgressCheckerSettings, setting))) {
    return setting;
  }
  return std::nullopt;
}

std::optional<std::string> nav2IgnoredReason(const std::string& parameter) {
  for (const auto& [name, why] : kServerIgnored) {
    if (parameter == name) {
      return std::string(why);
    }
  }
  const auto dot = parameter.find('.');
  if (dot == std::string::npos) {
    return std::nullopt;
  }
  const std::string_view setting = std::string_view(parameter).substr(dot + 1);
  if (among(kGoalCheckerSettings, setting) || among(kProgressCheckerSettings, setting)) {
    return parameter.substr(0, dot) + " is none of the node's checker plugins";
  }
  return std::string(kPluginIgnored);
}

}  // namespace node
