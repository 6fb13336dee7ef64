#include "node/watch/configuration_watch.hpp"

#include <fmt/format.h>

#include "wire/topic_names.hpp"

namespace node {
namespace {

using Endpoint = wire::DiscoveredEndpoint;

constexpr const char* kTwist = "geometry_msgs/msg/Twist";
constexpr const char* kTwistStamped = "geometry_msgs/msg/TwistStamped";
constexpr const char* kPoseStamped = "geometry_msgs/msg/PoseStamped";
constexpr const char* kPoseWithCovariance = "geometry_msgs/msg/PoseWithCovarianceStamped";
constexpr const char* kOdometry = "nav_msgs/msg/Odometry";

// Another program's endpoints of `topic`, readers or writers.
std::vector<const Endpoint*> othersOn(const std::vector<Endpoint>& endpoints,
                                      const std::string& topic, Endpoint::Kind kind) {
  std::vector<const Endpoint*> found;
  for (const auto& endpoint : endpoints) {
    if (!endpoint.ours && endpoint.kind == kind && endpoint.topic == topic) {
      found.push_back(&endpoint);
    }
  }
  return found;
}

std::string commandTypeLine(const std::string& topic, const std::string& theirs,
                            const std::string& ours) {
  const std::string mismatch =
      fmt::format("{} is subscribed as {}, but this node publishes {}", topic, theirs, ours);
  if (theirs == kTwistStamped && ours == kTwist) {
    return mismatch + ": start trelvo-node with --stamped";
  }
  if (theirs == kTwist && ours == kTwistStamped) {
    return mismatch + ": start trelvo-node without --stamped";
  }
  return fmt::format(
      "{}: that subscriber takes none of its commands; the vehicle's driver must take {}, or {} "
      "with --stamped",
      mismatch, kTwist, kTwistStamped);
}

std::string poseTypeLine(const std::string& topic, const std::string& theirs,
                         const std::string& ours) {
  const std::string mismatch =
      fmt::format("{} is published as {}, but this node reads {} there and takes no pose from it",
                  topic, theirs, ours);
  if (theirs == kPoseStamped) {
    return fmt::format("{}: start trelvo-node with --pose-topic {}", mismatch, topic);
  }
  if (theirs == kPoseWithCovariance) {
    return fmt::format("{}: start trelvo-node with --pose-topic {} --pose-with-covariance",
                       mismatch, topic);
  }
  return fmt::format(
      "{}: give the node {} on odom, {} with --pose-topic NAME, or {} with --pose-topic NAME "
      "--pose-with-covariance",
      mismatch, kOdometry, kPoseStamped, kPoseWithCovariance);
}

}  // namespace

std::vector<std::string> ConfigurationWatch::update(
    const std::vector<Endpoint>& endpoints, bool driving, Clock::time_point now,
    const std::vector<std::string>& commandWriters) {
  if (!driving) {
    routeStarted_.reset();
  } else if (!routeStarted_) {
    routeStarted_ = now;
  }
  std::vector<Cause> causes;
  watchCommandTopic(endpoints, driving, now, commandWriters, causes);
  watchPoseTopic(endpoints, causes);

  std::vector<std::string> fresh;
  std::set<std::string> standingKeys;
  standing_.clear();
  for (auto& cause : causes) {
    if (!standingKeys.insert(cause.key).second) {
      continue;  // several endpoints of one cause
    }
    if (given_.insert(cause.key).second) {
      fresh.push_back(cause.line);
    }
    standing_.push_back(std::move(cause.line));
  }
  return fresh;
}

void ConfigurationWatch::watchCommandTopic(const std::vector<Endpoint>& endpoints, bool driving,
                                           Clock::time_point now,
                                           const std::vector<std::string>& commandWriters,
                                           std::vector<Cause>& causes) {
  constexpr const char* kNoSubscriber = "no command subscriber";
  const std::string topic = wire::rosTopicName(topics_.commandTopic);
  const std::string ours = wire::rosTypeName(topics_.commandType);
  const auto readers = othersOn(endpoints, topics_.commandTopic, Endpoint::Kind::Reader);
  for (const auto* reader : readers) {
    if (reader->type != topics_.commandType) {
      const std::string theirs = wire::rosTypeName(reader->type);
      causes.push_back({"command type " + reader->type, commandTypeLine(topic, theirs, ours)});
    }
  }
  if (!readers.empty()) {
    given_.erase(kNoSubscriber);
  } else if (driving && now - *routeStarted_ >= kCommandSubscriberGrace) {
    causes.push_back(
        {kNoSubscriber,
         fmt::format("nothing subscribes {} {} s into the route, so no vehicle takes the "
                     "commands: start the vehicle's driver, or give this node its namespace "
                     "(--namespace) and ROS_DOMAIN_ID",
                     topic, kCommandSubscriberGrace.count())});
  }
  if (!driving) {
    return;
  }
  for (const auto& writer : commandWriters) {
    causes.push_back(
        {"command writer " + writer,
         fmt::format("another node ({}) writes to {} while this node drives: the vehicle takes "
                     "both nodes' commands; stop it, or give each vehicle its own namespace "
                     "(--namespace)",
                     writer, topic)});
  }
}

void ConfigurationWatch::watchPoseTopic(const std::vector<Endpoint>& endpoints,
                                        std::vector<Cause>& causes) const {
  const std::string topic = wire::rosTopicName(topics_.poseTopic);
  const std::string ours = wire::rosTypeName(topics_.poseType);
  for (const auto* writer : othersOn(endpoints, topics_.poseTopic, Endpoint::Kind::Writer)) {
    if (writer->type != topics_.poseType) {
      const std::string theirs = wire::rosTypeName(writer->type);
      causes.push_back({"pose type " + writer->type, poseTypeLine(topic, theirs, ours)});
    }
  }
}

}  // namespace node
