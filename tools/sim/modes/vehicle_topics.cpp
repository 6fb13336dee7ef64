#include "sim/modes/vehicle_topics.hpp"

#include <cmath>

#include "wire/qos.hpp"
#include "wire/stamps.hpp"
#include "wire/topic_names.hpp"

namespace sim {
namespace {

constexpr const char* kOdometryFrame = "odom";
constexpr const char* kVehicleFrame = "base_link";
// Indices of x, y and yaw on the diagonal of a 6x6 row-major covariance.
constexpr std::size_t kVarianceX = 0;
constexpr std::size_t kVarianceY = 7;
constexpr std::size_t kVarianceYaw = 35;

geometry_msgs::msg::Pose poseMessage(const common::Pose2D& pose) {
  geometry_msgs::msg::Pose message;
  message.position.x = pose.x;
  message.position.y = pose.y;
  message.orientation.z = std::sin(pose.heading / 2);
  message.orientation.w = std::cos(pose.heading / 2);
  return message;
}

}  // namespace

nav_msgs::msg::Odometry odometryMessage(const VehicleReport& report,
                                        const common::VehicleSettings& settings) {
  nav_msgs::msg::Odometry odometry;
  odometry.header.stamp = wire::wallClockStamp();
  odometry.header.frame_id = kOdometryFrame;
  odometry.child_frame_id = kVehicleFrame;
  odometry.pose.pose = poseMessage(report.pose);
  odometry.pose.covariance[kVarianceX] = settings.noiseXY * settings.noiseXY;
  odometry.pose.covariance[kVarianceY] = settings.noiseXY * settings.noiseXY;
  odometry.pose.covariance[kVarianceYaw] = settings.noiseHeading * settings.noiseHeading;
  odometry.twist.twist.linear.x = report.v;
  odometry.twist.twist.angular.z = report.w;
  return odometry;
}

nav_msgs::msg::Path planMessage(const std::vector<common::Pose2D>& route) {
  nav_msgs::msg::Path path;
  path.header.stamp = wire::wallClockStamp();
  path.header.frame_id = kOdometryFrame;
  for (const common::Pose2D& pose : route) {
    geometry_msgs::msg::PoseStamped stamped;
    stamped.header = path.header;
    stamped.pose = poseMessage(pose);
    path.poses.push_back(stamped);
  }
  return path;
}

VehicleTopics::VehicleTopics(const DdsSettings& settings)
    : participant_(settings.domain),
      odometry_(participant_, wire::ddsTopicName(settings.nameSpace, "odom"),
                wire::odometryQos().get()),
      plan_(participant_, wire::ddsTopicName(settings.nameSpace, "plan"), wire::pathQos().get()) {
  const std::string commandTopic = wire::ddsTopicName(settings.nameSpace, "cmd_vel");
  if (settings.stamped) {
    stampedCommand_.emplace(participant_, commandTopic, wire::commandQos().get());
  } else {
    command_.emplace(participant_, commandTopic, wire::commandQos().get());
  }
}

std::optional<geometry_msgs::msg::Twist> VehicleTopics::takeNewestCommand() {
  if (command_) {
    auto commands = command_->take();
    return commands.empty() ? std::nullopt : std::optional(commands.back());
  }
  auto commands = stampedCommand_->take();
  return commands.empty() ? std::nullopt : std::optional(commands.back().twist);
}

bool VehicleTopics::publishPlan(const nav_msgs::msg::Path& path, std::chrono::nanoseconds timeout) {
  plan_.publish(path);
  return plan_.waitForAcknowledgement(timeout);
}

}  // namespace sim
