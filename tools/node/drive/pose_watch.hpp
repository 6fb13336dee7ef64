#pragma once

// The newest pose of the vehicle and its age. The node drives only on a pose younger than the
// pose timeout: a localisation that stops, or a vehicle process that dies, must stop the vehicle
// rather than leave it running on its last command.
//
// Age is measured from when the pose arrived here, by this process's steady clock, not from the
// message's stamp: the stamp comes from another machine's clock, which may be set differently.

#include <chrono>
#include <optional>

#include <geometry_msgs/msg/pose_stamped.hpp>

namespace node {

using Clock = std::chrono::steady_clock;

/// Whether a pose is one the controller takes: finite, and x and y within 1e9 m.
bool usablePose(const geometry_msgs::msg::PoseStamped& pose);

class PoseWatch {
 public:
  explicit PoseWatch(Clock::duration timeout) : timeout_(timeout) {}

  /// Keeps `pose` as the newest when it is usable; false when it is refused.
  bool receive(const geometry_msgs::msg::PoseStamped& pose, Clock::time_point at);
  /// The newest pose, when one arrived within the timeout before `now`.
  const geometry_msgs::msg::PoseStamped* fresh(Clock::time_point now) const;

 private:
  Clock::duration timeout_;
  std::optional<geometry_msgs::msg::PoseStamped> newest_;
  Clock::time_point arrived_{};
};

}  // namespace node
