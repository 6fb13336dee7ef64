#pragma once

// Time stamps of the messages a program publishes, as ROS 2 stamps them: the wall clock, or under
// use_sim_time the newest time a simulator published on /clock.

#include <optional>

#include <builtin_interfaces/msg/time.hpp>

namespace wire {

/// Now, by the system's wall clock, as seconds and nanoseconds since the epoch.
builtin_interfaces::msg::Time wallClockStamp();

/// Seconds from `from` to `to`, negative when `to` is earlier.
double secondsBetween(const builtin_interfaces::msg::Time& from,
                      const builtin_interfaces::msg::Time& to);

/// ROS 2's time for stamps. Under simulated time it is the newest /clock value, and zero before the
/// first, as in a ROS 2 node; it does not advance between /clock messages.
class StampClock {
 public:
  explicit StampClock(bool simTime) : simTime_(simTime) {}

  bool simTime() const { return simTime_; }
  builtin_interfaces::msg::Time now() const;
  /// A /clock value arrived. Returns how many seconds the clock went back, when it did (a
  /// simulator reset); nothing when it went forward or stayed.
  std::optional<double> advance(const builtin_interfaces::msg::Time& clock);

 private:
  bool simTime_;
  std::optional<builtin_interfaces::msg::Time> simNow_;
};

}  // namespace wire
