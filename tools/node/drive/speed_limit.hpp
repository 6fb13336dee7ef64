#pragma once

// The speed limit Nav2's speed filter publishes (nav2_msgs/msg/SpeedLimit), as a cap on the
// commands of the route: a share of the route's cruise speed (`percentage`) or metres per second.
// 0 is Nav2's NO_SPEED_LIMIT and lifts the limit, as 100 % does. A negative or broken value is
// refused and the limit in force stays.
//
// A command faster than the cap is scaled down whole, its turn rate with its forward speed, so
// that it keeps its curvature and the vehicle its line; a turn on the spot has no forward speed
// and is not slowed, as Nav2's controllers leave their rotation to heading alone. A zero stays a
// zero.

#include <optional>
#include <string>

#include <geometry_msgs/msg/twist.hpp>

namespace node {

/// m/s: the speed of a line move's profile, which the vehicle keeps on any line long enough to
/// reach it; the speed a percentage is of, as Nav2's is of its controller's maximum speed.
inline constexpr double kRouteCruiseSpeed = 0.4;

class SpeedLimit {
 public:
  /// Takes a limit; nothing when taken, else why it was refused.
  std::optional<std::string> set(bool percentage, double limit);

  /// m/s; nothing while no limit is in force.
  std::optional<double> cap() const { return cap_; }
  /// `command` within the cap.
  geometry_msgs::msg::Twist apply(const geometry_msgs::msg::Twist& command) const;
  /// The limit in force: "none", "0.3 m/s", "0.2 m/s (50 % of 0.4 m/s)".
  const std::string& text() const { return text_; }

 private:
  std::optional<double> cap_;
  std::string text_ = "none";
};

}  // namespace node
