#include "node/diagnostics/node_diagnostics.hpp"

#include <fmt/format.h>

namespace node {
namespace {

using Status = diagnostic_msgs::msg::DiagnosticStatus;

struct Summary {
  std::uint8_t level;
  std::string message;
};

std::string legsText(std::size_t legs) {
  return fmt::format("{} leg{}", legs, legs == 1 ? "" : "s");
}

// "a route on /plan", "a goal on /follow_path", or both.
std::string awaited(const NodeStatus& status) {
  const std::string route = fmt::format("a route on {}", status.planTopic);
  if (status.goalAction.empty()) {
    return route;
  }
  const std::string goal = fmt::format("a goal on {}", status.goalAction);
  return status.planTopic.empty() ? goal : goal + " or " + route;
}

std::string refusedPath(const NodeStatus& status) {
  if (!status.goalAction.empty()) {
    return fmt::format("path refused: {}", status.pathRefusal);
  }
  return fmt::format("path on {} refused: {}", status.planTopic, status.pathRefusal);
}

Summary summaryOf(const NodeStatus& status) {
  if (status.bond == "broken") {
    return {Status::ERROR,
            "the bond with the lifecycle manager is broken: the vehicle is stopped until the node "
            "is deactivated and activated again"};
  }
  if (status.poseWriters.size() > 1) {
    std::string writers;
    for (const auto& writer : status.poseWriters) {
      writers += (writers.empty() ? "" : ", ") + writer;
    }
    return {Status::ERROR,
            fmt::format("{} writers publish {} ({}): stopped, the route held until one remains",
                        status.poseWriters.size(), status.poseTopic, writers)};
  }
  if (status.driving && !status.poseAge) {
    return {Status::ERROR,
            fmt::format("driving a route, but no pose has arrived from {}", status.poseTopic)};
  }
  if (status.driving && status.commandSubscribers == 0) {
    return {Status::ERROR,
            fmt::format("driving a route, but nothing subscribes {}", status.commandTopic)};
  }
  if (!status.standingWarnings.empty()) {
    return {Status::WARN, status.standingWarnings.front()};
  }
  if (!status.pathRefusal.empty()) {
    return {Status::WARN, refusedPath(status)};
  }
  if (status.poseAge && *status.poseAge > status.poseTimeout) {
    return {Status::WARN,
            fmt::format("the newest pose from {} is {:.1f} s old, beyond the pose timeout of {} s",
                        status.poseTopic, *status.poseAge, status.poseTimeout)};
  }
  if (!status.poseAge) {
    return {Status::WARN, fmt::format("no pose has arrived from {} yet", status.poseTopic)};
  }
  if (status.commandSubscribers == 0) {
    return {Status::WARN, fmt::format("nothing subscribes {}", status.commandTopic)};
  }
  if (status.driving) {
    return {Status::OK, fmt::format("driving leg {} of {}", status.leg, status.legs)};
  }
  if (status.legs > 0) {
    return {Status::OK, fmt::format("route of {} finished; waiting for {}", legsText(status.legs),
                                    awaited(status))};
  }
  return {Status::OK, fmt::format("waiting for {}", awaited(status))};
}

diagnostic_msgs::msg::KeyValue keyValue(const char* key, std::string value) {
  diagnostic_msgs::msg::KeyValue pair;
  pair.key = key;
  pair.value = std::move(value);
  return pair;
}

}  // namespace

std::string diagnosticName(std::string_view nameSpace, std::string_view nodeName) {
  while (!nameSpace.empty() && nameSpace.front() == '/') {
    nameSpace.remove_prefix(1);
  }
  while (!nameSpace.empty() && nameSpace.back() == '/') {
    nameSpace.remove_suffix(1);
  }
  const std::string node =
      nameSpace.empty() ? std::string(nodeName) : fmt::format("{}/{}", nameSpace, nodeName);
  return node + ": route";
}

diagnostic_msgs::msg::DiagnosticStatus diagnosticStatus(const NodeStatus& status) {
  Summary summary = summaryOf(status);
  Status message;
  message.level = summary.level;
  message.name = diagnosticName(status.nameSpace, status.nodeName);
  message.message = std::move(summary.message);
  message.hardware_id = status.commandTopic;
  const bool route = status.legs > 0;
  std::string leg = "none";
  if (status.driving) {
    leg = fmt::format("{} of {}", status.leg, status.legs);
  } else if (route) {
    leg = "finished";
  }
  message.values = {
      keyValue("route", route ? legsText(status.legs) : "none"),
      keyValue("leg", leg),
      keyValue("state", status.state),
      keyValue("pose age",
               status.poseAge ? fmt::format("{:.2f} s", *status.poseAge) : "no pose so far"),
      keyValue("command subscribers", std::to_string(status.commandSubscribers)),
      keyValue("last warning", status.lastWarning.empty() ? "none" : status.lastWarning),
      keyValue("speed limit", status.speedLimit),
  };
  if (!status.obstacleZone.empty()) {
    message.values.push_back(keyValue("obstacle zone", status.obstacleZone));
    message.values.push_back(keyValue("nearest obstacle", status.nearestObstacle));
    message.values.push_back(keyValue("blocked for", status.blockedFor));
  }
  if (!status.lifecycleState.empty()) {
    message.values.push_back(keyValue("lifecycle state", status.lifecycleState));
    message.values.push_back(keyValue("bond", status.bond));
    message.values.push_back(keyValue("follow_path goal", status.goal));
  }
  return message;
}

diagnostic_msgs::msg::DiagnosticArray diagnosticArray(const NodeStatus& status,
                                                      const builtin_interfaces::msg::Time& stamp) {
  diagnostic_msgs::msg::DiagnosticArray array;
  array.header.stamp = stamp;
  array.status.push_back(diagnosticStatus(status));
  return array;
}

}  // namespace node
