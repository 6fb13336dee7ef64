#pragma once

// The host's clearance check in a run, as a vehicle with a laser scanner runs it: the obstacles
// go on moving, the laser scans at its rate from where the vehicle really is, and each cycle the
// clearance unit (trelvo/clearance.hpp) decides from the latest scan's points and the route ahead
// how much of the command the vehicle may drive.

#include <vector>

#include "common/pose.hpp"
#include "sim/run/run_settings.hpp"
#include "sim/world/laser.hpp"
#include "sim/world/obstacle.hpp"
#include "trelvo/clearance.hpp"
#include "trelvo/route.hpp"

namespace sim {

class ClearanceGuard {
 public:
  ClearanceGuard(const Scenario& scenario, const RunSettings& settings);

  /// Moves the obstacles on to `time` (s) around a vehicle at `pose` (its true pose) and returns
  /// the smallest gap (m) between its footprint and them: 0 or less is contact.
  double measure(double time, const common::Pose2D& pose);
  /// This cycle's decision on `command`: from the laser's latest scan, taken at `time` when one
  /// is due, and the follower's route ahead of `measured`, the pose the host knows.
  trelvo::ClearanceDecision decide(double time, const common::Pose2D& pose,
                                   const common::Pose2D& measured,
                                   const trelvo::RouteFollower& follower,
                                   const trelvo::VelocityCommand& command);

 private:
  const RunSettings& settings_;
  const Outline footprint_;
  ObstacleField field_;
  Laser laser_;
  std::vector<Point2D> points_;  // the latest scan's, in the base frame
  double nextScan_ = 0.0;        // s
};

}  // namespace sim
