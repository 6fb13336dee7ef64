#include "sim/run/scenario_path.hpp"

#include "common/pose_messages.hpp"

namespace sim {

std::vector<common::Pose2D> routePoses(const Scenario& scenario) {
  if (!scenario.waypoints.empty()) {
    return scenario.waypoints;
  }
  return {scenario.start, scenario.goal};
}

nav_msgs::msg::Path routePath(const Scenario& scenario) {
  nav_msgs::msg::Path path;
  for (const common::Pose2D& pose : routePoses(scenario)) {
    path.poses.push_back(common::stampedPose(pose));
  }
  return path;
}

std::vector<trelvo::Leg> routeLegs(const Scenario& scenario) {
  return trelvo::makeLegs(routePath(scenario)).value_or(std::vector<trelvo::Leg>{});
}

double lineDirection(const trelvo::Leg& leg) {
  return std::atan2(leg.end.y - leg.start.y, leg.end.x - leg.start.x);
}

double routeLength(const Scenario& scenario) {
  const std::vector<trelvo::Leg> legs = routeLegs(scenario);
  if (legs.empty()) {
    return 0.0;
  }
  double length =
      common::distanceBetween(scenario.vehicleStart.value_or(scenario.start), legs.front().end);
  for (std::size_t i = 1; i < legs.size(); ++i) {
    length += common::distanceBetween(legs[i].start, legs[i].end);
  }
  return length;
}

}  // namespace sim
