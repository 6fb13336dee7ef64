#pragma once

// A log for events a peer can cause at any rate (requests that cannot be read): one line per
// event, at most one a second; the lines held back are counted into the next one.

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace wire {

class RateLimitedLog {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds kInterval{1};

  explicit RateLimitedLog(std::function<void(const std::string&)> write)
      : write_(std::move(write)) {}

  /// Writes `line` unless a line went out less than a second before `now`.
  void note(const std::string& line, Clock::time_point now) {
    if (last_ && now - *last_ < kInterval) {
      ++held_;
      return;
    }
    write_(held_ == 0 ? line
                      : line + " (and " + std::to_string(held_) + " more since the last line)");
    held_ = 0;
    last_ = now;
  }

 private:
  std::function<void(const std::string&)> write_;
  std::optional<Clock::time_point> last_;
  std::size_t held_ = 0;
};

}  // namespace wire
