#pragma once

// The laser scans the node takes obstacles from, on DDS: sensor_msgs/msg/LaserScan on each
// --scan-topic, with ROS 2's sensor-data QoS. Each cycle the newest scan of each topic goes to the
// guard as points in the base frame, through the transform base <- the scan's frame from TF; a
// scan whose frame TF does not join to the base frame is not used, and said so once.

#include <memory>
#include <string>
#include <vector>

#include <sensor_msgs/msg/laser_scan.hpp>

#include "node/drive/drive_frames.hpp"
#include "node/drive/node_log.hpp"
#include "node/obstacles/obstacle_guard.hpp"
#include "wire/endpoints.hpp"
#include "wire/participant.hpp"
#include "wire/ros_distro.hpp"

namespace node {

class ScanTopics {
 public:
  /// Subscribes `topics` (remapped already) in `nameSpace`, announced as `distro` announces them.
  ScanTopics(const wire::Participant& participant, const std::string& nameSpace,
             const std::vector<std::string>& topics, wire::RosDistro distro, NodeLog& log);

  /// The topics' names as the log gives them: "/scan".
  std::vector<std::string> names() const;
  /// Hands the newest scan of each topic since the last call to `guard`.
  void take(const DriveFrames& frames, const std::string& baseFrame, ObstacleGuard& guard,
            Clock::time_point now);

  std::vector<dds_entity_t> endpoints() const;
  /// "subscribes /scan (sensor_msgs/msg/LaserScan; ...)", for the start-up line.
  std::string describe() const;

 private:
  NodeLog& log_;
  std::vector<std::unique_ptr<wire::Subscription<sensor_msgs::msg::LaserScan>>> readers_;
  std::vector<std::string> unjoined_;  // of each topic, the frame last found without a transform
};

}  // namespace node
