#include "common/route_legs.hpp"

#include <cmath>

#include <tf2/LinearMath/Matrix3x3.h>
#include <tf2/LinearMath/Quaternion.h>

namespace common {
namespace {

struct Point {
  double x;
  double y;
};

bool isUsablePosition(const geometry_msgs::msg::Point& p) {
  return isWithinReach(p.x) && isWithinReach(p.y) && std::isfinite(p.z);
}

bool hasUsablePositions(const nav_msgs::msg::Path& path) {
  for (const auto& pose : path.poses) {
    if (!isUsablePosition(pose.pose.position)) {
      return false;
    }
  }
  return true;
}

// The directions from a leg's start that keep every pose taken so far within the tolerance of
// the leg's line: a pose at distance d allows the directions within asin(tolerance / d) of its
// bearing, and the corridor keeps the intersection of those intervals. Bearings are measured
// from the first pose that constrained it, so that the interval never straddles the +-pi seam.
// A pose must also lie further from the start than the one before: a path that turns back along
// its line starts a new leg.
class Corridor {
 public:
  Corridor(Point start, double tolerance) : start_(start), tolerance_(tolerance) {}

  // Takes the pose into the leg if the leg's line through it still passes every pose before it
  // within the tolerance.
  bool take(Point p) {
    const double distance = std::hypot(p.x - start_.x, p.y - start_.y);
    if (distance <= reached_) {
      return false;
    }
    if (distance > tolerance_) {
      const double bearing = std::atan2(p.y - start_.y, p.x - start_.x);
      const double halfWidth = std::asin(tolerance_ / distance);
      if (!narrowed_) {
        reference_ = bearing;
        low_ = -halfWidth;
        high_ = halfWidth;
        narrowed_ = true;
      } else {
        const double offset = std::remainder(bearing - reference_, 2 * M_PI);
        if (offset < low_ || offset > high_) {
          return false;
        }
        low_ = std::fmax(low_, offset - halfWidth);
        high_ = std::fmin(high_, offset + halfWidth);
      }
    }
    reached_ = distance;
    return true;
  }

 private:
  Point start_;
  double tolerance_;
  double reached_ = 0.0;  // m, the distance of the last pose taken
  bool narrowed_ = false;
  double reference_ = 0.0;
  double low_ = 0.0;
  double high_ = 0.0;
};

// The legs' positions only; headings are set once all legs are known.
std::vector<Leg> straightRuns(const nav_msgs::msg::Path& path, double tolerance) {
  const auto& first = path.poses.front().pose.position;
  Point start{first.x, first.y};
  Point last = start;
  Corridor corridor(start, tolerance);
  std::vector<Leg> legs;
  for (const auto& pose : path.poses) {
    const Point p{pose.pose.position.x, pose.pose.position.y};
    if (std::hypot(p.x - last.x, p.y - last.y) <= kSamePosition) {
      continue;
    }
    if (!corridor.take(p)) {
      legs.push_back({{start.x, start.y, 0.0}, {last.x, last.y, 0.0}});
      start = last;
      corridor = Corridor(start, tolerance);
      corridor.take(p);  // always taken: it lies further from the new start than the start
    }
    last = p;
  }
  legs.push_back({{start.x, start.y, 0.0}, {last.x, last.y, 0.0}});
  return legs;
}

}  // namespace

double goalYaw(const geometry_msgs::msg::Quaternion& q) {
  if (!(std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w))) {
    return NAN;
  }
  if (q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w == 0.0) {
    return 0.0;  // no rotation at all
  }
  double roll = 0.0;
  double pitch = 0.0;
  double yaw = 0.0;
  tf2::Matrix3x3(tf2::Quaternion(q.x, q.y, q.z, q.w)).getRPY(roll, pitch, yaw);
  return yaw;
}

std::optional<std::vector<Leg>> makeLegs(const nav_msgs::msg::Path& path, double cornerTolerance) {
  if (path.poses.empty()) {
    return std::vector<Leg>{};
  }
  const double goalHeading = goalYaw(path.poses.back().pose.orientation);
  if (!std::isfinite(goalHeading) || !hasUsablePositions(path)) {
    return std::nullopt;
  }
  std::vector<Leg> legs = straightRuns(path, cornerTolerance);
  for (Leg& leg : legs) {
    const bool onTheSpot = leg.start.x == leg.end.x && leg.start.y == leg.end.y;
    leg.start.heading =
        onTheSpot ? goalHeading : std::atan2(leg.end.y - leg.start.y, leg.end.x - leg.start.x);
  }
  for (std::size_t i = 0; i + 1 < legs.size(); ++i) {
    legs[i].end.heading = legs[i + 1].start.heading;
  }
  legs.back().end.heading = goalHeading;
  return legs;
}

}  // namespace common
