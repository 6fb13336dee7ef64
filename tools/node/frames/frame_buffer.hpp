#pragma once

// The transforms between the robot's frames (map, odom, base_link, ...) as TF publishes them, kept
// in tf2's transform buffer, and looked up between any two frames of one tree.
//
// Lookups take the latest transform (time zero, as tf2 names it): the latest time at which every
// transform along the chain is known, interpolating between stamps where needed. A path is a
// route in its own frame; where that frame lies now is what the node must drive to, whatever time
// the planner stamped the path with. A lookup at the path's stamp would fail once the stamp is
// older than the buffer's cache, and one at the current time would extrapolate past the newest
// odometry. Nav2's controller takes the robot's pose and transforms its plan the same way.

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <builtin_interfaces/msg/time.hpp>
#include <geometry_msgs/msg/transform_stamped.hpp>
#include <tf2_msgs/msg/tf_message.hpp>

namespace tf2 {
class BufferCore;
}

namespace node {

/// How long the buffer keeps moving transforms: tf2's default.
inline constexpr std::chrono::seconds kTransformCacheTime{10};
/// A moving transform stamped this much before the newest of its frame means its publisher's clock
/// went back (a simulator reset, an NTP step), not a late message.
inline constexpr std::chrono::seconds kStampJumpBack{1};

class FrameBuffer {
 public:
  explicit FrameBuffer(std::chrono::nanoseconds cacheTime = kTransformCacheTime);
  ~FrameBuffer();
  FrameBuffer(FrameBuffer&&) noexcept;
  FrameBuffer& operator=(FrameBuffer&&) noexcept;

  /// Takes the transforms of a message from /tf (isStatic false) or /tf_static (true). Returns why
  /// each refused transform was refused (tf2's own words, or an invalid stamp); empty when all were
  /// taken. tf2 refuses a transform without frames, from a frame to itself, with a number that is
  /// not finite or a rotation that is not a unit quaternion, and a moving one whose stamp repeats
  /// or lies beyond the cache time before the newest of its frame.
  /// A moving transform stamped more than kStampJumpBack before the newest of its frame clears
  /// the buffer first, as tf2_ros clears it when time jumps back: otherwise tf2 would refuse every
  /// later transform of that frame as old data until the clock caught up.
  std::vector<std::string> addTransforms(const tf2_msgs::msg::TFMessage& message, bool isStatic);

  /// Forgets every moving transform; static ones stay, as in tf2.
  void clear();
  /// How many seconds a stamp went back when it last cleared the buffer; nothing when it did not
  /// since the last call.
  std::optional<double> takeStampJumpBack();

  /// The transform that maps coordinates in `source` into `target`: header.frame_id is `target`,
  /// child_frame_id `source`, the stamp the time it holds at. `at` zero (the default) means the
  /// latest transform. Nothing when the frames are not connected, or not at that time.
  std::optional<geometry_msgs::msg::TransformStamped> lookup(
      const std::string& target, const std::string& source,
      const builtin_interfaces::msg::Time& at = builtin_interfaces::msg::Time()) const;

 private:
  void noteStamp(const std::string& frame, const builtin_interfaces::msg::Time& stamp);

  std::unique_ptr<tf2::BufferCore> core_;
  std::map<std::string, builtin_interfaces::msg::Time> newestStamps_;  // of each moving frame
  std::optional<double> stampJumpBack_;
};

}  // namespace node
