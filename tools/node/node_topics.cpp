#include "node/node_topics.hpp"

#include <algorithm>
#include <utility>

#include "wire/qos.hpp"
#include "wire/stamps.hpp"
#include "wire/topic_names.hpp"
#include "wire/user_data.hpp"

namespace node {
namespace {

// An endpoint's QoS with the user data the ROS 2 distribution's middleware gives it (Jazzy's type
// hash), so that its tools see the endpoint as a ROS 2 one.
template <typename Message>
wire::Qos rosQos(wire::Qos qos, const NodeOptions& options) {
  return wire::rosEndpointQos<Message>(std::move(qos), options.rosDistro);
}

}  // namespace

NodeTopics::NodeTopics(const NodeOptions& options)
    : participant_(options.domain, wire::rosParticipantQos().get()),
      // Absolute, as tf2_ros's listener takes them.
      tf_(participant_, wire::ddsTopicName(options.nameSpace, options.topic("/tf")),
          rosQos<tf2_msgs::msg::TFMessage>(wire::tfQos(), options).get()),
      tfStatic_(participant_, wire::ddsTopicName(options.nameSpace, options.topic("/tf_static")),
                rosQos<tf2_msgs::msg::TFMessage>(wire::tfStaticQos(), options).get()),
      lookAhead_(participant_,
                 wire::ddsTopicName(options.nameSpace, options.topic("lookahead_point")),
                 rosQos<geometry_msgs::msg::PointStamped>(wire::statusQos(), options).get()),
      progress_(participant_,
                wire::ddsTopicName(options.nameSpace, options.topic("route_progress")),
                rosQos<std_msgs::msg::String>(wire::statusQos(), options).get()),
      // Absolute, as ROS 2 drivers publish it: the aggregator reads every node's on one topic.
      diagnostics_(participant_,
                   wire::ddsTopicName(options.nameSpace, options.topic("/diagnostics")),
                   rosQos<diagnostic_msgs::msg::DiagnosticArray>(wire::statusQos(), options).get()),
      clock_(options.useSimTime),
      discovery_(participant_) {
  const auto& ns = options.nameSpace;
  if (options.takesPlans()) {
    plan_.emplace(participant_,
                  wire::ddsTopicName(options.nameSpace, options.topic(options.planTopic)),
                  rosQos<nav_msgs::msg::Path>(wire::pathQos(), options).get());
    note("subscribes", *plan_, wire::pathQos().get());
  }
  note("subscribes", tf_, wire::tfQos().get());
  note("subscribes", tfStatic_, wire::tfStaticQos().get());
  if (options.useSimTime) {
    // Absolute, as ROS 2's time source subscribes it.
    clockTopic_.emplace(participant_,
                        wire::ddsTopicName(options.nameSpace, options.topic("/clock")),
                        rosQos<rosgraph_msgs::msg::Clock>(wire::clockQos(), options).get());
    note("subscribes", *clockTopic_, wire::clockQos().get());
  }
  subscribePoses(options);
  if (options.stamped) {
    stampedCommand_.emplace(
        participant_, wire::ddsTopicName(ns, options.topic(options.cmdVelTopic)),
        rosQos<geometry_msgs::msg::TwistStamped>(wire::commandQos(), options).get());
    note("publishes", *stampedCommand_, wire::commandQos().get());
    stampedCommandEcho_.emplace(participant_, stampedCommand_->topicName(),
                                wire::commandEchoQos().get());
  } else {
    command_.emplace(participant_, wire::ddsTopicName(ns, options.topic(options.cmdVelTopic)),
                     rosQos<geometry_msgs::msg::Twist>(wire::commandQos(), options).get());
    note("publishes", *command_, wire::commandQos().get());
    commandEcho_.emplace(participant_, command_->topicName(), wire::commandEchoQos().get());
  }
  note("publishes", lookAhead_, wire::statusQos().get());
  note("publishes", progress_, wire::statusQos().get());
  note("publishes", diagnostics_, wire::statusQos().get());
  const wire::Endpoint& command =
      command_ ? static_cast<const wire::Endpoint&>(*command_) : *stampedCommand_;
  std::vector<dds_entity_t> endpoints{tf_.entity(),       tfStatic_.entity(),
                                      command.entity(),   lookAhead_.entity(),
                                      progress_.entity(), diagnostics_.entity()};
  if (plan_) {
    endpoints.push_back(plan_->entity());
  }
  if (const wire::Endpoint* poses = poseEndpoint()) {
    endpoints.push_back(poses->entity());
  }
  if (clockTopic_) {
    endpoints.push_back(clockTopic_->entity());
  }
  graph_.emplace(participant_, options.nodeName, options.nameSpace, options.rosDistro, endpoints);
}

// Odometry, unless a pose topic (PoseStamped, or AMCL's PoseWithCovarianceStamped) or TF is the
// source; TF's poses come through the frames, not through a topic of their own.
void NodeTopics::subscribePoses(const NodeOptions& options) {
  const auto& ns = options.nameSpace;
  if (!options.poseFromTf.empty()) {
    poseSource_ = "TF " + options.poseFromTf[0] + " -> " + options.poseFromTf[1];
    return;
  }
  if (options.poseTopic.empty()) {
    odometry_.emplace(participant_, wire::ddsTopicName(ns, options.topic(options.odomTopic)),
                      rosQos<nav_msgs::msg::Odometry>(wire::poseSourceQos(), options).get());
    note("subscribes", *odometry_, wire::poseSourceQos().get());
  } else if (options.poseWithCovariance) {
    covariancePoses_.emplace(
        participant_, wire::ddsTopicName(ns, options.topic(options.poseTopic)),
        rosQos<geometry_msgs::msg::PoseWithCovarianceStamped>(wire::poseSourceQos(), options)
            .get());
    note("subscribes", *covariancePoses_, wire::poseSourceQos().get());
  } else {
    poses_.emplace(participant_, wire::ddsTopicName(ns, options.topic(options.poseTopic)),
                   rosQos<geometry_msgs::msg::PoseStamped>(wire::poseSourceQos(), options).get());
    note("subscribes", *poses_, wire::poseSourceQos().get());
  }
  poseSource_ = wire::rosTopicName(poseEndpoint()->topicName());
}

const wire::Endpoint* NodeTopics::poseEndpoint() const {
  if (odometry_) {
    return &*odometry_;
  }
  if (poses_) {
    return &*poses_;
  }
  if (covariancePoses_) {
    return &*covariancePoses_;
  }
  return nullptr;
}

template <typename Endpoint>
void NodeTopics::note(const char* direction, const Endpoint& endpoint, const dds_qos_t* qos) {
  if (!description_.empty()) {
    description_ += ", ";
  }
  description_ += std::string(direction) + " " + wire::rosTopicName(endpoint.topicName()) + " (" +
                  wire::rosTypeName(endpoint.typeName()) + "; " + wire::qosText(qos) + ")";
}

WatchedTopics NodeTopics::watchedTopics() const {
  const wire::Endpoint& command =
      command_ ? static_cast<const wire::Endpoint&>(*command_) : *stampedCommand_;
  // Poses from TF come from no topic of their own: nothing to compare.
  const wire::Endpoint* poses = poseEndpoint();
  return {command.topicName(), command.typeName(), poses ? poses->topicName() : std::string(),
          poses ? poses->typeName() : std::string()};
}

std::vector<WrittenPose> NodeTopics::takePoses() {
  std::vector<WrittenPose> poses;
  if (poses_) {
    for (auto& written : poses_->takeWithWriters()) {
      poses.push_back({std::move(written.message), wire::guidText(written.writer)});
    }
  } else if (covariancePoses_) {
    for (const auto& written : covariancePoses_->takeWithWriters()) {
      geometry_msgs::msg::PoseStamped pose;
      pose.header = written.message.header;
      pose.pose = written.message.pose.pose;
      poses.push_back({pose, wire::guidText(written.writer)});
    }
  } else if (odometry_) {
    for (const auto& written : odometry_->takeWithWriters()) {
      const auto& odometry = written.message;
      if (!odometry.child_frame_id.empty()) {
        baseFrame_ = odometry.child_frame_id;
      }
      geometry_msgs::msg::PoseStamped pose;
      pose.header = odometry.header;
      pose.pose = odometry.pose.pose;
      poses.push_back({pose, wire::guidText(written.writer)});
    }
  }
  return poses;
}

std::optional<double> NodeTopics::advanceClock() {
  std::optional<double> back;
  if (clockTopic_) {
    for (const auto& clock : clockTopic_->take()) {
      if (const auto step = clock_.advance(clock.clock)) {
        back = std::max(back.value_or(0.0), *step);
      }
    }
  }
  return back;
}

void NodeTopics::publishCommand(const geometry_msgs::msg::Twist& command) {
  if (command_) {
    command_->publish(command);
    return;
  }
  geometry_msgs::msg::TwistStamped stamped;
  stamped.header = header(baseFrame_);
  stamped.twist = command;
  stampedCommand_->publish(stamped);
}

// The look-ahead point, the progress and the diagnostics are for people and tools that may not be
// there: nothing is written while no reader is matched. A reader that joins gets the next one.
void NodeTopics::publishLookAhead(double x, double y) {
  if (lookAhead_.matchedSubscriptions() == 0) {
    return;
  }
  geometry_msgs::msg::PointStamped point;
  point.header = header(driveFrame_);
  point.point.x = x;
  point.point.y = y;
  lookAhead_.publish(point);
}

void NodeTopics::publishProgress(const std::string& text) {
  if (progress_.matchedSubscriptions() == 0) {
    return;
  }
  std_msgs::msg::String message;
  message.data = text;
  progress_.publish(message);
}

bool NodeTopics::diagnosticsRead() const {
  return diagnostics_.matchedSubscriptions() > 0;
}

void NodeTopics::publishDiagnostics(const diagnostic_msgs::msg::DiagnosticArray& diagnostics) {
  diagnostics_.publish(diagnostics);
}

bool NodeTopics::waitForCommandsAcknowledged(std::chrono::nanoseconds timeout) {
  return command_ ? command_->waitForAcknowledgement(timeout)
                  : stampedCommand_->waitForAcknowledgement(timeout);
}

std::uint32_t NodeTopics::commandReaders() const {
  return command_ ? command_->matchedSubscriptions() : stampedCommand_->matchedSubscriptions();
}

std::vector<std::string> NodeTopics::takeOtherCommandWriters() {
  std::vector<std::string> writers;
  const auto note = [&writers](const wire::Guid& writer) {
    std::string text = wire::guidText(writer);
    if (std::find(writers.begin(), writers.end(), text) == writers.end()) {
      writers.push_back(std::move(text));
    }
  };
  if (commandEcho_) {
    for (const auto& written : commandEcho_->takeWithWriters()) {
      note(written.writer);
    }
  } else {
    for (const auto& written : stampedCommandEcho_->takeWithWriters()) {
      note(written.writer);
    }
  }
  return writers;
}

std_msgs::msg::Header NodeTopics::header(const std::string& frame) const {
  std_msgs::msg::Header header;
  header.stamp = clock_.now();
  header.frame_id = frame;
  return header;
}

}  // namespace node
