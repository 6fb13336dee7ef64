#include "trelvo/route.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace trelvo {
namespace {

double distanceBetween(const Pose2D& a, const Pose2D& b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

double wrapAngle(double radians) {
  return std::remainder(radians, 2.0 * M_PI);
}

geometry_msgs::msg::PoseStamped stampedPose(const Pose2D& pose) {
  geometry_msgs::msg::PoseStamped stamped;
  stamped.pose.position.x = pose.x;
  stamped.pose.position.y = pose.y;
  stamped.pose.orientation.z = std::sin(pose.heading / 2);
  stamped.pose.orientation.w = std::cos(pose.heading / 2);
  return stamped;
}

// The controller's path for one leg. The controller reads a path from the origin to the origin
// as no path at all, so a turn on the spot there starts kSamePosition behind its point; the
// controller starts its line where the vehicle stands, so the start only places the displayed
// look-ahead.
nav_msgs::msg::Path controllerPath(const Leg& leg) {
  Pose2D start = leg.start;
  if (start.x == 0.0 && start.y == 0.0 && leg.end.x == 0.0 && leg.end.y == 0.0) {
    start.x -= kSamePosition * std::cos(leg.end.heading);
    start.y -= kSamePosition * std::sin(leg.end.heading);
  }
  nav_msgs::msg::Path path;
  path.poses.push_back(stampedPose(start));
  path.poses.push_back(stampedPose(leg.end));
  return path;
}

double distanceToSegment(const Pose2D& p, const Leg& leg) {
  const double dx = leg.end.x - leg.start.x;
  const double dy = leg.end.y - leg.start.y;
  const double lengthSquared = dx * dx + dy * dy;
  if (lengthSquared == 0.0) {
    return distanceBetween(p, leg.start);
  }
  const double along = ((p.x - leg.start.x) * dx + (p.y - leg.start.y) * dy) / lengthSquared;
  const double t = std::clamp(along, 0.0, 1.0);
  return std::hypot(p.x - (leg.start.x + t * dx), p.y - (leg.start.y + t * dy));
}

// Whether `path` only repeats the route from leg `current` on: its legs, aligned with the
// route's from the end, end where the route's do, and start where they start, except the one
// aligned with the current leg, which may start anywhere along it (a planner replans from where
// the vehicle stands). Legs already driven may be repeated too, and the current leg may be left
// out when the path starts at its end (a replan from a vehicle at the corner). Once the route has
// finished, its last leg counts as the current one.
bool repeatsRoute(const std::vector<Leg>& path, const std::vector<Leg>& route, std::size_t current,
                  double tolerance) {
  if (route.empty() || path.empty() || path.size() > route.size()) {
    return false;
  }
  current = std::min(current, route.size() - 1);
  const std::size_t offset = route.size() - path.size();
  if (offset > current + 1) {
    return false;  // the path leaves out a leg still to drive
  }
  for (std::size_t i = 0; i < path.size(); ++i) {
    const Leg& leg = route[offset + i];
    const double startMiss = offset + i == current ? distanceToSegment(path[i].start, leg)
                                                   : distanceBetween(path[i].start, leg.start);
    if (startMiss > tolerance || distanceBetween(path[i].end, leg.end) > tolerance) {
      return false;
    }
  }
  return std::fabs(wrapAngle(path.back().end.heading - route.back().end.heading)) <=
         kGoalHeadingMatch;
}

}  // namespace

RouteFollower::RouteFollower(double cornerTolerance) : cornerTolerance_(cornerTolerance) {}

PathReception RouteFollower::receivePath(const nav_msgs::msg::Path& path) {
  if (path.poses.empty()) {
    pending_ = Pending{true, std::nullopt};
    return PathReception::Stopped;
  }
  std::optional<std::vector<Leg>> legs = makeLegs(path, cornerTolerance_);
  if (!legs) {
    return PathReception::Refused;
  }
  if (pending_.route && repeatsRoute(*legs, *pending_.route, 0, cornerTolerance_)) {
    return PathReception::Unchanged;
  }
  if (repeatsRoute(*legs, legs_, legIndex_, cornerTolerance_)) {
    pending_ = Pending{};  // the latest path is the route under way: nothing else happens
    return PathReception::Unchanged;
  }
  pending_ = Pending{false, std::move(legs)};
  pendingGoalOrientation_ = path.poses.back().pose.orientation;
  return PathReception::Taken;
}

RouteEvent RouteFollower::applyPending() {
  if (pending_.stop) {
    pending_ = Pending{};
    const bool wasDriving = driving();
    legs_.clear();
    legIndex_ = 0;
    holdStill();
    return wasDriving ? RouteEvent::Stopped : RouteEvent::None;
  }
  if (pending_.route) {
    legs_ = std::move(*pending_.route);
    goalOrientation_ = pendingGoalOrientation_;
    pending_ = Pending{};
    legIndex_ = 0;
    legBegun_ = false;
    return RouteEvent::RouteStarted;
  }
  return RouteEvent::None;
}

void RouteFollower::holdStill() {
  // The controller hands out the command it stored in the cycle before: one computed from a pose
  // that no longer holds.
  controller_.velPublisher(0.0, 0.0);
}

void RouteFollower::beginLeg() {
  controller_.init();
  holdStill();  // a leg replaced midway must not start with the old leg's command
  nav_msgs::msg::Path path = controllerPath(legs_[legIndex_]);
  if (legIndex_ + 1 == legs_.size()) {
    // The goal orientation as it came: the controller takes the same goal heading from it as it
    // would from the planner's path, where one converted to a heading and back could differ in
    // its last bits.
    path.poses.back().pose.orientation = goalOrientation_;
  }
  controller_.setStraightCB(path);
  legBegun_ = true;
}

RouteEvent RouteFollower::cycle(const geometry_msgs::msg::PoseStamped& pose,
                                geometry_msgs::msg::Twist& cmd) {
  const RouteEvent event = applyPending();
  if (!driving()) {
    cmd = geometry_msgs::msg::Twist{};
    return event;
  }
  if (!legBegun_) {
    beginLeg();
  }
  if (!controller_.getVelocityCommands(pose, cmd)) {
    return event;
  }
  // The finishing call still hands out the last turn command; the stop is the stored zero.
  cmd = controller_.cmdVel;
  ++legIndex_;
  legBegun_ = false;
  return driving() ? RouteEvent::LegReached : RouteEvent::RouteFinished;
}

}  // namespace trelvo
