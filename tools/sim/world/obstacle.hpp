#pragma once

// The obstacles of a scenario: circles and boxes that stand, or walk along a line at a speed from
// a time, as a person crossing an aisle does. A walker whose way is blocked by the vehicle within
// kWalkerDistance halts, as a person would, and walks on once the way is clear; one that passes
// in front of the vehicle walks on. So any contact is the vehicle's doing.

#include <optional>
#include <vector>

#include "common/pose.hpp"
#include "sim/world/outline.hpp"

namespace sim {

/// How close (m) a walker comes to the vehicle before it halts.
inline constexpr double kWalkerDistance = 0.3;

enum class ObstacleShape { Circle, Box };

/// A straight walk from where the obstacle stands to `to`, at `speed` (m/s), from `from` seconds
/// into the run. At `to` it stands again.
struct Walk {
  Point2D to;
  double speed;
  double from;
};

struct Obstacle {
  ObstacleShape shape = ObstacleShape::Circle;
  double radius = 0.0;  // m, a circle's
  double length = 0.0;  // m, a box's side along its heading
  double width = 0.0;   // m, a box's side across it
  common::Pose2D at{};  // where it stands first; a box's centre and heading
  std::optional<Walk> walk;
};

/// The obstacle's outline with its centre at `centre`.
Outline outlineAt(const Obstacle& obstacle, const Point2D& centre);

/// The obstacles as the run goes on: where each walker has got to.
class ObstacleField {
 public:
  explicit ObstacleField(std::vector<Obstacle> obstacles);

  /// Walks each walker on to `time` (s), halting it where its way ahead meets `vehicle` (the
  /// footprint where it stands) within kWalkerDistance.
  void advance(double time, const Outline& vehicle);

  /// Each obstacle's outline where it is now.
  const std::vector<Outline>& outlines() const { return outlines_; }
  /// The smallest gap (m) between `vehicle` and any obstacle; infinity without obstacles.
  double clearance(const Outline& vehicle) const;

 private:
  std::vector<Obstacle> obstacles_;
  std::vector<double> walked_;  // m along each walk
  std::vector<Outline> outlines_;
  double time_ = 0.0;
};

}  // namespace sim
