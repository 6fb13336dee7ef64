#pragma once

// Poses the vehicle passes along a route ahead, for checks that place points in its path.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "trelvo/clearance.hpp"

namespace trelvo_test {

// A pose the vehicle passes on `route` (corners, no final heading) at most `within` m along it:
// on a leg, or turned part of the way at the corner before it. The picks are in [0, 1).
struct PassedPose {
  double x, y, heading;
};

inline PassedPose poseWithin(const trelvo::RouteAhead& route, double within, double pickLeg,
                             double pickPart) {
  std::vector<PassedPose> starts{{0.0, 0.0, 0.0}};
  std::vector<double> along{0.0};
  for (const trelvo::Point2D corner : route.corners) {
    const PassedPose from = starts.back();
    const double length = std::hypot(corner.x - from.x, corner.y - from.y);
    if (along.back() > within || length == 0.0) {
      break;
    }
    starts.push_back({corner.x, corner.y, std::atan2(corner.y - from.y, corner.x - from.x)});
    along.push_back(along.back() + length);
  }
  if (starts.size() == 1) {
    return starts[0];
  }
  const std::size_t leg = static_cast<std::size_t>(pickLeg * (starts.size() - 1));
  const PassedPose& from = starts[leg];
  const PassedPose& to = starts[leg + 1];
  // The first half of pickPart turns at the leg's start, the second half drives the leg.
  const double turn = std::remainder(to.heading - from.heading, 2 * M_PI);
  if (pickPart < 0.5) {
    return {from.x, from.y, from.heading + turn * pickPart * 2.0};
  }
  const double driven =
      std::min(along[leg + 1] - along[leg], within - along[leg]) * (pickPart - 0.5) * 2.0;
  return {from.x + driven * std::cos(to.heading), from.y + driven * std::sin(to.heading),
          to.heading};
}

/// `local`, a point in the vehicle's frame, seen from the base frame when the vehicle is at `pose`.
inline trelvo::Point2D placedAt(const PassedPose& pose, trelvo::Point2D local) {
  const double c = std::cos(pose.heading);
  const double s = std::sin(pose.heading);
  return {pose.x + c * local.x - s * local.y, pose.y + s * local.x + c * local.y};
}

}  // namespace trelvo_test
