#include "node/node_monitor.hpp"

#include "node/diagnostics/node_diagnostics.hpp"
#include "wire/stamps.hpp"
#include "wire/topic_names.hpp"

namespace node {

NodeMonitor::NodeMonitor(NodeTopics& topics, NodeLog& log, const NodeOptions& options)
    : topics_(topics),
      log_(log),
      nameSpace_(options.nameSpace),
      nodeName_(options.nodeName),
      planTopic_(options.topic(options.planTopic)),
      poseTimeout_(options.poseTimeout),
      configuration_(topics.watchedTopics()) {}

void NodeMonitor::cycle(const DriveCycle& drive, Clock::time_point now) {
  if (lastLook_ && now - *lastLook_ < kMonitorPeriod) {
    return;
  }
  lastLook_ = now;
  const DriveStatus status = drive.status(now);
  for (const std::string& warning :
       configuration_.update(topics_.endpoints(), status.driving, now)) {
    log_.warn("{}", warning);
  }
  publishDiagnostics(status);
}

void NodeMonitor::publishDiagnostics(const DriveStatus& drive) {
  const WatchedTopics watched = topics_.watchedTopics();
  NodeStatus status;
  status.nameSpace = nameSpace_;
  status.nodeName = nodeName_;
  status.commandTopic = wire::rosTopicName(watched.commandTopic);
  status.poseTopic = topics_.poseTopic();
  status.planTopic = planTopic_;
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
  status.lastWarning = log_.lastWarning();
  topics_.publishDiagnostics(diagnosticArray(status, wire::wallClockStamp()));
}

}  // namespace node
