#pragma once

// The node's topics on the ROS 2 network, and the only part of the node that knows DDS: what
// arrives is handed over as the library's message types, what leaves is published from them.
//
//   plan               nav_msgs/msg/Path              subscribed, reliable
//   odom               nav_msgs/msg/Odometry          subscribed, best effort
//     or --pose-topic  geometry_msgs/msg/PoseStamped  subscribed, best effort
//       (--pose-with-covariance: PoseWithCovarianceStamped), or none: --pose-from-tf
//   cmd_vel            geometry_msgs/msg/Twist        published, reliable
//     or --stamped     geometry_msgs/msg/TwistStamped
//   lookahead_point    geometry_msgs/msg/PointStamped published, reliable
//   route_progress     std_msgs/msg/String            published, reliable
//   /diagnostics       diagnostic_msgs/msg/DiagnosticArray  published, reliable, once a second
//   /tf, /tf_static    tf2_msgs/msg/TFMessage         subscribed, as tf2_ros's listener
//   /clock             rosgraph_msgs/msg/Clock        subscribed under --use-sim-time, best effort
//
// Beside them it reads DDS discovery: the readers and writers of every topic on the domain.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <diagnostic_msgs/msg/diagnostic_array.hpp>
#include <geometry_msgs/msg/point_stamped.hpp>
#include <geometry_msgs/msg/pose_stamped.hpp>
#include <geometry_msgs/msg/pose_with_covariance_stamped.hpp>
#include <geometry_msgs/msg/twist.hpp>
#include <geometry_msgs/msg/twist_stamped.hpp>
#include <nav_msgs/msg/odometry.hpp>
#include <nav_msgs/msg/path.hpp>
#include <rosgraph_msgs/msg/clock.hpp>
#include <std_msgs/msg/string.hpp>
#include <tf2_msgs/msg/tf_message.hpp>

#include "node/node_options.hpp"
#include "node/watch/configuration_watch.hpp"
#include "wire/discovery.hpp"
#include "wire/endpoints.hpp"
#include "wire/participant.hpp"
#include "wire/ros_graph.hpp"
#include "wire/stamps.hpp"

namespace node {

struct WrittenPose {
  geometry_msgs::msg::PoseStamped pose;
  std::string writer;  // the DDS GUID of its writer, as text
};

class NodeTopics {
 public:
  explicit NodeTopics(const NodeOptions& options);

  /// Every path that arrived since the last call, oldest first; none while the plan topic is not
  /// subscribed (a managed node not asked to).
  std::vector<nav_msgs::msg::Path> takePaths() {
    return plan_ ? plan_->take() : std::vector<nav_msgs::msg::Path>{};
  }
  /// Every pose that arrived since the last call, from odometry or the pose topic, oldest first,
  /// each with its writer's GUID as text.
  std::vector<WrittenPose> takePoses();
  /// Takes the /clock values that arrived (under --use-sim-time) as the stamps' time. Returns how
  /// far the clock went back, when it did.
  std::optional<double> advanceClock();
  /// Now, as ROS 2 stamps messages: the wall clock, or the simulator's under --use-sim-time.
  builtin_interfaces::msg::Time stamp() const { return clock_.now(); }

  /// TF's transforms that arrived since the last call, oldest first.
  std::vector<tf2_msgs::msg::TFMessage> takeTransforms() { return tf_.take(); }
  std::vector<tf2_msgs::msg::TFMessage> takeStaticTransforms() { return tfStatic_.take(); }
  /// The vehicle's base frame: odometry's child frame, base_link until odometry names one.
  const std::string& baseFrame() const { return baseFrame_; }
  /// The frame the route is driven in, which the look-ahead point is published in.
  void setDriveFrame(const std::string& frame) {
    if (!frame.empty()) {
      driveFrame_ = frame;
    }
  }

  /// Each topic with its direction, type and QoS, for the start-up line: "subscribes /plan
  /// (nav_msgs/msg/Path; reliable, volatile, keep last 10), ...".
  std::string describe() const { return description_; }
  /// Where the poses come from: "/robot1/odom", or "TF map -> base_link".
  const std::string& poseTopic() const { return poseSource_; }

  /// The command and pose topics, as the configuration watch compares them with its peers'.
  WatchedTopics watchedTopics() const;
  /// The readers and writers alive on the domain now, the node's own marked; never waits.
  const std::vector<wire::DiscoveredEndpoint>& endpoints() { return discovery_.endpoints(); }

  /// The node's participant, for the node's other endpoints (the lifecycle's services).
  const wire::Participant& participant() const { return participant_; }
  /// Adds readers and writers of the participant made beside these topics to the node's place in
  /// the ROS 2 graph.
  void announce(const std::vector<dds_entity_t>& endpoints) { graph_->addEndpoints(endpoints); }

  void publishCommand(const geometry_msgs::msg::Twist& command);
  /// Whether anyone reads /diagnostics now: the status is built only for a reader.
  bool diagnosticsRead() const;
  void publishDiagnostics(const diagnostic_msgs::msg::DiagnosticArray& diagnostics);
  void publishLookAhead(double x, double y);
  void publishProgress(const std::string& text);
  /// Waits, at most `timeout`, until every vehicle subscribed to cmd_vel has acknowledged the
  /// commands published; false when the time ran out.
  bool waitForCommandsAcknowledged(std::chrono::nanoseconds timeout);
  /// How many readers of cmd_vel are matched now.
  std::uint32_t commandReaders() const;
  /// Other programs' writers (GUIDs as text) whose commands arrived on the command topic since the
  /// last call: a second driver of the vehicle, told apart from a program that only has a writer
  /// there (Nav2's recoveries).
  std::vector<std::string> takeOtherCommandWriters();

 private:
  std_msgs::msg::Header header(const std::string& frame) const;
  void subscribePoses(const NodeOptions& options);
  const wire::Endpoint* poseEndpoint() const;
  template <typename Endpoint>
  void note(const char* direction, const Endpoint& endpoint, const dds_qos_t* qos);

  // The look-ahead point is in the frame the route is driven in; a command is in the vehicle's
  // base frame, as odometry names it (its child frame).
  std::string driveFrame_ = "odom";
  std::string baseFrame_ = "base_link";
  wire::Participant participant_;
  std::optional<wire::Subscription<nav_msgs::msg::Path>> plan_;
  wire::Subscription<tf2_msgs::msg::TFMessage> tf_;
  wire::Subscription<tf2_msgs::msg::TFMessage> tfStatic_;
  std::optional<wire::Subscription<nav_msgs::msg::Odometry>> odometry_;
  std::optional<wire::Subscription<geometry_msgs::msg::PoseStamped>> poses_;
  std::optional<wire::Subscription<geometry_msgs::msg::PoseWithCovarianceStamped>> covariancePoses_;
  std::string poseSource_;
  std::optional<wire::Publisher<geometry_msgs::msg::Twist>> command_;
  std::optional<wire::Publisher<geometry_msgs::msg::TwistStamped>> stampedCommand_;
  std::optional<wire::Subscription<geometry_msgs::msg::Twist>> commandEcho_;
  std::optional<wire::Subscription<geometry_msgs::msg::TwistStamped>> stampedCommandEcho_;
  wire::Publisher<geometry_msgs::msg::PointStamped> lookAhead_;
  wire::Publisher<std_msgs::msg::String> progress_;
  wire::Publisher<diagnostic_msgs::msg::DiagnosticArray> diagnostics_;
  wire::StampClock clock_;
  std::optional<wire::Subscription<rosgraph_msgs::msg::Clock>> clockTopic_;
  wire::Discovery discovery_;
  std::optional<wire::RosGraph> graph_;
  std::string description_;
};

}  // namespace node
