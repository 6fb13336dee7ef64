#pragma once

// The DDS vehicle's route (--waypoints): hands the route out as a path once a navigation host
// listens on plan, reports where the vehicle is while it drives, and tells when the route ends:
// the vehicle stands at the last waypoint, or the time limit has passed.

#include <cstdio>
#include <optional>
#include <vector>

#include "common/pose.hpp"
#include "sim/modes/vehicle_topics.hpp"
#include "sim/run/live_vehicle.hpp"
#include "sim/run/run_settings.hpp"

namespace sim {

class RouteWatch {
 public:
  RouteWatch(std::vector<common::Pose2D> route, const RunSettings& settings,
             LiveVehicle::Clock::time_point started, std::FILE* out);

  /// One step of the vehicle at `now`: the exit status once the route has ended.
  std::optional<int> check(VehicleTopics& topics, const LiveVehicle& vehicle,
                           LiveVehicle::Clock::time_point now);

 private:
  void publishPlanOnceListened(VehicleTopics& topics);
  void reportProgress(const LiveVehicle& vehicle, double elapsed);
  int finish(const common::Pose2D& pose, double elapsed, bool reached);

  std::vector<common::Pose2D> route_;
  RunSettings settings_;
  LiveVehicle::Clock::time_point started_;
  std::FILE* out_;
  bool published_ = false;
  std::optional<common::Pose2D> reported_;  // the pose of the latest progress line
  double reportedAt_ = 0.0;                 // s since the start
};

}  // namespace sim
