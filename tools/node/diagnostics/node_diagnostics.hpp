#pragma once

// The node's state as a diagnostic_msgs/msg/DiagnosticArray, for /diagnostics, where ROS 2's
// diagnostic aggregator and rqt_robot_monitor read every program's. One status, named as
// diagnostic_updater names a node's task, "<node's full name without the leading '/'>: <task>":
// "trelvo_node: route", or "robot1/trelvo_node: route" under --namespace robot1, so that the
// statuses of a fleet's nodes stay apart on the one topic. Its hardware is the vehicle driven,
// known by its command topic ("/robot1/cmd_vel").
//
// Level, the first that applies:
//   ERROR  the bond with the lifecycle manager broken (a managed node: the vehicle stopped);
//          two or more writers publishing the pose topic (the vehicle stopped, its route held);
//          driving a route without any pose so far, or with nothing subscribing the commands;
//   WARN   a warning whose cause stands (a configuration mistake, a stall), a path refused since
//          the last route was taken, a pose older than the pose timeout, no pose so far, or
//          nothing subscribing the commands while idle;
//   OK     driving, a route finished, or waiting for a route (a managed node: for a goal), with
//          all of that in order.
// A warning whose cause has gone no longer holds the level, but stays under "last warning". Each
// message names the topic it is about (the poses' source is TF's transform under --pose-from-tf).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <builtin_interfaces/msg/time.hpp>
#include <diagnostic_msgs/msg/diagnostic_array.hpp>

namespace node {

struct NodeStatus {
  std::string nameSpace;          // as --namespace gives it; empty: none
  std::string nodeName;           // its name on the ROS 2 graph, "trelvo_node"
  std::string commandTopic;       // ROS name, "/robot1/cmd_vel"
  std::string poseTopic;          // ROS name, "/robot1/odom", or "TF map -> base_link"
  std::string planTopic;          // ROS name, "/robot1/plan"; empty: paths are not taken there
  std::string goalAction;         // ROS name, "/follow_path"; empty: not a managed node
  bool driving = false;           // a route is being driven
  std::size_t legs = 0;           // legs of the route driven or finished; 0: no route
  std::size_t leg = 0;            // the leg driven, from 1; legs + 1 once finished
  std::string pathRefusal;        // why the latest path was refused; empty: none since a route
  std::string state;              // "line move", "route finished", "stopped: no fresh pose", ...
  std::optional<double> poseAge;  // s since the newest pose arrived; nothing: none so far
  double poseTimeout = 0.5;       // s
  std::uint32_t commandSubscribers = 0;
  std::vector<std::string> standingWarnings;
  std::vector<std::string> poseWriters;  // GUIDs, while more than one publishes poses
  std::string lastWarning;               // empty: none given
  std::string speedLimit = "none";       // the limit in force on the route's commands
  std::string obstacleZone;     // the clearance zone in force, "clear"; empty: obstacles off
  std::string nearestObstacle;  // "(1.00, 0.00) in the base frame", "none"
  std::string blockedFor;       // "12.3 s", "not blocked"
  std::string lifecycleState;   // "active", ...; empty: not a managed node
  std::string bond;             // "none", "formed", "broken"; empty: not a managed node
  std::string goal;  // the follow_path goal under way, "no goal"; empty: not a managed node
};

/// "trelvo_node: route", "robot1/trelvo_node: route" for the namespace "robot1" or "/robot1/".
std::string diagnosticName(std::string_view nameSpace, std::string_view nodeName);

/// The status of `status`, as described above.
diagnostic_msgs::msg::DiagnosticStatus diagnosticStatus(const NodeStatus& status);

/// The array to publish: the status, stamped `stamp` (ROS 2's time, wire::StampClock).
diagnostic_msgs::msg::DiagnosticArray diagnosticArray(const NodeStatus& status,
                                                      const builtin_interfaces::msg::Time& stamp);

}  // namespace node
