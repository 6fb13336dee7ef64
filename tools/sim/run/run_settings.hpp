#pragma once

// What one simulated run is made of: its path, its vehicle and its limits.

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/pose.hpp"
#include "common/vehicle_settings.hpp"
#include "sim/world/laser.hpp"
#include "sim/world/obstacle.hpp"
#include "trelvo/clearance.hpp"

namespace sim {

/// Bounds the trace a single run keeps in memory and writes (about 100 bytes a cycle).
inline constexpr double kMaxCyclesPerRun = 1e6;

/// The controller calls a vehicle arrived that stands within 0.05 m of the goal in x and in y (the
/// box of its near-station test). A run it reports finished there must not fail on position, so
/// the default tolerance reaches the box's corners.
inline constexpr double kStationBoxCorner = 0.05 * M_SQRT2;  // m

/// A round vehicle of this radius (m) unless a footprint is given.
inline constexpr double kDefaultFootprintRadius = 0.3;

struct RunSettings {
  double period = 0.05;                          // s, one control cycle
  double timeLimit = 120.0;                      // s of simulated time
  double positionTolerance = kStationBoxCorner;  // m, largest final position error of a success
  double headingTolerance = M_PI / 36;           // rad (5 degrees), largest final heading error
  common::VehicleSettings vehicle;
  /// The vehicle's outline, which must keep clear of the obstacles.
  trelvo::Footprint footprint{{}, kDefaultFootprintRadius};
  LaserSettings laser;
  trelvo::ClearanceSettings clearance;
};

/// Start and goal pose of one run's path, and the seed of its pose noise.
struct Scenario {
  common::Pose2D start;
  common::Pose2D goal;
  std::uint64_t noiseSeed;
  /// Where the vehicle really starts, when not at the start of the path.
  std::optional<common::Pose2D> vehicleStart = std::nullopt;
  /// A route of many poses, as a planner hands it out; empty for the route start -> goal. Its
  /// first pose is then the start, its last the goal. The route unit makes straight legs of it:
  /// a leg faces along its line, so the headings in between are not used.
  std::vector<common::Pose2D> waypoints = {};
  std::vector<Obstacle> obstacles = {};
};

}  // namespace sim
