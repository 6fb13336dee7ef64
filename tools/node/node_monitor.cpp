#include "node/node_monitor.hpp"

#include "node/diagnostics/node_diagnostics.hpp"
#include "wire/topic_names.hpp"

namespace node {

NodeMonitor::NodeMonitor(NodeTopics& topics, NodeLog& log, const NodeOptions& options)
    : topics_(topics),
      log_(log),
      nameSpace_(options.nameSpace),
      nodeName_(options.nodeName),
      planTopic_(options.takesPlans() ? options.topic(options.planTopic) : std::string()),
      goalAction_(options.lifecycle
                      ? wire::rosTopicName(wire::ddsTopicName(
                            options.nameSpace, options.topic(options.followPathAction)))
                      : std::string()),
      poseTimeout_(options.poseTimeout),
      configuration_(topics.watchedTopics()) {}

void NodeMonitor::cycle(const DriveCycle& drive, const DriveFrames& frames, Clock::time_point now) {
  if (lastLook_ && now - *lastLook_ < kMonitorPeriod) {
    return;
  }
  lastLook_ = now;
  const DriveStatus status = drive.status(now);
  for (const std::string& warning : configuration_.update(topics_.endpoints(), status.driving, now,
                                                          topics_.takeOtherCommandWriters())) {
    log_.warn("{}", warning);
  }
  // A localisation that stops matters while a route is driven through its transform.
  std::optional<std::string> silent;
  if (status.driving) {
    silent = frames.silentLocalisation(now);
  }
  if (silent && !silenceLogged_) {
    log_.warn("{}", *silent);
  }
  silenceLogged_ = silent.has_value();
  if (topics_.diagnosticsRead()) {
    publishDiagnostics(status, silent);
  }
}

void NodeMonitor::publishDiagnostics(const DriveStatus& drive,
                                     const std::optional<std::string>& silent) {
  const WatchedTopics watched = topics_.watchedTopics();
  NodeStatus status;
  status.nameSpace = nameSpace_;
  status.nodeName = nodeName_;
  status.commandTopic = wire::rosTopicName(watched.commandTopic);
  status.poseTopic = topics_.poseTopic();
  status.planTopic = planTopic_;
  status.goalAction = goalAction_;
  status.pathRefusal = drive.pathRefusal;
  status.driving = drive.driving;
  status.legs = drive.legs;
  status.leg = drive.leg;
  status.state = drive.state;
  status.poseAge = drive.poseAge;
  status.poseTimeout = poseTimeout_;
  status.commandSubscribers = topics_.commandReaders();
  status.standingWarnings = configuration_.standing();
  status.standingWarnings.insert(status.standingWarnings.end(), drive.standingWarnings.begin(),
                                 drive.standingWarnings.end());
  if (silent) {
    status.standingWarnings.push_back(*silent);
  }
  status.poseWriters = drive.poseWriters;
  status.lastWarning = log_.lastWarning();
  status.speedLimit = drive.speedLimit;
  if (drive.guard) {
    status.obstacleZone = drive.guard->zone;
    status.nearestObstacle = drive.guard->nearest;
    status.blockedFor = drive.guard->blockedFor;
  }
  if (managed_) {
    const ManagedReport managed = managed_();
    status.lifecycleState = managed.lifecycleState;
    status.bond = managed.bond;
    status.goal = managed.goal;
  }
  topics_.publishDiagnostics(diagnosticArray(status, topics_.stamp()));
}

}  // namespace node
