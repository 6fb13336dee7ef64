#pragma once

// What may hold back the command of a route under way, each cycle before the ramp: the obstacles
// along the route ahead (obstacles/ObstacleGuard). The drive knows only this face of it.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <geometry_msgs/msg/twist.hpp>

#include "node/watch/stall_watch.hpp"
#include "trelvo/route.hpp"

namespace node {

/// The guard as diagnostics show it.
struct GuardReport {
  std::string zone;        // "clear", "stop", "slowdown", "approach", "source silent", ...
  std::string nearest;     // "(1.00, 0.00) in the base frame"; "none"
  std::string blockedFor;  // "12.3 s" stopped for an obstacle; "not blocked"
};

class CommandGuard {
 public:
  virtual ~CommandGuard() = default;

  /// `command` of the route under way, `legs[legIndex]` driven from `vehicle` (in the legs'
  /// frame), as far as it may go this cycle.
  virtual geometry_msgs::msg::Twist limit(const trelvo::Pose2D& vehicle,
                                          const std::vector<trelvo::Leg>& legs,
                                          std::size_t legIndex,
                                          const geometry_msgs::msg::Twist& command,
                                          Clock::time_point now) = 0;
  /// No route under way this cycle.
  virtual void idle() = 0;
  /// The last limit stopped the vehicle: a stop for safety, published at once, not ramped.
  virtual bool stopping() const = 0;
  /// Why the route cannot go on, once the vehicle has stood blocked longer than it may: "stopped
  /// for 10.0 s by an obstacle at (1.00, 0.00) in the base frame"; nothing before.
  virtual std::optional<std::string> blocked(Clock::time_point now) const = 0;
  /// The zone in force, the nearest obstacle and the time blocked, for diagnostics.
  virtual GuardReport report(Clock::time_point now) const = 0;
};

}  // namespace node
