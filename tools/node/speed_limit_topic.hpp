#pragma once

// Nav2's speed limit on DDS: nav2_msgs/msg/SpeedLimit subscribed on "speed_limit" in the node's
// namespace, with the QoS Nav2's speed filter publishes it with (reliable, volatile, keep last 10).
// Each limit that arrives goes to the drive's SpeedLimit; a change of the limit in force and each
// new refusal is logged once.

#include <string>
#include <vector>

#include <nav2_msgs/msg/speed_limit.hpp>

#include "node/drive/node_log.hpp"
#include "node/drive/speed_limit.hpp"
#include "node/node_options.hpp"
#include "wire/endpoints.hpp"
#include "wire/participant.hpp"

namespace node {

class SpeedLimitTopic {
 public:
  SpeedLimitTopic(const wire::Participant& participant, const NodeOptions& options, NodeLog& log);

  /// Hands the limits that arrived since the last call to `limit`, oldest first.
  void take(SpeedLimit& limit);

  std::vector<dds_entity_t> endpoints() const { return {reader_.entity()}; }
  /// "subscribes /speed_limit (nav2_msgs/msg/SpeedLimit; ...)", for the start-up line.
  std::string describe() const;

 private:
  NodeLog& log_;
  wire::Subscription<nav2_msgs::msg::SpeedLimit> reader_;
  std::string lastRefusal_;
};

}  // namespace node
