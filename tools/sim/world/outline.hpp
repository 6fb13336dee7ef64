#pragma once

// Outlines in the plane: the vehicle's footprint and the obstacles, each a core of points (one
// point, a segment or a polygon) grown by a radius. A circle is one point with its radius, a box
// four corners with none.

#include <optional>
#include <vector>

#include "common/pose.hpp"
#include "trelvo/clearance.hpp"

namespace sim {

using trelvo::Point2D;

struct Outline {
  std::vector<Point2D> core;  // in order around a polygon
  double radius = 0.0;
};

/// `outline`, given in a frame at `pose`, in the frame `pose` is given in.
Outline placed(const Outline& outline, const common::Pose2D& pose);

/// The vehicle's footprint as an outline; a footprint of radius alone is a circle about the origin.
Outline outlineOf(const trelvo::Footprint& footprint);

/// The gap (m) between two outlines: 0 or less where they touch or overlap.
double gapBetween(const Outline& a, const Outline& b);

/// How far (m) a ray from `origin` along the unit vector `direction` runs before it meets
/// `outline`, a circle (one point) or a polygon whose radius it leaves out, as the obstacles are;
/// nothing when it misses. A ray from inside meets it at once.
std::optional<double> rayHit(const Outline& outline, const Point2D& origin,
                             const Point2D& direction);

}  // namespace sim
