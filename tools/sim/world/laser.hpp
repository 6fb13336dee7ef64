#pragma once

// The simulated 2D laser scanner mounted on the vehicle: beams over its field of view, each the
// distance to the nearest obstacle with Gaussian noise, and nothing beyond its range.

#include <cstdint>
#include <random>
#include <vector>

#include "common/pose.hpp"
#include "sim/world/outline.hpp"

namespace sim {

struct LaserSettings {
  double range = 10.0;                      // m, the farthest return
  double fieldOfView = 270.0 * M_PI / 180;  // rad, centred on the laser's heading
  double resolution = 0.5 * M_PI / 180;     // rad between beams
  double rate = 20.0;                       // Hz, scans a second
  double noise = 0.0;                       // m, standard deviation of each range
  common::Pose2D mount{};                   // the laser in the vehicle's base frame
};

/// Bounds the beams of a scan (a sensor_msgs/LaserScan of a few thousand is usual).
inline constexpr std::size_t kMaxBeams = 100000;

/// The beams of one scan: field of view over resolution, plus the beam at the far edge.
std::size_t beamCount(const LaserSettings& settings);

class Laser {
 public:
  Laser(const LaserSettings& settings, std::uint64_t noiseSeed);

  /// The ranges (m) of one scan from a vehicle at `vehicle`, first beam at minus half the field
  /// of view; infinity where a beam meets nothing within range.
  std::vector<double> scan(const common::Pose2D& vehicle, const std::vector<Outline>& obstacles);
  /// The returns of `ranges` as points in the vehicle's base frame.
  std::vector<Point2D> pointsOf(const std::vector<double>& ranges) const;

  const LaserSettings& settings() const { return settings_; }

 private:
  double beamAngle(std::size_t beam) const;

  LaserSettings settings_;
  std::mt19937_64 noise_;
  std::normal_distribution<double> gauss_{0.0, 1.0};
};

}  // namespace sim
