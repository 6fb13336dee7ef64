#include "trelvo/route.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include <fmt/format.h>
#include <tf2/LinearMath/Matrix3x3.h>
#include <tf2/LinearMath/Quaternion.h>

namespace trelvo {
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

double distanceToSegment(Point p, const Leg& leg) {
  const double dx = leg.end.x - leg.start.x;
  const double dy = leg.end.y - leg.start.y;
  const double lengthSquared = dx * dx + dy * dy;
  const double along = lengthSquared == 0.0
                           ? 0.0
                           : ((p.x - leg.start.x) * dx + (p.y - leg.start.y) * dy) / lengthSquared;
  const double t = std::clamp(along, 0.0, 1.0);
  return std::hypot(p.x - (leg.start.x + t * dx), p.y - (leg.start.y + t * dy));
}

double length(const Leg& leg) {
  return std::hypot(leg.end.x - leg.start.x, leg.end.y - leg.start.y);
}

// The legs' positions only; headings are set once all legs are known. A leg is never cut off
// shorter than the tolerance: every pose it took lies within the tolerance of its start, and so of
// any leg from there, and the corridor starts afresh from the same start. Only the last leg can be
// that short. `firstLegPoses` receives how many poses the first leg covers.
std::vector<Leg> straightRuns(const nav_msgs::msg::Path& path, double tolerance,
                              std::size_t& firstLegPoses) {
  const auto& first = path.poses.front().pose.position;
  Point start{first.x, first.y};
  Point last = start;
  Corridor corridor(start, tolerance);
  std::vector<Leg> legs;
  firstLegPoses = path.poses.size();
  for (std::size_t i = 0; i < path.poses.size(); ++i) {
    const auto& position = path.poses[i].pose.position;
    const Point p{position.x, position.y};
    if (std::hypot(p.x - last.x, p.y - last.y) <= kSamePosition) {
      continue;
    }
    if (!corridor.take(p)) {
      if (std::hypot(last.x - start.x, last.y - start.y) >= tolerance) {
        if (legs.empty()) {
          firstLegPoses = i;
        }
        legs.push_back({{start.x, start.y, 0.0}, {last.x, last.y, 0.0}});
        start = last;
      }
      corridor = Corridor(start, tolerance);
      corridor.take(p);
    }
    last = p;
  }
  legs.push_back({{start.x, start.y, 0.0}, {last.x, last.y, 0.0}});
  return legs;
}

// A last leg shorter than the tolerance is a jog at the goal: the leg before goes on to the goal.
void mergeShortLastLeg(std::vector<Leg>& legs, double tolerance) {
  while (legs.size() > 1 && length(legs.back()) < tolerance) {
    const Point goal{legs.back().end.x, legs.back().end.y};
    legs.pop_back();
    legs.back().end.x = goal.x;
    legs.back().end.y = goal.y;
  }
}

// A planner that replans from where the vehicle stands, measured with some noise, often starts its
// path with a jog of a few centimetres back to the line it drives. Such a first leg, shorter than
// kShortFirstLeg tolerances, is dropped when every one of its poses lies within the tolerance of
// the next leg: the vehicle goes straight on to the next corner instead of turning round twice.
constexpr double kShortFirstLeg = 2.0;

void dropJogAtTheStart(const nav_msgs::msg::Path& path, std::size_t firstLegPoses,
                       std::vector<Leg>& legs, double tolerance) {
  if (legs.size() < 2 || length(legs.front()) >= kShortFirstLeg * tolerance) {
    return;
  }
  for (std::size_t i = 0; i < firstLegPoses; ++i) {
    const auto& position = path.poses[i].pose.position;
    if (distanceToSegment({position.x, position.y}, legs[1]) > tolerance) {
      return;
    }
  }
  legs.erase(legs.begin());
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

std::string positionProblem(double x, double y, double z) {
  const std::pair<const char*, double> coordinates[] = {{"x", x}, {"y", y}, {"z", z}};
  for (const auto& [name, value] : coordinates) {
    if (!std::isfinite(value)) {
      return fmt::format("{} = {} is not finite", name, value);
    }
  }
  for (const auto& [name, value] : {coordinates[0], coordinates[1]}) {
    if (!isWithinReach(value)) {
      return fmt::format("{} = {} m lies beyond {} m", name, value, kLargestCoordinate);
    }
  }
  return {};
}

std::string refusalReason(const nav_msgs::msg::Path& path) {
  const std::size_t count = path.poses.size();
  for (std::size_t i = 0; i < count; ++i) {
    const auto& p = path.poses[i].pose.position;
    const std::string problem = positionProblem(p.x, p.y, p.z);
    if (!problem.empty()) {
      return fmt::format("pose {} of {}: {}", i + 1, count, problem);
    }
  }
  if (count > 0 && !std::isfinite(goalYaw(path.poses.back().pose.orientation))) {
    const auto& q = path.poses.back().pose.orientation;
    return fmt::format("the goal orientation ({}, {}, {}, {}) gives no heading", q.x, q.y, q.z,
                       q.w);
  }
  return {};
}

std::optional<std::vector<Leg>> makeLegs(const nav_msgs::msg::Path& path, double cornerTolerance) {
  if (path.poses.empty()) {
    return std::vector<Leg>{};
  }
  const double goalHeading = goalYaw(path.poses.back().pose.orientation);
  if (!std::isfinite(goalHeading) || !hasUsablePositions(path)) {
    return std::nullopt;
  }
  std::size_t firstLegPoses = 0;
  std::vector<Leg> legs = straightRuns(path, cornerTolerance, firstLegPoses);
  mergeShortLastLeg(legs, cornerTolerance);
  dropJogAtTheStart(path, firstLegPoses, legs, cornerTolerance);
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

}  // namespace trelvo
