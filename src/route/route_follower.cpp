#include "trelvo/route.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
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

// Both the route's corner and a replan's may lie up to the tolerance from the planner's own
// corner: the two match within twice the tolerance.
constexpr double kCornerMatch = 2.0;
// rad: the controller's first turn ends at once within this of the line's direction.
constexpr double kFirstTurnTolerance = 5.0 * M_PI / 180.0;

bool sameLegs(const std::vector<Leg>& a, const std::vector<Leg>& b, double tolerance) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (distanceBetween(a[i].start, b[i].start) > tolerance ||
        distanceBetween(a[i].end, b[i].end) > tolerance) {
      return false;
    }
  }
  return std::fabs(wrapAngle(a.back().end.heading - b.back().end.heading)) <= kGoalHeadingMatch;
}

bool sameGoal(const Leg& a, const Leg& b, double tolerance) {
  return distanceBetween(a.end, b.end) <= tolerance &&
         std::fabs(wrapAngle(a.end.heading - b.end.heading)) <= kGoalHeadingMatch;
}

Pose2D positionOf(const geometry_msgs::msg::PoseStamped& pose) {
  return {pose.pose.position.x, pose.pose.position.y, 0.0};
}

// Where the route's legs from `current` on come again at the end of `path`: the index in `path`
// of the first leg after the one that repeats leg `current`. The legs are aligned from the goal;
// each ends within `match` of the route's leg and starts within `match` of its start, but the one
// aligned with the current leg, which may start anywhere along it (a planner replans from where
// the vehicle stands). Legs already driven may be repeated too, and the current leg left out when
// the path starts at its end (a replan from a vehicle at the corner). Alignment from the goal
// keeps apart the legs of a path that runs back and forth over itself.
std::optional<std::size_t> legsAfterCurrent(const std::vector<Leg>& path,
                                            const std::vector<Leg>& route, std::size_t current,
                                            double match) {
  if (path.size() > route.size() || route.size() - path.size() > current + 1) {
    return std::nullopt;
  }
  const std::size_t offset = route.size() - path.size();
  for (std::size_t i = 0; i < path.size(); ++i) {
    const Leg& leg = route[offset + i];
    const double startMiss = offset + i == current ? distanceToSegment(path[i].start, leg)
                                                   : distanceBetween(path[i].start, leg.start);
    if (startMiss > match || distanceBetween(path[i].end, leg.end) > match) {
      return std::nullopt;
    }
  }
  return current + 1 - offset;
}

// The legs from the first that ends further than `match` from `corner`: those before only lead
// back to it.
std::vector<Leg> legsFrom(const std::vector<Leg>& legs, const Pose2D& corner, double match) {
  const auto next = std::find_if(legs.begin(), legs.end(), [&](const Leg& leg) {
    return distanceBetween(leg.end, corner) > match;
  });
  return {next, legs.end()};
}

bool sameDirection(const Pose2D& fromA, const Pose2D& toA, const Leg& b) {
  return (toA.x - fromA.x) * (b.end.x - b.start.x) + (toA.y - fromA.y) * (b.end.y - b.start.y) >
         0.0;
}

// The first pose of the path's stretch (a pose to the next) nearest the point among those that
// run the way `leg` does, and its distance (m) from the point; infinite when none does. Of two
// equally near, the later: a path that passes one place twice the same way is on its later pass
// once the vehicle drove the earlier.
std::pair<std::size_t, double> nearestStretch(const nav_msgs::msg::Path& path, const Pose2D& p,
                                              const Leg& leg) {
  std::size_t nearest = 0;
  double miss = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i + 1 < path.poses.size(); ++i) {
    const Leg stretch{positionOf(path.poses[i]), positionOf(path.poses[i + 1])};
    if (!sameDirection(stretch.start, stretch.end, leg)) {
      continue;
    }
    const double d = distanceToSegment(p, stretch);
    if (d <= miss) {
      miss = d;
      nearest = i;
    }
  }
  return {nearest, miss};
}

// The route under way, as a path received is matched against it.
struct RouteUnderWay {
  const std::vector<Leg>& legs;
  std::size_t current;  // the leg under way
  const Pose2D& vehicle;
  double tolerance;
  double cornerMatch() const { return kCornerMatch * tolerance; }
};

// The legs a path that continues the route under way leaves to drive after the leg under way.
struct Continuation {
  std::vector<Leg> after;
};

// A path to the goal of a finished route, with the vehicle standing there: nothing more to drive.
std::optional<Continuation> stillAtTheGoal(const RouteUnderWay& route) {
  if (distanceBetween(route.vehicle, route.legs.back().end) <= route.cornerMatch()) {
    return Continuation{};
  }
  return std::nullopt;
}

// The path repeats the legs from the one under way on, that leg from anywhere along it.
std::optional<Continuation> repeatsTheLegsAhead(const RouteUnderWay& route,
                                                const nav_msgs::msg::Path&,
                                                const std::vector<Leg>& legs) {
  if (const auto next = legsAfterCurrent(legs, route.legs, route.current, route.cornerMatch())) {
    return Continuation{{legs.begin() + static_cast<std::ptrdiff_t>(*next), legs.end()}};
  }
  return std::nullopt;
}

// The path's poses from where it passes the vehicle, while they stay within the corridor of the
// line of the leg under way: the one furthest along that line is the path's corner. When it lies
// as far along as the leg's corner (a vehicle at a noisy corner sees the replan's first poses
// beside it), the leg goes on and the legs of the rest of the path follow it. Poses, not the
// path's legs: a grid planner's stair-step with some noise, replanned from a vehicle a little
// beside its middle, can come out as many legs.
std::optional<Continuation> runsThroughTheCorridor(const RouteUnderWay& route,
                                                   const nav_msgs::msg::Path& path,
                                                   const std::vector<Leg>&) {
  const Leg& current = route.legs[route.current];
  const auto [passing, miss] = nearestStretch(path, route.vehicle, current);
  const double length = distanceBetween(current.start, current.end);
  if (!(miss <= route.tolerance && length > 0.0)) {
    return std::nullopt;
  }
  const double ux = (current.end.x - current.start.x) / length;
  const double uy = (current.end.y - current.start.y) / length;
  std::size_t atCorner = passing + 1;
  double furthest = -std::numeric_limits<double>::infinity();
  for (std::size_t i = passing + 1; i < path.poses.size(); ++i) {
    const Pose2D p = positionOf(path.poses[i]);
    const double dx = p.x - current.start.x;
    const double dy = p.y - current.start.y;
    if (std::fabs(dx * uy - dy * ux) > route.cornerMatch()) {
      break;
    }
    if (dx * ux + dy * uy > furthest) {
      furthest = dx * ux + dy * uy;
      atCorner = i;
    }
  }
  if (!(std::fabs(furthest - length) <= route.cornerMatch())) {
    return std::nullopt;
  }
  nav_msgs::msg::Path rest;
  rest.poses.assign(path.poses.begin() + static_cast<std::ptrdiff_t>(atCorner), path.poses.end());
  const std::vector<Leg> after = makeLegs(rest, route.tolerance).value_or(std::vector<Leg>{});
  return Continuation{legsFrom(after, current.end, route.cornerMatch())};
}

// A path from a vehicle at the corner of the leg under way (turning there, say): its legs follow
// that leg, but for any that only lead back to the corner.
std::optional<Continuation> leavesFromTheCorner(const RouteUnderWay& route,
                                                const nav_msgs::msg::Path&,
                                                const std::vector<Leg>& legs) {
  const Pose2D& corner = route.legs[route.current].end;
  if (distanceBetween(route.vehicle, corner) <= route.cornerMatch() &&
      distanceBetween(route.vehicle, legs.front().start) <= route.tolerance) {
    return Continuation{legsFrom(legs, corner, route.cornerMatch())};
  }
  return std::nullopt;
}

}  // namespace

RouteFollower::RouteFollower(double cornerTolerance) : cornerTolerance_(cornerTolerance) {}

PathReception RouteFollower::receivePath(const nav_msgs::msg::Path& path) {
  if (path.poses.empty()) {
    pending_ = Pending{};
    pending_.stop = true;
    return PathReception::Stopped;
  }
  std::optional<std::vector<Leg>> legs = makeLegs(path, cornerTolerance_);
  if (!legs) {
    return PathReception::Refused;
  }
  if (pending_.route && sameLegs(*legs, *pending_.route, cornerTolerance_)) {
    return PathReception::Unchanged;
  }
  pendingGoalOrientation_ = path.poses.back().pose.orientation;
  if (std::optional<Replan> replan = continuation(path, *legs)) {
    // The latest path is the route under way: a new route received before it is dropped.
    pending_ = Pending{};
    pending_.replan = std::move(replan);
    return PathReception::Unchanged;
  }
  pending_ = Pending{};
  pending_.route = std::move(legs);
  return PathReception::Taken;
}

std::optional<RouteFollower::Replan> RouteFollower::continuation(
    const nav_msgs::msg::Path& path, const std::vector<Leg>& legs) const {
  if (legs_.empty() || !vehicle_ || !sameGoal(legs.back(), legs_.back(), cornerTolerance_)) {
    return std::nullopt;
  }
  const RouteUnderWay route{legs_, legIndex_, *vehicle_, cornerTolerance_};
  // Each rule keeps the leg under way and says which legs follow it.
  const auto asReplan = [](std::optional<Continuation> continued) -> std::optional<Replan> {
    if (!continued) {
      return std::nullopt;
    }
    return Replan{std::move(continued->after), true};
  };
  if (!driving()) {
    return asReplan(stillAtTheGoal(route));
  }
  for (const auto rule : {repeatsTheLegsAhead, runsThroughTheCorridor, leavesFromTheCorner}) {
    if (auto continued = rule(route, path, legs)) {
      return asReplan(std::move(continued));
    }
  }
  // The corner moved: the path's leg through the vehicle replaces the leg under way if the
  // vehicle can drive on along it; otherwise the path is a new route.
  for (std::size_t i = 0; i < legs.size(); ++i) {
    if (distanceToSegment(route.vehicle, legs[i]) <= cornerTolerance_) {
      if (!drivesOnInto(legs[i])) {
        return std::nullopt;
      }
      return Replan{{legs.begin() + static_cast<std::ptrdiff_t>(i), legs.end()}, false};
    }
  }
  return std::nullopt;
}

bool RouteFollower::drivesOnInto(const Leg& leg) const {
  if (!vehicle_ || !legBegun_ || !driving() || controller_.step != Controller::kLineMove) {
    return false;
  }
  const Pose2D& vehicle = *vehicle_;
  const double direction = std::atan2(leg.end.y - vehicle.y, leg.end.x - vehicle.x);
  // NaN for an orientation without a heading, which then fails the comparison.
  const double heading = goalYaw(vehicleOrientation_);
  return distanceToSegment(vehicle, leg) <= cornerTolerance_ &&
         distanceBetween(vehicle, leg.end) >= kCornerMatch * cornerTolerance_ &&
         std::fabs(wrapAngle(direction - heading)) < kFirstTurnTolerance;
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
  if (pending_.replan) {
    Replan replan = std::move(*pending_.replan);
    pending_ = Pending{};
    if (driving()) {
      spliceIn(std::move(replan));
    }
    return RouteEvent::None;
  }
  if (pending_.route) {
    start_ = drivesOnInto(pending_.route->front()) ? LegStart::DriveOn : LegStart::FromRest;
    legs_ = std::move(*pending_.route);
    goalOrientation_ = pendingGoalOrientation_;
    pending_ = Pending{};
    legIndex_ = 0;
    legBegun_ = false;
    return RouteEvent::RouteStarted;
  }
  return RouteEvent::None;
}

void RouteFollower::spliceIn(Replan replan) {
  if (!replan.legs.empty()) {
    goalOrientation_ = pendingGoalOrientation_;
  }
  const bool drivesOn = !replan.keepsLeg && drivesOnInto(replan.legs.front());
  legs_.resize(legIndex_ + (replan.keepsLeg ? 1 : 0));
  legs_.insert(legs_.end(), replan.legs.begin(), replan.legs.end());
  if (replan.keepsLeg) {
    return;
  }
  if (drivesOn) {
    // The line move goes on from where it began, towards the new leg's end.
    controller_.setStraightCB(legPath());
  } else {
    start_ = LegStart::FromRest;
    legBegun_ = false;
  }
}

void RouteFollower::holdStill() {
  // The controller hands out the command it stored in the cycle before: one computed from a pose
  // that no longer holds.
  controller_.velPublisher(0.0, 0.0);
}

nav_msgs::msg::Path RouteFollower::legPath() const {
  nav_msgs::msg::Path path = controllerPath(legs_[legIndex_]);
  if (legIndex_ + 1 == legs_.size()) {
    // The goal orientation as it came: the controller takes the same goal heading from it as it
    // would from the planner's path, where one converted to a heading and back could differ in
    // its last bits.
    path.poses.back().pose.orientation = goalOrientation_;
  }
  return path;
}

void RouteFollower::beginLeg() {
  controller_.init();
  controller_.setStraightCB(legPath());
  if (start_ == LegStart::DriveOn) {
    // The vehicle already drives along the new leg: its first turn would end at once, with a
    // stop. The run starts in its line move instead, whose first cycle starts the line where the
    // vehicle stands, and the command of the cycle before is handed out as the next one.
    controller_.step = Controller::kLineMove;
    controller_.coutt = 1;
  } else {
    holdStill();  // a leg replaced midway must not start with the old leg's command
  }
  start_ = LegStart::FromRest;
  legBegun_ = true;
}

RouteEvent RouteFollower::cycle(const geometry_msgs::msg::PoseStamped& pose,
                                geometry_msgs::msg::Twist& cmd) {
  const auto& position = pose.pose.position;
  if (std::isfinite(position.x) && std::isfinite(position.y)) {
    vehicle_ = positionOf(pose);
    vehicleOrientation_ = pose.pose.orientation;
  }
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
