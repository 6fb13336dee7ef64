#include "sim/scenarios/waypoint_fill.hpp"

#include <cmath>

namespace sim {

std::optional<std::vector<common::Pose2D>> fillStraightRuns(
    const std::vector<common::Pose2D>& waypoints, double spacing) {
  double count = waypoints.empty() ? 0.0 : 1.0;
  for (std::size_t i = 1; i < waypoints.size(); ++i) {
    count += std::ceil(common::distanceBetween(waypoints[i - 1], waypoints[i]) / spacing);
  }
  if (!(count <= static_cast<double>(kMaxFilledPoses))) {
    return std::nullopt;
  }
  std::vector<common::Pose2D> poses;
  poses.reserve(static_cast<std::size_t>(count));
  for (std::size_t i = 0; i < waypoints.size(); ++i) {
    if (i > 0) {
      const common::Pose2D& from = waypoints[i - 1];
      const common::Pose2D& to = waypoints[i];
      const int steps = static_cast<int>(std::ceil(common::distanceBetween(from, to) / spacing));
      const double heading = std::atan2(to.y - from.y, to.x - from.x);
      for (int step = 1; step < steps; ++step) {
        const double along = static_cast<double>(step) / steps;
        poses.push_back(
            {from.x + (to.x - from.x) * along, from.y + (to.y - from.y) * along, heading});
      }
    }
    poses.push_back(waypoints[i]);
  }
  return poses;
}

}  // namespace sim
