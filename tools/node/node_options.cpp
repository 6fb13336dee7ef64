#include "node/node_options.hpp"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <stdexcept>

#include "common/command_line.hpp"
#include "wire/participant.hpp"

namespace node {
namespace {

void addTopicOptions(CLI::App& app, NodeOptions& options) {
  app.add_option("--namespace", options.nameSpace,
                 "Puts every topic under /NAME/, so that a fleet shares one DDS domain");
  app.add_option("--domain", options.domain, "DDS domain id (default: ROS_DOMAIN_ID, else 0)")
      ->check(CLI::Range(0u, wire::kLargestDomain));
  app.add_option("--pose-topic", options.poseTopic,
                 "Takes geometry_msgs/msg/PoseStamped from this topic instead of odometry on odom");
  app.add_flag("--stamped", options.stamped,
               "Publishes cmd_vel as geometry_msgs/msg/TwistStamped instead of Twist");
}

void addCycleOptions(CLI::App& app, NodeOptions& options) {
  app.add_option("--rate", options.rate, "Control cycles per second, Hz")
      ->check(CLI::Range(1.0, 1000.0))
      ->capture_default_str();
  app.add_option("--pose-timeout", options.poseTimeout,
                 "A pose older than this, s, stops the vehicle until fresh poses arrive")
      ->check(CLI::Range(0.001, 60.0))
      ->capture_default_str();
  app.add_option("--latency-log", options.latencyLog,
                 "Writes each cycle's time from taking the pose to the command written, for "
                 "benchmarks");
}

}  // namespace

std::optional<NodeOptions> parseNodeOptions(int argc, const char* const* argv) {
  CLI::App app{
      "trelvo-node: drives a vehicle along the paths a planner publishes, on a ROS 2 network.\n"
      "Subscribes plan (nav_msgs/msg/Path) and odom (nav_msgs/msg/Odometry), publishes cmd_vel, "
      "lookahead_point and route_progress.",
      "trelvo-node"};
  app.set_version_flag("--version", "trelvo-node " TRELVO_VERSION);
  NodeOptions options;
  options.domain = wire::domainFromEnvironment();
  addTopicOptions(app, options);
  addCycleOptions(app, options);
  try {
    if (!common::parseCommandLine(app, argc, argv)) {
      return std::nullopt;
    }
  } catch (const CLI::ParseError& error) {
    throw std::invalid_argument(error.what());
  }
  return options;
}

}  // namespace node
