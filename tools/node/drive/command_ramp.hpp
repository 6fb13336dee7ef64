#pragma once

// Limits how fast the published command changes, as diff_drive_controller's speed limiter does
// for a robot whose drives cannot follow a jump of the command. Each cycle the command moves from
// the one published before toward the one wanted by at most limit·dt:
//
//   forward speed, |linear.x| growing:            maxAccel     (m/s²)
//   forward speed, |linear.x| shrinking to zero:  maxDecel     (m/s²)
//   turn rate, angular.z either way:              maxTurnAccel (rad/s²)
//
// A change of direction first decelerates to a stand and accelerates the other way with what is
// left of the cycle. A limit of 0 is off. Stops for safety (stale pose, shutdown, no route) do
// not go through the ramp: the node publishes zero at once and calls stopNow(), so that the next
// command ramps up from a stand.
//
//   CommandRamp ramp({0.5, 1.0, 2.0});
//   publish(ramp.limit(cycle.command, 0.05));

#include <geometry_msgs/msg/twist.hpp>

namespace node {

struct RampLimits {
  double maxAccel = 0.0;      // m/s², |linear.x| growing; 0: no limit
  double maxDecel = 0.0;      // m/s², |linear.x| shrinking toward zero; 0: no limit
  double maxTurnAccel = 0.0;  // rad/s², angular.z either way; 0: no limit

  bool any() const { return maxAccel > 0.0 || maxDecel > 0.0 || maxTurnAccel > 0.0; }
};

class CommandRamp {
 public:
  /// Starts from a stand: the vehicle is taken to be at rest.
  explicit CommandRamp(RampLimits limits);

  /// The command to publish `dtSeconds` after the one before: `wanted` with linear.x and
  /// angular.z moved from the last command by no more than the limits allow; the other fields as
  /// `wanted` has them. With every limit off it is `wanted`, bit for bit; else a wanted speed
  /// that is not finite counts as zero, and a `dtSeconds` that is not positive allows no change.
  geometry_msgs::msg::Twist limit(const geometry_msgs::msg::Twist& wanted, double dtSeconds);

  /// The vehicle was stopped outside the ramp: the next command ramps up from zero.
  void stopNow();

 private:
  RampLimits limits_;
  double linear_ = 0.0;   // m/s, the forward speed last handed out
  double angular_ = 0.0;  // rad/s, the turn rate last handed out
};

}  // namespace node
