#include "node/frames/frame_poses.hpp"

#include <tf2/LinearMath/Transform.h>

#include <tuple>
#include <utility>

namespace node {
namespace {

tf2::Transform toTf2(const geometry_msgs::msg::Transform& transform) {
  const auto& t = transform.translation;
  const auto& q = transform.rotation;
  return tf2::Transform(tf2::Quaternion(q.x, q.y, q.z, q.w), tf2::Vector3(t.x, t.y, t.z));
}

// The library reads an orientation of length zero as no rotation; carried into another frame it
// must become that frame's rotation, not stay a zero that reads as heading 0 there.
tf2::Quaternion orientationOf(const geometry_msgs::msg::Quaternion& q) {
  const tf2::Quaternion orientation(q.x, q.y, q.z, q.w);
  return orientation.length2() == 0.0 ? tf2::Quaternion::getIdentity() : orientation;
}

geometry_msgs::msg::Pose moved(const tf2::Transform& transform,
                               const geometry_msgs::msg::Pose& pose) {
  const auto& p = pose.position;
  const tf2::Vector3 position = transform * tf2::Vector3(p.x, p.y, p.z);
  const tf2::Quaternion orientation = transform.getRotation() * orientationOf(pose.orientation);
  geometry_msgs::msg::Pose result;
  result.position.x = position.x();
  result.position.y = position.y();
  result.position.z = position.z();
  result.orientation.x = orientation.x();
  result.orientation.y = orientation.y();
  result.orientation.z = orientation.z();
  result.orientation.w = orientation.w();
  return result;
}

bool isLater(const builtin_interfaces::msg::Time& a, const builtin_interfaces::msg::Time& b) {
  return std::tie(a.sec, a.nanosec) > std::tie(b.sec, b.nanosec);
}

}  // namespace

std::optional<nav_msgs::msg::Path> pathInFrame(const nav_msgs::msg::Path& path,
                                               const std::string& targetFrame,
                                               const FrameBuffer& frames) {
  const std::string& frame = path.header.frame_id;
  if (frame.empty() || frame == targetFrame || path.poses.empty()) {
    return path;
  }
  const auto transform = frames.lookup(targetFrame, frame);
  if (!transform) {
    return std::nullopt;
  }
  const tf2::Transform pathToTarget = toTf2(transform->transform);
  nav_msgs::msg::Path result = path;
  result.header.frame_id = targetFrame;
  for (auto& pose : result.poses) {
    pose.header.frame_id = targetFrame;
    pose.pose = moved(pathToTarget, pose.pose);
  }
  return result;
}

std::optional<geometry_msgs::msg::PoseStamped> robotPoseFromTf(const FrameBuffer& frames,
                                                               const std::string& globalFrame,
                                                               const std::string& baseFrame) {
  const auto transform = frames.lookup(globalFrame, baseFrame);
  if (!transform) {
    return std::nullopt;
  }
  geometry_msgs::msg::PoseStamped pose;
  pose.header = transform->header;
  const auto& t = transform->transform.translation;
  pose.pose.position.x = t.x;
  pose.pose.position.y = t.y;
  pose.pose.position.z = t.z;
  pose.pose.orientation = transform->transform.rotation;
  return pose;
}

TfPoseFeed::TfPoseFeed(std::string globalFrame, std::string baseFrame)
    : globalFrame_(std::move(globalFrame)), baseFrame_(std::move(baseFrame)) {}

std::optional<geometry_msgs::msg::PoseStamped> TfPoseFeed::next(const FrameBuffer& frames) {
  auto pose = robotPoseFromTf(frames, globalFrame_, baseFrame_);
  if (!pose || (lastStamp_ && !isLater(pose->header.stamp, *lastStamp_))) {
    return std::nullopt;
  }
  lastStamp_ = pose->header.stamp;
  return pose;
}

}  // namespace node
