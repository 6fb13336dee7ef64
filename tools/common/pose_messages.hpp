#pragma once

// Planar poses as the ROS 2 messages the controller takes.

#include <cmath>

#include <geometry_msgs/msg/pose_stamped.hpp>

#include "common/pose.hpp"

namespace common {

/// `pose` in the plane: z 0, the heading as a rotation about z.
inline geometry_msgs::msg::PoseStamped stampedPose(const Pose2D& pose) {
  geometry_msgs::msg::PoseStamped stamped;
  stamped.pose.position.x = pose.x;
  stamped.pose.position.y = pose.y;
  stamped.pose.orientation.z = std::sin(pose.heading / 2);
  stamped.pose.orientation.w = std::cos(pose.heading / 2);
  return stamped;
}

}  // namespace common
