#include "node/obstacles/scan_topics.hpp"

#include "node/obstacles/scan_points.hpp"
#include "wire/qos.hpp"
#include "wire/topic_names.hpp"
#include "wire/user_data.hpp"

namespace node {

ScanTopics::ScanTopics(const wire::Participant& participant, const std::string& nameSpace,
                       const std::vector<std::string>& topics, wire::RosDistro distro, NodeLog& log)
    : log_(log) {
  for (const auto& topic : topics) {
    readers_.push_back(std::make_unique<wire::Subscription<sensor_msgs::msg::LaserScan>>(
        participant, wire::ddsTopicName(nameSpace, topic),
        wire::rosEndpointQos<sensor_msgs::msg::LaserScan>(wire::sensorDataQos(), distro).get()));
  }
  unjoined_.resize(readers_.size());
}

std::vector<std::string> ScanTopics::names() const {
  std::vector<std::string> names;
  for (const auto& reader : readers_) {
    names.push_back(wire::rosTopicName(reader->topicName()));
  }
  return names;
}

void ScanTopics::take(const DriveFrames& frames, const std::string& baseFrame, ObstacleGuard& guard,
                      Clock::time_point now) {
  for (std::size_t i = 0; i < readers_.size(); ++i) {
    auto scans = readers_[i]->take();
    if (scans.empty()) {
      continue;
    }
    const auto& scan = scans.back();
    const std::string& frame = scan.header.frame_id;
    if (frame.empty() || frame == baseFrame) {
      guard.receive(i, scanInBase(scan, geometry_msgs::msg::Transform()), now);
      continue;
    }
    const auto mounting = frames.lookup(baseFrame, frame);
    if (!mounting) {
      if (unjoined_[i] != frame) {
        log_.warn("scans from {} in {}: no transform from {} to {} in TF, so they are not used",
                  wire::rosTopicName(readers_[i]->topicName()), frame, frame, baseFrame);
        unjoined_[i] = frame;
      }
      continue;
    }
    unjoined_[i].clear();
    guard.receive(i, scanInBase(scan, mounting->transform), now);
  }
}

std::vector<dds_entity_t> ScanTopics::endpoints() const {
  std::vector<dds_entity_t> entities;
  for (const auto& reader : readers_) {
    entities.push_back(reader->entity());
  }
  return entities;
}

std::string ScanTopics::describe() const {
  std::string text;
  for (const auto& name : names()) {
    text += (text.empty() ? "subscribes " : ", ") + name;
  }
  return text + " (sensor_msgs/msg/LaserScan; " + wire::qosText(wire::sensorDataQos().get()) + ")";
}

}  // namespace node
