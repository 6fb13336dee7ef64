#pragma once

// Poses, paths and a simple vehicle for driving a Controller in tests.

#include <cmath>

#include <geometry_msgs/msg/pose_stamped.hpp>
#include <geometry_msgs/msg/twist.hpp>
#include <nav_msgs/msg/path.hpp>

namespace trelvo_test {

inline geometry_msgs::msg::PoseStamped planarPose(double x, double y, double yaw) {
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.z = std::sin(yaw / 2);
  pose.pose.orientation.w = std::cos(yaw / 2);
  return pose;
}

inline nav_msgs::msg::Path straightPath(double x0, double y0, double x1, double y1,
                                        double goalYaw) {
  nav_msgs::msg::Path path;
  path.poses.push_back(planarPose(x0, y0, 0.0));
  path.poses.push_back(planarPose(x1, y1, goalYaw));
  return path;
}

inline double radians(double degrees) {
  return degrees / 180.0 * M_PI;
}

// Kinematic unicycle: integrates a command over one control period.
struct Unicycle {
  double x;
  double y;
  double yaw;

  void apply(const geometry_msgs::msg::Twist& cmd, double dt) {
    yaw += cmd.angular.z * dt;
    x += cmd.linear.x * std::cos(yaw) * dt;
    y += cmd.linear.x * std::sin(yaw) * dt;
  }
  geometry_msgs::msg::PoseStamped pose() const { return planarPose(x, y, yaw); }
};

}  // namespace trelvo_test
