#include "node/drive/command_ramp.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace node {
namespace {

// The change a limit allows over `dt`; unbounded when the limit is off.
double allowedChange(double limit, double dt) {
  return limit > 0.0 ? limit * dt : std::numeric_limits<double>::infinity();
}

// `from` moved toward `to` by at most `step`; exactly `to` once it is within reach.
double stepToward(double from, double to, double step) {
  return from < to ? std::min(to, from + step) : std::max(to, from - step);
}

double finiteOrZero(double value) {
  return std::isfinite(value) ? value : 0.0;
}

double rampForward(double current, double wanted, const RampLimits& limits, double dt) {
  if (current * wanted >= 0.0) {
    const bool grows = std::fabs(wanted) > std::fabs(current);
    return stepToward(current, wanted,
                      allowedChange(grows ? limits.maxAccel : limits.maxDecel, dt));
  }
  // A change of direction: to a stand first, then the other way in the time left.
  const double timeToStand = limits.maxDecel > 0.0 ? std::fabs(current) / limits.maxDecel : 0.0;
  if (timeToStand >= dt) {
    return stepToward(current, 0.0, limits.maxDecel * dt);
  }
  return stepToward(0.0, wanted, allowedChange(limits.maxAccel, dt - timeToStand));
}

}  // namespace

CommandRamp::CommandRamp(RampLimits limits) : limits_(limits) {}

geometry_msgs::msg::Twist CommandRamp::limit(const geometry_msgs::msg::Twist& wanted,
                                             double dtSeconds) {
  if (!limits_.any()) {
    return wanted;
  }
  const double dt = std::isfinite(dtSeconds) && dtSeconds > 0.0 ? dtSeconds : 0.0;
  linear_ = rampForward(linear_, finiteOrZero(wanted.linear.x), limits_, dt);
  angular_ =
      stepToward(angular_, finiteOrZero(wanted.angular.z), allowedChange(limits_.maxTurnAccel, dt));
  geometry_msgs::msg::Twist command = wanted;
  command.linear.x = linear_;
  command.angular.z = angular_;
  return command;
}

void CommandRamp::stopNow() {
  linear_ = 0.0;
  angular_ = 0.0;
}

}  // namespace node
