#pragma once

// What the node watches and reports beside driving, once a second: the endpoints DDS discovery
// shows against the node's own topics (a vehicle that reads another command type, a second node
// commanding the same vehicle, a second pose source, no vehicle at all), each warning logged once;
// then its state as ROS 2 diagnostics, where the robot monitor shows it. Discovery changes over
// seconds, so a look every control cycle would cost the node's cycles and tell nothing more.

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "node/drive/drive_cycle.hpp"
#include "node/drive/drive_frames.hpp"
#include "node/drive/node_log.hpp"
#include "node/node_topics.hpp"
#include "node/watch/configuration_watch.hpp"

namespace node {

/// The network is looked at and diagnostics are published this often, as ROS 2 drivers publish
/// theirs.
inline constexpr std::chrono::seconds kMonitorPeriod{1};

/// A managed node's lifecycle state and bond, as its diagnostics show them.
struct ManagedReport {
  std::string lifecycleState;  // "active", ...
  std::string bond;            // "none", "formed", "broken"
  std::string goal;            // "goal 1b4e28ba-... executing", "no goal"
};

class NodeMonitor {
 public:
  NodeMonitor(NodeTopics& topics, NodeLog& log, const NodeOptions& options);

  /// Called after each control cycle; in the first and then once every kMonitorPeriod, looks at
  /// the network and publishes diagnostics with the drive's state.
  void cycle(const DriveCycle& drive, const DriveFrames& frames, Clock::time_point now);
  /// A managed node: its diagnostics show what `report` gives.
  void reportManaged(std::function<ManagedReport()> report) { managed_ = std::move(report); }

 private:
  void publishDiagnostics(const DriveStatus& drive, const std::optional<std::string>& silent);

  NodeTopics& topics_;
  NodeLog& log_;
  std::string nameSpace_;
  std::string nodeName_;
  std::string planTopic_;
  std::string goalAction_;
  double poseTimeout_;
  ConfigurationWatch configuration_;
  std::optional<Clock::time_point> lastLook_;
  std::function<ManagedReport()> managed_;
  bool silenceLogged_ = false;  // a silent localisation told of, not yet of its end
};

}  // namespace node
