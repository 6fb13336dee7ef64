#pragma once

// Drives a route leg by leg through one Controller: each leg is one controller run, a turn on the
// spot, the straight line and a turn to face the next leg (or the goal heading on the last one).
//
// Usage, once per control cycle:
//   follower.receivePath(path);             // whenever a path arrives; log the reception
//   event = follower.cycle(pose, cmd);      // log the event, send cmd

#include <cstddef>
#include <optional>
#include <vector>

#include <geometry_msgs/msg/pose_stamped.hpp>
#include <geometry_msgs/msg/twist.hpp>
#include <nav_msgs/msg/path.hpp>

#include "common/pose.hpp"
#include "common/route_legs.hpp"
#include "trelvo/controller.hpp"

namespace common {

/// A resent path keeps the route only if its goal heading is within this of the route's (rad).
inline constexpr double kGoalHeadingMatch = M_PI / 180.0;

/// What receivePath made of a path.
enum class PathReception {
  Taken,      // a new route, driven from the next cycle
  Unchanged,  // the route already under way (or finished), resent or replanned from the vehicle
  Stopped,    // an empty path: the route ends at the next cycle
  Refused,    // a path the controller cannot drive: the route goes on as before
};

/// What a cycle did besides driving.
enum class RouteEvent {
  None,
  RouteStarted,   // a taken path became the route; its first leg began
  LegReached,     // a leg ended and the next begins at the next cycle
  RouteFinished,  // the last leg ended: zero commands from now on
  Stopped,        // an empty path ended the route under way
};

class RouteFollower {
 public:
  explicit RouteFollower(double cornerTolerance = kCornerTolerance);

  /// Takes effect at the next cycle; the latest path received before a cycle wins.
  PathReception receivePath(const nav_msgs::msg::Path& path);
  /// One control cycle: the command to send into cmd. While no route is driven, a zero command
  /// and no controller call. The cycle that ends a leg hands out the zero command.
  RouteEvent cycle(const geometry_msgs::msg::PoseStamped& pose, geometry_msgs::msg::Twist& cmd);
  /// The vehicle was stopped from outside, without cycles (no fresh pose): the command computed
  /// before is dropped, so that the next cycle hands out zero and the ones after it commands
  /// computed from the poses that came since. The route and the leg are kept.
  void holdStill();

  /// The legs of the route taken by the last receivePath and begun at the next cycle; nullptr
  /// when none waits.
  const std::vector<Leg>* pendingLegs() const {
    return pending_.route ? &*pending_.route : nullptr;
  }
  /// The route's legs; empty before the first route and after a stop.
  const std::vector<Leg>& legs() const { return legs_; }
  /// The leg being driven; legs().size() once the route finished or stopped.
  std::size_t legIndex() const { return legIndex_; }
  bool driving() const { return legIndex_ < legs_.size(); }
  /// For display: the controller's step and look-ahead point (targetPoint).
  const Controller& controller() const { return controller_; }

 private:
  // What the next cycle does before driving.
  struct Pending {
    bool stop = false;
    std::optional<std::vector<Leg>> route;
  };

  // The route a path is compared with: a route received but not yet begun, or the one driven.
  bool repeatsLatestRoute(const std::vector<Leg>& legs) const;
  RouteEvent applyPending();
  void beginLeg();

  double cornerTolerance_;
  Controller controller_;
  std::vector<Leg> legs_;
  // The last pose's orientation of the route driven and of the pending one, as received.
  geometry_msgs::msg::Quaternion goalOrientation_;
  geometry_msgs::msg::Quaternion pendingGoalOrientation_;
  std::size_t legIndex_ = 0;
  bool legBegun_ = false;
  Pending pending_;
};

}  // namespace common
