#include "node/speed_limit_topic.hpp"

#include "wire/qos.hpp"
#include "wire/topic_names.hpp"
#include "wire/user_data.hpp"

namespace node {

SpeedLimitTopic::SpeedLimitTopic(const wire::Participant& participant, const NodeOptions& options,
                                 NodeLog& log)
    : log_(log),
      reader_(
          participant, wire::ddsTopicName(options.nameSpace, options.topic("speed_limit")),
          wire::rosEndpointQos<nav2_msgs::msg::SpeedLimit>(wire::speedLimitQos(), options.rosDistro)
              .get()) {}

void SpeedLimitTopic::take(SpeedLimit& limit) {
  for (const auto& message : reader_.take()) {
    const std::string before = limit.text();
    if (const auto refusal = limit.set(message.percentage, message.speed_limit)) {
      if (*refusal != lastRefusal_) {
        log_.warn("{}; the limit in force stays: {}", *refusal, limit.text());
        lastRefusal_ = *refusal;
      }
      continue;
    }
    lastRefusal_.clear();
    if (limit.text() != before) {
      log_.info("speed limit on {}: {}", wire::rosTopicName(reader_.topicName()), limit.text());
    }
  }
}

std::string SpeedLimitTopic::describe() const {
  return "subscribes " + wire::rosTopicName(reader_.topicName()) + " (" +
         wire::rosTypeName(reader_.typeName()) + "; " + wire::qosText(wire::speedLimitQos().get()) +
         ")";
}

}  // namespace node
