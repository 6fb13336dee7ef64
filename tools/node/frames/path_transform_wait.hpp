#pragma once

// A path in another frame than the one the node drives in waits for its transform: TF may not
// have reached the node yet (a path sent just after start, a localisation still starting). The
// path is tried again every cycle, and refused with one line naming both frames when its
// transform is still unknown once the transform timeout has passed since it arrived.

#include <chrono>
#include <optional>
#include <string>

#include <nav_msgs/msg/path.hpp>

#include "node/frames/frame_buffer.hpp"

namespace node {

/// What became of the waiting path in a cycle: at most one of the two is set.
struct PathWaitResult {
  /// The path in the target frame, to drive.
  std::optional<nav_msgs::msg::Path> path;
  /// "path in map refused: no transform from map to odom within 0.5 s", once.
  std::string refusal;
};

class PathTransformWait {
 public:
  using Clock = std::chrono::steady_clock;

  PathTransformWait(std::string targetFrame, Clock::duration timeout);

  /// A path that arrived at `at`; it takes the place of any path still waiting.
  void receive(const nav_msgs::msg::Path& path, Clock::time_point at);
  /// Once per cycle: the waiting path as soon as it can be moved into the target frame, its refusal
  /// once the timeout has passed without its transform, nothing while it waits or when none waits.
  PathWaitResult poll(const FrameBuffer& frames, Clock::time_point now);
  bool waiting() const { return path_.has_value(); }

 private:
  std::string targetFrame_;
  Clock::duration timeout_;
  std::optional<nav_msgs::msg::Path> path_;
  Clock::time_point arrived_{};
};

}  // namespace node
