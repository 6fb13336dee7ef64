#include "wire/stamps.hpp"

#include <chrono>
#include <cstdint>

namespace wire {

builtin_interfaces::msg::Time wallClockStamp() {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
  builtin_interfaces::msg::Time stamp;
  stamp.sec = static_cast<std::int32_t>(seconds.count());
  stamp.nanosec = static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch - seconds).count());
  return stamp;
}

double secondsBetween(const builtin_interfaces::msg::Time& from,
                      const builtin_interfaces::msg::Time& to) {
  const std::int64_t nanoseconds =
      (static_cast<std::int64_t>(to.sec) - from.sec) * 1000000000 +
      (static_cast<std::int64_t>(to.nanosec) - static_cast<std::int64_t>(from.nanosec));
  return static_cast<double>(nanoseconds) * 1e-9;
}

builtin_interfaces::msg::Time StampClock::now() const {
  if (!simTime_) {
    return wallClockStamp();
  }
  return simNow_.value_or(builtin_interfaces::msg::Time());
}

std::optional<double> StampClock::advance(const builtin_interfaces::msg::Time& clock) {
  const std::optional<builtin_interfaces::msg::Time> before = simNow_;
  simNow_ = clock;
  if (before) {
    const double step = secondsBetween(*before, clock);
    if (step < 0.0) {
      return -step;
    }
  }
  return std::nullopt;
}

}  // namespace wire
