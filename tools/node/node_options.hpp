#pragma once

// The trelvo-node command line.

#include <cstdint>
#include <optional>
#include <string>

namespace node {

struct NodeOptions {
  double rate = 20.0;          // Hz, control cycles and published commands
  double poseTimeout = 0.5;    // s: older poses stop the vehicle
  std::string nameSpace;       // empty: topics at the root, /cmd_vel
  std::uint32_t domain = 0;    // DDS domain, ROS_DOMAIN_ID unless --domain
  std::string poseTopic;       // empty: nav_msgs/Odometry on odom
  bool stamped = false;        // publish TwistStamped instead of Twist
  std::string frame = "odom";  // frame of the published look-ahead point and stamped commands
  std::string latencyLog;      // empty: none; else one line per cycle, for the benchmark
};

/// Parses the command line; nothing when --help or --version was asked for. Throws CLI's errors'
/// message as std::invalid_argument for bad input.
std::optional<NodeOptions> parseNodeOptions(int argc, const char* const* argv);

}  // namespace node
