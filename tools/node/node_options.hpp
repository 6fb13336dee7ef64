#pragma once

// The trelvo-node command line.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "node/drive/command_ramp.hpp"
#include "node/obstacles/obstacle_options.hpp"
#include "node/ros_args/ros_arguments.hpp"
#include "node/ros_args/ros_distro_option.hpp"

namespace node {

/// How close the route's end brings the vehicle to its goal: the controller's 5 cm box about the
/// goal point, and 5° about its heading. A goal checker's tolerance must allow that much.
inline constexpr double kRouteEndsWithin = 0.05 * 1.4142135623730951;           // m
inline constexpr double kRouteEndsWithinYaw = 5.0 / 180.0 * 3.141592653589793;  // rad

struct NodeOptions {
  double rate = 20.0;                   // Hz, control cycles and published commands
  double poseTimeout = 0.5;             // s: older poses stop the vehicle
  double transformTimeout = 0.5;        // s a path waits for TF to join its frame to the poses'
  std::string nameSpace;                // empty: topics at the root, /cmd_vel
  std::uint32_t domain = 0;             // DDS domain, ROS_DOMAIN_ID unless --domain
  std::string planTopic = "plan";       // nav_msgs/msg/Path in
  bool planTopicGiven = false;          // --plan-topic named: a managed node takes paths there too
  std::string odomTopic = "odom";       // nav_msgs/msg/Odometry in, unless --pose-topic
  std::string cmdVelTopic = "cmd_vel";  // the command out
  std::string poseTopic;                // empty: nav_msgs/Odometry on odomTopic
  bool poseWithCovariance = false;      // poseTopic carries PoseWithCovarianceStamped
  std::vector<std::string> poseFromTf;  // {GLOBAL, BASE}: the pose from TF; empty: from a topic
  bool stamped = false;                 // publish TwistStamped instead of Twist
  bool useSimTime = false;              // stamps in /clock's time, as ROS 2's use_sim_time
  int realtimePriority = 0;             // SCHED_FIFO priority of the control cycle; 0: normal
  std::string latencyLog;               // empty: none; else one line per cycle, for the benchmark
  bool lifecycle = false;               // a managed node: starts unconfigured, drives while active
  std::string followPathAction = "follow_path";  // the action a managed node serves
  double failureTolerance = 1.0;  // s a goal goes without a fresh pose before it fails; -1: ever
  // The plugin names a goal may ask for, as Nav2's params file gives its controller server; a
  // goal naming none (empty) takes the only one.
  std::vector<std::string> controllerPlugins{"FollowPath"};
  std::vector<std::string> goalCheckerPlugins{"general_goal_checker"};
  std::vector<std::string> progressCheckerPlugins{"progress_checker"};
  // Nav2's goal checker and progress checker settings; the route's end and the stall watch.
  double xyGoalTolerance = 0.25;         // m: the route ends closer (kRouteEndsWithin)
  double yawGoalTolerance = 0.25;        // rad
  double requiredMovementRadius = 0.01;  // m the vehicle must move ...
  double movementTimeAllowance = 3.0;    // ... within this many s, or it stalls
  RampLimits ramp;                       // --max-accel, --max-decel, --max-turn-accel; all 0: off
  ObstacleOptions obstacles;             // --scan-topic and the vehicle's outline; off by default
  std::string nodeName = kDefaultNodeName;        // its name on the ROS graph, -r __node:=NAME
  wire::RosDistro rosDistro = kDefaultRosDistro;  // whose graph layout it announces
  RosArguments ros;                      // what came after --ros-args: remappings above all
  std::optional<std::string> rosNotice;  // one line on what of it the node does not use

  /// Whether paths are taken from the plan topic: always, but in a managed node only when asked
  /// for, as Nav2's planner publishes every plan it computes there for display.
  bool takesPlans() const { return !lifecycle || planTopicGiven; }

  /// The ROS name of one of the node's topics, given as the program names it ("cmd_vel"), after
  /// the remappings of --ros-args: "/robot1/diff_drive_controller/cmd_vel" or "cmd_vel".
  std::string topic(const std::string& name) const { return ros.remapped(name, nameSpace); }
};

/// Parses the command line, ROS 2's arguments after --ros-args included (remappings, namespace,
/// node name, parameters for every option); nothing when --help or --version was asked for. Throws
/// std::invalid_argument for bad input (or a bad ROS_DOMAIN_ID without --domain), its message one
/// line naming the option and what is wrong with it.
std::optional<NodeOptions> parseNodeOptions(int argc, const char* const* argv);

}  // namespace node
