#pragma once

// When route_progress goes out: in the cycle its text changes, and at least once every
// kProgressRepeat while it does not, so that a subscriber that joins late learns the state
// without waiting for the next change.

#include <chrono>
#include <optional>
#include <string>

#include "node/drive/pose_watch.hpp"

namespace node {

inline constexpr std::chrono::seconds kProgressRepeat{1};

class ProgressRepeat {
 public:
  /// Whether `progress` is to be published at `now`; when it is, it counts as sent then.
  bool due(const std::string& progress, Clock::time_point now);
  /// The text sent last; empty before the first.
  const std::string& sent() const { return sent_; }

 private:
  std::string sent_;
  std::optional<Clock::time_point> sentAt_;
};

}  // namespace node
