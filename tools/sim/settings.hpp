#pragma once

// What one simulated run and one batch are made of, as the command line sets them.

#include <cstdint>
#include <optional>
#include <string>

#include "common/pose.hpp"

namespace sim {

enum class VehicleKind {
  /// Kinematic unicycle: applies forward speed and turn rate directly.
  Unicycle,
  /// Two fixed drive wheels `width` apart: the command becomes two wheel speeds and odometry.
  Differential,
};

struct VehicleSettings {
  VehicleKind kind = VehicleKind::Unicycle;
  double width = 0.5;         // m, between the drive wheels (differential only)
  double maxAccel = 0.0;      // m/s^2 on the forward speed, 0 = unlimited
  double maxTurnAccel = 0.0;  // rad/s^2 on the turn rate, 0 = unlimited
  double noiseXY = 0.0;       // m, standard deviation of the measured position
  double noiseHeading = 0.0;  // rad, standard deviation of the measured heading
};

/// Bounds the trace a single run keeps in memory and writes (about 100 bytes a cycle).
inline constexpr double kMaxCyclesPerRun = 1e6;

struct RunSettings {
  double period = 0.05;                 // s, one control cycle
  double timeLimit = 120.0;             // s of simulated time
  double positionTolerance = 0.05;      // m, largest final position error of a success
  double headingTolerance = M_PI / 36;  // rad (5 degrees), largest final heading error
  VehicleSettings vehicle;
};

/// Start and goal pose of one run's path, and the seed of its pose noise.
struct Scenario {
  common::Pose2D start;
  common::Pose2D goal;
  std::uint64_t noiseSeed;
  /// Where the vehicle really starts, when not at the start of the path.
  std::optional<common::Pose2D> vehicleStart = std::nullopt;
};

struct BatchSettings {
  int count;
  double radius;  // m: start and goal lie within this distance of the origin
  std::uint64_t seed;
};

struct Options {
  RunSettings run;
  Scenario scenario;
  std::optional<BatchSettings> batch;
  std::string suiteFile;  // empty: no suite
  std::string junitFile;  // empty: no JUnit report
  int jobs = 1;           // worker processes of a batch or suite
  std::string outputFolder;
  bool plot = true;
};

}  // namespace sim
