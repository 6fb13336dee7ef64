#include "node/frames/path_transform_wait.hpp"

#include <fmt/format.h>

#include <utility>

#include "node/frames/frame_poses.hpp"

namespace node {

PathTransformWait::PathTransformWait(std::string targetFrame, Clock::duration timeout)
    : targetFrame_(std::move(targetFrame)), timeout_(timeout) {}

void PathTransformWait::receive(const nav_msgs::msg::Path& path, Clock::time_point at) {
  path_ = path;
  arrived_ = at;
}

PathWaitResult PathTransformWait::poll(const FrameBuffer& frames, Clock::time_point now) {
  PathWaitResult result;
  if (!path_) {
    return result;
  }
  result.path = pathInFrame(*path_, targetFrame_, frames);
  if (!result.path && now - arrived_ < timeout_) {
    return result;
  }
  if (!result.path) {
    const std::string& frame = path_->header.frame_id;
    result.refusal =
        fmt::format("path in {} refused: no transform from {} to {} within {:g} s", frame, frame,
                    targetFrame_, std::chrono::duration<double>(timeout_).count());
  }
  path_.reset();
  return result;
}

}  // namespace node
