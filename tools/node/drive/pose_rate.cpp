#include "node/drive/pose_rate.hpp"

#include <algorithm>
#include <vector>

namespace node {

void PoseRate::arrived(Clock::time_point at) {
  if (last_ && at <= *last_) {
    return;
  }
  if (last_) {
    intervals_.push_back(at - *last_);
    if (intervals_.size() > kPoseIntervalsMeasured) {
      intervals_.pop_front();
    }
  }
  last_ = at;
}

std::optional<Clock::duration> PoseRate::period() const {
  if (intervals_.size() < kPoseIntervalsMeasured) {
    return std::nullopt;
  }
  std::vector<Clock::duration> sorted(intervals_.begin(), intervals_.end());
  const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
  std::nth_element(sorted.begin(), middle, sorted.end());
  return *middle;
}

}  // namespace node
