#include "node/drive/speed_limit.hpp"

#include <cmath>

#include <fmt/format.h>

namespace node {
namespace {

constexpr double kNoSpeedLimit = 0.0;  // Nav2's NO_SPEED_LIMIT
constexpr double kWholeSpeed = 100.0;  // %

}  // namespace

std::optional<std::string> SpeedLimit::set(bool percentage, double limit) {
  if (!std::isfinite(limit) || limit < 0.0) {
    return fmt::format("speed limit {}{} refused: not a finite value of 0 or more", limit,
                       percentage ? " %" : " m/s");
  }
  if (limit == kNoSpeedLimit || (percentage && limit == kWholeSpeed)) {
    cap_.reset();
    text_ = "none";
    return std::nullopt;
  }
  if (percentage) {
    cap_ = kRouteCruiseSpeed * limit / kWholeSpeed;
    text_ = fmt::format("{:.3g} m/s ({:.3g} % of {} m/s)", *cap_, limit, kRouteCruiseSpeed);
  } else {
    cap_ = limit;
    text_ = fmt::format("{:.3g} m/s", limit);
  }
  return std::nullopt;
}

geometry_msgs::msg::Twist SpeedLimit::apply(const geometry_msgs::msg::Twist& command) const {
  const double speed = std::fabs(command.linear.x);
  if (!cap_ || !(speed > *cap_)) {
    return command;
  }
  const double scale = *cap_ / speed;
  geometry_msgs::msg::Twist capped = command;
  capped.linear.x = std::copysign(*cap_, command.linear.x);  // exactly the cap, not a rounding over
  capped.linear.y *= scale;
  capped.angular.z *= scale;
  return capped;
}

}  // namespace node
