#pragma once

// Routes of many poses for a turn-line-turn vehicle, in libtrelvo_route (CMake target
// trelvo::route, pkg-config trelvo-route). A planner's path becomes straight legs: poses that
// stay within a corridor around one straight line merge into one leg, and the vehicle turns on
// the spot at each corner. A RouteFollower drives the legs one after the other through one
// Controller, each leg one controller run: a turn to face the leg's end, the straight line, and a
// turn to face the next leg (the goal heading on the last one).
//
// Usage, on the host's control thread:
//   trelvo::RouteFollower follower;
//   // whenever the planner publishes a path (takes effect at the next cycle):
//   switch (follower.receivePath(path)) { ... }        // Taken, Unchanged, Stopped, Refused
//   // once per control cycle, with the vehicle's newest pose:
//   trelvo::RouteEvent event = follower.cycle(pose, cmd);   // then send cmd to the vehicle
//   // while the host stops the vehicle itself (no fresh pose, an emergency stop), instead of
//   // cycle(): send a zero command and call
//   follower.holdStill();
//
// A path whose goal is the route's goal (within the corner tolerance and kGoalHeadingMatch) is a
// replan of the route under way, even with its vertices moved a few centimetres, in a rotated
// frame or from noisy poses, when
//  - its legs, aligned from the goal, repeat the route's from the leg under way on, each corner
//    within twice the tolerance (the route's corner and the replan's may each lie a tolerance
//    from the planner's), the one aligned with the leg under way starting anywhere along it; or
//  - from where it passes the vehicle (within the tolerance), its poses run along the line of the
//    leg under way, within twice the tolerance of it, and end their run within twice the
//    tolerance of as far along as the leg's end; or
//  - it starts at a vehicle standing at the corner of the leg under way.
// Then the leg under way goes on untouched and the legs of the rest of the path replace the legs
// after it. Failing all three, when the vehicle drives along one of the path's legs (in a line
// move, within the tolerance of the leg, facing within 5 degrees, the controller's first-turn
// tolerance, of its end), that leg replaces the leg under way and the line move goes on towards
// its end. A finished route resent to a vehicle at its goal changes nothing. Any other path
// replaces the route at the next cycle, starting with its first leg; if the vehicle drives along
// that leg already, the leg starts in its line move, without a stop or a turn on the spot. An
// empty path stops the route.
//
// Threads: none of its own; one follower is used from one thread. Every Controller in a process
// shares the toolkit's PID records (see trelvo/motion.hpp), so one follower drives at a time in a
// process. Units: metres, radians, m/s, rad/s; positive turn rate is counter-clockwise.

#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <geometry_msgs/msg/pose_stamped.hpp>
#include <geometry_msgs/msg/quaternion.hpp>
#include <geometry_msgs/msg/twist.hpp>
#include <nav_msgs/msg/path.hpp>

#include "trelvo/controller.hpp"
#include "trelvo/export.hpp"

namespace trelvo {

/// How far (m) a pose may lie from its leg's straight line.
inline constexpr double kCornerTolerance = 0.05;
/// A pose within this distance (m) of the previous kept position repeats it and is skipped.
inline constexpr double kSamePosition = 0.001;
/// The coordinates (m) beyond which the controller refuses a position as corrupted.
inline constexpr double kLargestCoordinate = 1e9;
/// A resent path keeps the route only if its goal heading is within this of the route's (rad).
inline constexpr double kGoalHeadingMatch = M_PI / 180.0;

/// Whether the controller takes a position with this x or y: finite and within kLargestCoordinate.
inline bool isWithinReach(double coordinate) {
  return std::fabs(coordinate) <= kLargestCoordinate;
}

/// A vehicle pose in the plane: position (m), heading (rad, counter-clockwise from x).
struct Pose2D {
  double x;
  double y;
  double heading;
};

/// One straight run of a route. start.heading is the leg's direction; end.heading is the heading
/// to stand at when the leg ends: the next leg's direction, or the goal heading on the last leg.
struct Leg {
  Pose2D start;
  Pose2D end;
};

/// The legs of a path, in order, each starting where the one before ends. nullopt: the path is
/// refused as the controller refuses one (a pose with a non-finite coordinate or x or y beyond
/// kLargestCoordinate, or a goal orientation without a finite yaw). An empty path has no legs. A
/// path whose poses all lie at one position is one leg from it to itself: a turn on the spot to
/// the goal heading.
///
/// The legs come from a line simplification over the whole path (Douglas-Peucker): every pose lies
/// within the tolerance of its leg, and a grid planner's stair-step along a straight line between
/// two of its cells is one leg. Corners are poses of the path, where they stand. No leg is shorter
/// than the corner tolerance unless it is the only one: a vehicle that turns on the spot at every
/// corner must not turn round for a jog of a few centimetres. A first leg shorter than twice the
/// tolerance whose poses lie within the tolerance of the next leg is dropped, so that the route
/// starts at the next corner (a replan from a vehicle measured a few centimetres off its line). A
/// pose within kSamePosition of the pose kept before it repeats it and is skipped. O(n log n) in
/// the poses for a planner's path; a path that swings back and forth thousands of times is split
/// at middles once the work passes a bound (13 ms for 100 000 poses that are all corners).
TRELVO_API std::optional<std::vector<Leg>> makeLegs(const nav_msgs::msg::Path& path,
                                                    double cornerTolerance = kCornerTolerance);

/// Why makeLegs refuses `path`, for a log line: "pose 2 of 3: y = inf is not finite"; empty when
/// it takes the path.
TRELVO_API std::string refusalReason(const nav_msgs::msg::Path& path);

/// Why the controller refuses a position with these coordinates, for a log line: "x = nan is not
/// finite", "y = 2e+09 m lies beyond 1e+09 m"; empty when it takes it.
TRELVO_API std::string positionProblem(double x, double y, double z);

/// The goal heading (rad) of an orientation as the controller reads it (tf2's getRPY yaw; an
/// all-zero quaternion reads as 0). NaN where it has none: a non-finite component, or a length
/// whose square underflows.
TRELVO_API double goalYaw(const geometry_msgs::msg::Quaternion& orientation);

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

class TRELVO_API RouteFollower {
 public:
  explicit RouteFollower(double cornerTolerance = kCornerTolerance);

  /// Takes effect at the next cycle; the latest path received before a cycle wins. A replan of the
  /// route under way also cancels a new route received before it in the same cycle; the vehicle's
  /// position is the one given to the last cycle.
  PathReception receivePath(const nav_msgs::msg::Path& path);
  /// One control cycle: the command to send into cmd. While no route is driven, a zero command
  /// and no controller call. The cycle that ends a leg hands out the zero command. Like the
  /// controller, a cycle hands out the command computed in the cycle before, from the pose given
  /// then; the first cycle of a route hands out zero.
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
  /// The route's legs; empty before the first route and after a stop. After a replan, the leg
  /// under way keeps its end and the next leg starts at the replan's corner.
  const std::vector<Leg>& legs() const { return legs_; }
  /// The leg being driven; legs().size() once the route finished or stopped.
  std::size_t legIndex() const { return legIndex_; }
  bool driving() const { return legIndex_ < legs_.size(); }
  /// For display: the controller's step and look-ahead point (targetPoint).
  const Controller& controller() const { return controller_; }

 private:
  // A replan of the route under way: the legs that follow the leg under way (keepsLeg), or that
  // replace it and the legs after it.
  struct Replan {
    std::vector<Leg> legs;
    bool keepsLeg;
  };
  // What the next cycle does before driving: at most one of them.
  struct Pending {
    bool stop = false;
    std::optional<std::vector<Leg>> route;
    std::optional<Replan> replan;
  };
  // How the next leg's controller run starts: with a turn on the spot from a standing vehicle,
  // or in its line move, driving on.
  enum class LegStart { FromRest, DriveOn };

  std::optional<Replan> continuation(const nav_msgs::msg::Path& path,
                                     const std::vector<Leg>& legs) const;
  bool drivesOnInto(const Leg& leg) const;
  RouteEvent applyPending();
  void spliceIn(Replan replan);
  nav_msgs::msg::Path legPath() const;
  void beginLeg();

  double cornerTolerance_;
  Controller controller_;
  std::vector<Leg> legs_;
  // The last pose's orientation of the route driven and of the pending one, as received.
  geometry_msgs::msg::Quaternion goalOrientation_;
  geometry_msgs::msg::Quaternion pendingGoalOrientation_;
  std::size_t legIndex_ = 0;
  bool legBegun_ = false;
  LegStart start_ = LegStart::FromRest;
  // The newest usable position a cycle was given (heading unset), and its orientation.
  std::optional<Pose2D> vehicle_;
  geometry_msgs::msg::Quaternion vehicleOrientation_;
  Pending pending_;
};

}  // namespace trelvo
