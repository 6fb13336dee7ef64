#include "node/watch/stall_watch.hpp"

#include <cmath>

#include <fmt/format.h>

#include "common/pose.hpp"
#include "trelvo/route.hpp"

namespace node {
namespace {

bool drives(const geometry_msgs::msg::Twist& command) {
  return std::hypot(command.linear.x, command.linear.y) >= kStallSlowestSpeed ||
         std::fabs(command.angular.z) >= kStallSlowestTurnRate;
}

}  // namespace

std::optional<std::string> StallWatch::update(const geometry_msgs::msg::Twist& command,
                                              const geometry_msgs::msg::Pose* pose,
                                              Clock::time_point now) {
  if (!drives(command)) {
    window_.clear();
    warning_.reset();
    return std::nullopt;
  }
  const double yaw = pose != nullptr ? trelvo::goalYaw(pose->orientation) : NAN;
  if (!std::isfinite(yaw)) {
    return std::nullopt;
  }
  window_.push_back({now, pose->position.x, pose->position.y, yaw});
  while (window_.size() > 1 && window_[1].at <= now - limits_.time) {
    window_.pop_front();
  }
  if (now - window_.front().at < limits_.time) {
    return std::nullopt;
  }
  if (!stoodStill()) {
    warning_.reset();
    return std::nullopt;
  }
  if (warning_) {
    return std::nullopt;
  }
  warning_ = fmt::format(
      "the vehicle moved less than {:.0f} cm and turned less than {:.0f}° in {:.3g} s under "
      "commands of {:.2f} m/s and {:.2f} rad/s: check that nothing blocks its wheels, that its "
      "driver takes this node's commands, and that the poses are this vehicle's",
      limits_.distance * 100, common::toDegrees(kStallTurn),
      std::chrono::duration<double>(limits_.time).count(), command.linear.x, command.angular.z);
  return warning_;
}

bool StallWatch::stoodStill() const {
  const Sample& now = window_.back();
  for (const Sample& then : window_) {
    if (std::hypot(then.x - now.x, then.y - now.y) >= limits_.distance ||
        std::fabs(common::wrapAngle(then.yaw - now.yaw)) >= kStallTurn) {
      return false;
    }
  }
  return true;
}

std::vector<std::string> StallWatch::standing() const {
  if (!warning_) {
    return {};
  }
  return {*warning_};
}

}  // namespace node
