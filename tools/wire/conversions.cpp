#include "wire/conversions.hpp"

#include <algorithm>

#include "wire/sample_strings.hpp"

namespace wire {

namespace {

geometry_msgs::msg::Vector3 toRos(const geometry_msgs_msg_dds__Vector3_& sample) {
  geometry_msgs::msg::Vector3 message;
  message.x = sample.x;
  message.y = sample.y;
  message.z = sample.z;
  return message;
}

geometry_msgs_msg_dds__Vector3_ toSample(const geometry_msgs::msg::Vector3& message) {
  return {message.x, message.y, message.z};
}

geometry_msgs::msg::Point toRos(const geometry_msgs_msg_dds__Point_& sample) {
  geometry_msgs::msg::Point message;
  message.x = sample.x;
  message.y = sample.y;
  message.z = sample.z;
  return message;
}

geometry_msgs_msg_dds__Point_ toSample(const geometry_msgs::msg::Point& message) {
  return {message.x, message.y, message.z};
}

builtin_interfaces_msg_dds__Time_ toSample(const builtin_interfaces::msg::Time& message) {
  return {message.sec, message.nanosec};
}

geometry_msgs::msg::Quaternion toRos(const geometry_msgs_msg_dds__Quaternion_& sample) {
  geometry_msgs::msg::Quaternion message;
  message.x = sample.x;
  message.y = sample.y;
  message.z = sample.z;
  message.w = sample.w;
  return message;
}

geometry_msgs_msg_dds__Quaternion_ toSample(const geometry_msgs::msg::Quaternion& message) {
  return {message.x, message.y, message.z, message.w};
}

}  // namespace

builtin_interfaces::msg::Time toRos(const builtin_interfaces_msg_dds__Time_& sample) {
  builtin_interfaces::msg::Time message;
  message.sec = sample.sec;
  message.nanosec = sample.nanosec;
  return message;
}

std_msgs::msg::Header toRos(const std_msgs_msg_dds__Header_& sample) {
  std_msgs::msg::Header message;
  message.stamp = toRos(sample.stamp);
  message.frame_id = toString(sample.frame_id);
  return message;
}

geometry_msgs::msg::Pose toRos(const geometry_msgs_msg_dds__Pose_& sample) {
  geometry_msgs::msg::Pose message;
  message.position = toRos(sample.position);
  message.orientation = toRos(sample.orientation);
  return message;
}

geometry_msgs::msg::PoseStamped toRos(const geometry_msgs_msg_dds__PoseStamped_& sample) {
  geometry_msgs::msg::PoseStamped message;
  message.header = toRos(sample.header);
  message.pose = toRos(sample.pose);
  return message;
}

geometry_msgs::msg::Twist toRos(const geometry_msgs_msg_dds__Twist_& sample) {
  geometry_msgs::msg::Twist message;
  message.linear = toRos(sample.linear);
  message.angular = toRos(sample.angular);
  return message;
}

geometry_msgs::msg::TwistStamped toRos(const geometry_msgs_msg_dds__TwistStamped_& sample) {
  geometry_msgs::msg::TwistStamped message;
  message.header = toRos(sample.header);
  message.twist = toRos(sample.twist);
  return message;
}

geometry_msgs::msg::PointStamped toRos(const geometry_msgs_msg_dds__PointStamped_& sample) {
  geometry_msgs::msg::PointStamped message;
  message.header = toRos(sample.header);
  message.point = toRos(sample.point);
  return message;
}

geometry_msgs::msg::PoseWithCovarianceStamped toRos(
    const geometry_msgs_msg_dds__PoseWithCovarianceStamped_& sample) {
  geometry_msgs::msg::PoseWithCovarianceStamped message;
  message.header = toRos(sample.header);
  message.pose.pose = toRos(sample.pose.pose);
  std::copy(std::begin(sample.pose.covariance), std::end(sample.pose.covariance),
            message.pose.covariance.begin());
  return message;
}

geometry_msgs::msg::TransformStamped toRos(const geometry_msgs_msg_dds__TransformStamped_& sample) {
  geometry_msgs::msg::TransformStamped message;
  message.header = toRos(sample.header);
  message.child_frame_id = toString(sample.child_frame_id);
  message.transform.translation = toRos(sample.transform.translation);
  message.transform.rotation = toRos(sample.transform.rotation);
  return message;
}

tf2_msgs::msg::TFMessage toRos(const tf2_msgs_msg_dds__TFMessage_& sample) {
  tf2_msgs::msg::TFMessage message;
  message.transforms.reserve(sample.transforms._length);
  for (uint32_t i = 0; i < sample.transforms._length; ++i) {
    message.transforms.push_back(toRos(sample.transforms._buffer[i]));
  }
  return message;
}

nav_msgs::msg::Path toRos(const nav_msgs_msg_dds__Path_& sample) {
  nav_msgs::msg::Path message;
  message.header = toRos(sample.header);
  message.poses.reserve(sample.poses._length);
  for (uint32_t i = 0; i < sample.poses._length; ++i) {
    message.poses.push_back(toRos(sample.poses._buffer[i]));
  }
  return message;
}

nav_msgs::msg::Odometry toRos(const nav_msgs_msg_dds__Odometry_& sample) {
  nav_msgs::msg::Odometry message;
  message.header = toRos(sample.header);
  message.child_frame_id = toString(sample.child_frame_id);
  message.pose.pose = toRos(sample.pose.pose);
  std::copy(std::begin(sample.pose.covariance), std::end(sample.pose.covariance),
            message.pose.covariance.begin());
  message.twist.twist = toRos(sample.twist.twist);
  std::copy(std::begin(sample.twist.covariance), std::end(sample.twist.covariance),
            message.twist.covariance.begin());
  return message;
}

std_msgs::msg::String toRos(const std_msgs_msg_dds__String_& sample) {
  std_msgs::msg::String message;
  message.data = toString(sample.data);
  return message;
}

rosgraph_msgs::msg::Clock toRos(const rosgraph_msgs_msg_dds__Clock_& sample) {
  rosgraph_msgs::msg::Clock message;
  message.clock = toRos(sample.clock);
  return message;
}

std_msgs_msg_dds__Header_ toSample(const std_msgs::msg::Header& message) {
  return {toSample(message.stamp), borrowed(message.frame_id)};
}

geometry_msgs_msg_dds__Pose_ toSample(const geometry_msgs::msg::Pose& message) {
  return {toSample(message.position), toSample(message.orientation)};
}

geometry_msgs_msg_dds__PoseStamped_ toSample(const geometry_msgs::msg::PoseStamped& message) {
  return {toSample(message.header), toSample(message.pose)};
}

geometry_msgs_msg_dds__Twist_ toSample(const geometry_msgs::msg::Twist& message) {
  return {toSample(message.linear), toSample(message.angular)};
}

geometry_msgs_msg_dds__TwistStamped_ toSample(const geometry_msgs::msg::TwistStamped& message) {
  return {toSample(message.header), toSample(message.twist)};
}

geometry_msgs_msg_dds__PointStamped_ toSample(const geometry_msgs::msg::PointStamped& message) {
  return {toSample(message.header), toSample(message.point)};
}

geometry_msgs_msg_dds__PoseWithCovarianceStamped_ toSample(
    const geometry_msgs::msg::PoseWithCovarianceStamped& message) {
  geometry_msgs_msg_dds__PoseWithCovarianceStamped_ sample{};
  sample.header = toSample(message.header);
  sample.pose.pose = toSample(message.pose.pose);
  std::copy(message.pose.covariance.begin(), message.pose.covariance.end(),
            std::begin(sample.pose.covariance));
  return sample;
}

geometry_msgs_msg_dds__TransformStamped_ toSample(
    const geometry_msgs::msg::TransformStamped& message) {
  const auto& transform = message.transform;
  return {toSample(message.header),
          borrowed(message.child_frame_id),
          {toSample(transform.translation), toSample(transform.rotation)}};
}

nav_msgs_msg_dds__Odometry_ toSample(const nav_msgs::msg::Odometry& message) {
  nav_msgs_msg_dds__Odometry_ sample{};
  sample.header = toSample(message.header);
  sample.child_frame_id = borrowed(message.child_frame_id);
  sample.pose.pose = toSample(message.pose.pose);
  std::copy(message.pose.covariance.begin(), message.pose.covariance.end(),
            std::begin(sample.pose.covariance));
  sample.twist.twist = toSample(message.twist.twist);
  std::copy(message.twist.covariance.begin(), message.twist.covariance.end(),
            std::begin(sample.twist.covariance));
  return sample;
}

std_msgs_msg_dds__String_ toSample(const std_msgs::msg::String& message) {
  return {borrowed(message.data)};
}

PathSample::PathSample(const nav_msgs::msg::Path& message) : sample_{} {
  poses_.reserve(message.poses.size());
  for (const auto& pose : message.poses) {
    poses_.push_back(toSample(pose));
  }
  sample_.header = toSample(message.header);
  sample_.poses._maximum = static_cast<uint32_t>(poses_.size());
  sample_.poses._length = static_cast<uint32_t>(poses_.size());
  sample_.poses._buffer = poses_.data();
  // The buffer belongs to this object: Cyclone must never free it.
  sample_.poses._release = false;
}

TFMessageSample::TFMessageSample(const tf2_msgs::msg::TFMessage& message) : sample_{} {
  transforms_.reserve(message.transforms.size());
  for (const auto& transform : message.transforms) {
    transforms_.push_back(toSample(transform));
  }
  sample_.transforms._maximum = static_cast<uint32_t>(transforms_.size());
  sample_.transforms._length = static_cast<uint32_t>(transforms_.size());
  sample_.transforms._buffer = transforms_.data();
  // The buffer belongs to this object: Cyclone must never free it.
  sample_.transforms._release = false;
}

rosgraph_msgs_msg_dds__Clock_ toSample(const rosgraph_msgs::msg::Clock& message) {
  return {toSample(message.clock)};
}

}  // namespace wire
