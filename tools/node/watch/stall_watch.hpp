#pragma once

// A vehicle that does not move under the node's commands: blocked wheels, a driver listening on
// another topic, or poses that are not this vehicle's. Commands that would move it, for 3 s in
// which its pose stays within 1 cm and 1° of where it is (the time and distance may be set),
// give one warning; the watch is armed
// again once the vehicle moves (more than that within 3 s) or the commands stop. A vehicle that
// creeps, 1 cm every 4 s, stays stalled: warned once.
//
// Commands slower than 1 cm/s and 1°/s are passed over: in 3 s they need not move a vehicle past
// those bounds at all, so they tell nothing of a stall.

#include <chrono>
#include <cmath>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include <geometry_msgs/msg/pose.hpp>
#include <geometry_msgs/msg/twist.hpp>

namespace node {

using Clock = std::chrono::steady_clock;

inline constexpr std::chrono::seconds kStallTime{3};
inline constexpr double kStallDistance = 0.01;                       // m
inline constexpr double kStallTurn = 1.0 / 180.0 * M_PI;             // rad
inline constexpr double kStallSlowestSpeed = 0.01;                   // m/s
inline constexpr double kStallSlowestTurnRate = 1.0 / 180.0 * M_PI;  // rad/s

/// How little the vehicle moves, in how long, to be stalled: Nav2's progress checker's
/// required_movement_radius and movement_time_allowance.
struct StallLimits {
  double distance = kStallDistance;  // m
  Clock::duration time = kStallTime;
};

class StallWatch {
 public:
  explicit StallWatch(StallLimits limits = {}) : limits_(limits) {}

  /// One cycle: the command published and the vehicle's fresh pose (nullptr: none, and the cycle
  /// is passed over). Returns the warning in the cycle a stall is found.
  std::optional<std::string> update(const geometry_msgs::msg::Twist& command,
                                    const geometry_msgs::msg::Pose* pose, Clock::time_point now);

  /// The warning while the stall it told of lasts, else nothing.
  std::vector<std::string> standing() const;

 private:
  struct Sample {
    Clock::time_point at;
    double x;
    double y;
    double yaw;
  };

  bool stoodStill() const;

  // The poses under driving commands over the last 3 s, and the one before them.
  StallLimits limits_;
  std::deque<Sample> window_;
  std::optional<std::string> warning_;
};

}  // namespace node
