#pragma once

// The DDS vehicle's topics on the ROS 2 network, and the only part of trelvo-sim that knows DDS:
//
//   cmd_vel           geometry_msgs/msg/Twist    subscribed, reliable
//     or --stamped    geometry_msgs/msg/TwistStamped
//   odom              nav_msgs/msg/Odometry      published, reliable
//   plan              nav_msgs/msg/Path          published with --waypoints, reliable
//
// Odometry is in frame "odom" with child frame "base_link", stamped with the wall clock.

#include <chrono>
#include <optional>
#include <vector>

#include <geometry_msgs/msg/twist.hpp>
#include <geometry_msgs/msg/twist_stamped.hpp>
#include <nav_msgs/msg/odometry.hpp>
#include <nav_msgs/msg/path.hpp>

#include "common/pose.hpp"
#include "common/vehicle_settings.hpp"
#include "sim/cli/dds_options.hpp"
#include "wire/endpoints.hpp"
#include "wire/participant.hpp"

namespace sim {

/// What a vehicle reports: its measured pose and the speeds it drives at (m/s, rad/s).
struct VehicleReport {
  common::Pose2D pose;
  double v;
  double w;
};

/// The odometry message of a report, with the pose noise's variances as its pose covariance.
nav_msgs::msg::Odometry odometryMessage(const VehicleReport& report,
                                        const common::VehicleSettings& settings);
/// The route as a path in frame "odom", each pose's heading as its orientation.
nav_msgs::msg::Path planMessage(const std::vector<common::Pose2D>& route);

class VehicleTopics {
 public:
  explicit VehicleTopics(const DdsSettings& settings);

  /// The newest command that arrived since the last call, if any.
  std::optional<geometry_msgs::msg::Twist> takeNewestCommand();
  void publishOdometry(const nav_msgs::msg::Odometry& odometry) { odometry_.publish(odometry); }
  /// How many subscribers of plan are matched now.
  std::uint32_t planSubscribers() const { return plan_.matchedSubscriptions(); }
  /// Publishes the path and waits, at most `timeout`, for its subscribers to acknowledge it;
  /// false when the time ran out.
  bool publishPlan(const nav_msgs::msg::Path& path, std::chrono::nanoseconds timeout);

 private:
  wire::Participant participant_;
  std::optional<wire::Subscription<geometry_msgs::msg::Twist>> command_;
  std::optional<wire::Subscription<geometry_msgs::msg::TwistStamped>> stampedCommand_;
  wire::Publisher<nav_msgs::msg::Odometry> odometry_;
  wire::Publisher<nav_msgs::msg::Path> plan_;
};

}  // namespace sim
