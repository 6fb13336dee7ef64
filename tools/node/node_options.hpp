#pragma once

// The trelvo-node command line.

#include <cstdint>
#include <optional>
#include <string>

#include "node/drive/command_ramp.hpp"

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
  RampLimits ramp;             // --max-accel, --max-decel, --max-turn-accel; all 0: off
};

/// Parses the command line; nothing when --help or --version was asked for. Throws
/// std::invalid_argument for bad input (or a bad ROS_DOMAIN_ID without --domain), its message one
/// line naming the option and what is wrong with it.
std::optional<NodeOptions> parseNodeOptions(int argc, const char* const* argv);

}  // namespace node
