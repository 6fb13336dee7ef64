#pragma once

// What the node watches and reports beside driving: each cycle, the endpoints DDS discovery shows
// against the node's own topics (a vehicle that reads another command type, a second node
// commanding the same vehicle, a second pose source, no vehicle at all), each warning logged
// once; and once a second its state as ROS 2 diagnostics, where the robot monitor shows it.

#include <chrono>
#include <string>

#include "node/drive/drive_cycle.hpp"
#include "node/drive/node_log.hpp"
#include "node/node_topics.hpp"
#include "node/watch/configuration_watch.hpp"

namespace node {

/// Diagnostics are published this often, as ROS 2 drivers publish theirs.
inline constexpr std::chrono::seconds kDiagnosticsPeriod{1};

class NodeMonitor {
 public:
  NodeMonitor(NodeTopics& topics, NodeLog& log, const NodeOptions& options);

  /// One control cycle's look at the network, with the drive's state after the cycle.
  void cycle(const DriveStatus& drive, Clock::time_point now);

 private:
  void publishDiagnostics(const DriveStatus& drive);

  NodeTopics& topics_;
  NodeLog& log_;
  std::string nameSpace_;
  std::string nodeName_;
  double poseTimeout_;
  ConfigurationWatch configuration_;
  std::optional<Clock::time_point> diagnosticsSent_;
};

}  // namespace node
