#pragma once

// Paths and poses carried from one frame into another by the latest transforms of the frame
// buffer, as Nav2's controller takes them: the plan moved into the controller's frame, and the
// robot's pose as the transform from the global frame to the robot's base frame.

#include <optional>
#include <string>

#include <builtin_interfaces/msg/time.hpp>
#include <geometry_msgs/msg/pose_stamped.hpp>
#include <nav_msgs/msg/path.hpp>

#include "node/frames/frame_buffer.hpp"

namespace node {

/// `path` in `targetFrame`. As it is when its frame is empty (its poses are taken in the frame the
/// poses come in) or already the target, and when it has no poses (an empty path stops the route,
/// in any frame). Otherwise each pose, taken in the path's frame as Nav2's controllers take them,
/// is moved into the target frame, position and orientation, and the path and its poses name the
/// target frame; stamps are kept. Nothing when the transform is not known.
std::optional<nav_msgs::msg::Path> pathInFrame(const nav_msgs::msg::Path& path,
                                               const std::string& targetFrame,
                                               const FrameBuffer& frames);

/// The robot's pose in `globalFrame`: the origin and orientation of `baseFrame`, stamped with the
/// time the latest transform holds at. Nothing when the transform is not known.
std::optional<geometry_msgs::msg::PoseStamped> robotPoseFromTf(const FrameBuffer& frames,
                                                               const std::string& globalFrame,
                                                               const std::string& baseFrame);

/// The robot's pose from TF, handed out once per new transform. The buffer goes on answering with
/// the last transform it has after TF stops coming; a pose handed out again every cycle would look
/// fresh to the node's pose watch, which must see the poses stop and stop the vehicle.
class TfPoseFeed {
 public:
  TfPoseFeed(std::string globalFrame, std::string baseFrame);

  /// The robot's pose when it holds at a later time than the last one handed out.
  std::optional<geometry_msgs::msg::PoseStamped> next(const FrameBuffer& frames);
  /// After the buffer was cleared for a jump back in time: the next pose is handed out whatever
  /// its stamp.
  void restart() { lastStamp_.reset(); }
  const std::string& globalFrame() const { return globalFrame_; }
  const std::string& baseFrame() const { return baseFrame_; }

 private:
  std::string globalFrame_;
  std::string baseFrame_;
  std::optional<builtin_interfaces::msg::Time> lastStamp_;
};

}  // namespace node
