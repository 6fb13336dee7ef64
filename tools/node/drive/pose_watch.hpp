#pragma once

// The newest pose of the vehicle and its age. The node drives only on a pose younger than the
// pose timeout: a localisation that stops, or a vehicle process that dies, must stop the vehicle
// rather than leave it running on its last command.
//
// Age is measured from when the pose arrived here, by this process's steady clock, not from the
// message's stamp: the stamp comes from another machine's clock, which may be set differently.

#include <chrono>
#include <optional>
#include <string>

#include <geometry_msgs/msg/pose_stamped.hpp>

namespace node {

using Clock = std::chrono::steady_clock;

/// Why the controller would refuse `pose`, for a log line ("orientation z = nan is not finite",
/// "x = 2e+09 m lies beyond 1e9 m"); empty for a pose it takes: finite, x and y within 1e9 m.
std::string poseProblem(const geometry_msgs::msg::PoseStamped& pose);

class PoseWatch {
 public:
  explicit PoseWatch(Clock::duration timeout) : timeout_(timeout) {}

  Clock::duration timeout() const { return timeout_; }

  /// Keeps `pose` as the newest when the controller takes it; else returns why it is refused.
  std::string receive(const geometry_msgs::msg::PoseStamped& pose, Clock::time_point at);
  /// When the newest pose arrived; nothing before the first.
  std::optional<Clock::time_point> newestAt() const;
  /// The newest pose, when one arrived within the timeout before `now`.
  const geometry_msgs::msg::PoseStamped* fresh(Clock::time_point now) const;

 private:
  Clock::duration timeout_;
  std::optional<geometry_msgs::msg::PoseStamped> newest_;
  Clock::time_point arrived_{};
};

}  // namespace node
