#pragma once

// The frame a route is driven in. A path names its frame (map, from a planner); poses come in
// theirs (odom, from odometry). The route is driven in the path's frame: every cycle each pose is
// moved into it through TF's latest transforms, so that when localisation moves map -> odom
// mid-route the vehicle still ends at the goal in the path's frame, as Nav2's controller follows
// its plan through the latest transform. A path whose frame TF does not join to the poses' within
// the transform timeout is refused with one line naming both frames; a path in the poses' frame,
// or with no frame, is driven as it is.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <geometry_msgs/msg/pose_stamped.hpp>
#include <nav_msgs/msg/path.hpp>
#include <tf2_msgs/msg/tf_message.hpp>

#include "node/drive/node_log.hpp"
#include "node/drive/pose_watch.hpp"
#include "node/frames/frame_buffer.hpp"
#include "node/frames/frame_poses.hpp"

namespace node {

/// A localisation is taken as stopped when its transform has not arrived for this many transform
/// timeouts.
inline constexpr int kLocalisationSilence = 10;

class DriveFrames {
 public:
  /// `poseFromTf` {GLOBAL, BASE}: the robot's pose comes from TF; empty: from a topic.
  DriveFrames(Clock::duration transformTimeout, NodeLog& log,
              const std::vector<std::string>& poseFromTf = {});

  /// Transforms from /tf or /tf_static that arrived at `at`. A stamp that went back clears the
  /// buffer, with one line.
  void addTransforms(const tf2_msgs::msg::TFMessage& message, bool isStatic, Clock::time_point at);
  /// The clock stamps are taken from went back `seconds` at `at` (a simulator reset): the
  /// transforms are cleared, as tf2_ros clears its buffer, so that the new ones are taken.
  /// Transforms stamped before the reset may still arrive in the next kStampJumpBack: the stamps'
  /// own jump back then clears the buffer again, without a second line.
  void clockJumpedBack(double seconds, Clock::time_point at);
  /// A path arrived; a path still waiting for its transform is replaced.
  void receivePath(const nav_msgs::msg::Path& path, Clock::time_point now);
  /// The path that waited, once TF joins its frame to the poses'; logs its refusal when the
  /// timeout passed first.
  std::optional<nav_msgs::msg::Path> readyPath(Clock::time_point now);
  /// Why readyPath last refused a path ("no transform from map to odom within 0.5 s"), once;
  /// nothing when it has refused none since the last call.
  std::optional<std::string> takeRefusal() { return std::exchange(refusal_, std::nullopt); }
  /// The drive took `path` as its route: poses are driven in its frame from now on.
  void routeTaken(const nav_msgs::msg::Path& path);
  /// `pose` in the route's frame; nothing while TF does not join the two frames.
  std::optional<geometry_msgs::msg::PoseStamped> toDriveFrame(
      const geometry_msgs::msg::PoseStamped& pose);
  /// The robot's pose from TF, once per new transform; nothing when it comes from a topic.
  std::optional<geometry_msgs::msg::PoseStamped> poseFromTf();
  /// The latest transform into `target` from `source`; nothing while TF does not join them.
  std::optional<geometry_msgs::msg::TransformStamped> lookup(const std::string& target,
                                                             const std::string& source) const {
    return frames_.lookup(target, source);
  }
  /// The frame the route is driven in; the poses' own while the route names none.
  std::string driveFrame() const { return driveFrame_.empty() ? poseFrame_ : driveFrame_; }
  /// While poses are moved between frames (the route in another frame than the poses, or the pose
  /// from TF), a moving transform between them that has not arrived for kLocalisationSilence
  /// transform timeouts: the localisation that publishes it may have stopped. Nothing otherwise.
  std::optional<std::string> silentLocalisation(Clock::time_point now) const;

 private:
  struct Link {
    std::string parent;
    Clock::time_point arrived;
    bool isStatic = false;
  };

  bool joined(const std::string& pathFrame) const;
  void transformsCleared(const std::string& why);
  void restartPoses();
  std::vector<std::pair<std::string, const Link*>> linksBetween(const std::string& a,
                                                                const std::string& b) const;

  FrameBuffer frames_;
  std::map<std::string, Link> links_;  // by child frame, as the transforms last arrived
  std::optional<TfPoseFeed> tfPoses_;
  Clock::duration transformTimeout_;
  NodeLog& log_;
  std::string poseFrame_;   // of the latest pose; empty before the first
  std::string driveFrame_;  // of the route; empty: the poses' frame
  std::optional<nav_msgs::msg::Path> waiting_;
  Clock::time_point waitingSince_{};
  std::optional<std::string> refusal_;
  bool poseUnjoinedLogged_ = false;
  bool transformRefusalLogged_ = false;
  std::optional<Clock::time_point> clockJumpedAt_;
};

}  // namespace node
