#pragma once

// How often poses arrive. A source no faster than the pose timeout (AMCL at 2 Hz against 0.5 s)
// leaves every pose stale before the next comes: the vehicle stops and starts between them.

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>

namespace node {

using Clock = std::chrono::steady_clock;

/// Intervals whose median is the measured period: enough to pass over one late or doubled pose.
inline constexpr std::size_t kPoseIntervalsMeasured = 5;

class PoseRate {
 public:
  /// A pose arrived at `at`; poses taken in the same cycle count as one arrival.
  void arrived(Clock::time_point at);
  /// The median of the last kPoseIntervalsMeasured intervals; nothing before there are as many.
  std::optional<Clock::duration> period() const;

 private:
  std::optional<Clock::time_point> last_;
  std::deque<Clock::duration> intervals_;
};

}  // namespace node
