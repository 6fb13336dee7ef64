#pragma once

// Planar poses and the angle arithmetic every host program shares.

#include <cmath>

#include "trelvo/route.hpp"

namespace common {

/// A vehicle pose in the plane: position in metres, heading in radians (counter-clockwise from x),
/// as routes take it.
using Pose2D = trelvo::Pose2D;

/// The angle wrapped into [-pi, pi].
inline double wrapAngle(double radians) {
  return std::remainder(radians, 2.0 * M_PI);
}
inline double toDegrees(double radians) {
  return radians / M_PI * 180.0;
}
inline double toRadians(double degrees) {
  return degrees / 180.0 * M_PI;
}

inline double distanceBetween(const Pose2D& a, const Pose2D& b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

/// Signed distance of `p` from the line from `from` to `to`, positive to the left of travel. A
/// line of zero length has no direction: the distance to its point is returned.
inline double crossTrackError(const Pose2D& p, const Pose2D& from, const Pose2D& to) {
  const double length = distanceBetween(from, to);
  if (length == 0.0) {
    return distanceBetween(p, from);
  }
  return ((to.x - from.x) * (p.y - from.y) - (to.y - from.y) * (p.x - from.x)) / length;
}

}  // namespace common
