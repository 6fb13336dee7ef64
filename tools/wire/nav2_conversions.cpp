#include "wire/nav2_conversions.hpp"

#include "wire/conversions.hpp"
#include "wire/sample_strings.hpp"

namespace wire {

bond::msg::Status toRos(const bond_msg_dds__Status_& sample) {
  bond::msg::Status message;
  message.header = toRos(sample.header);
  message.id = toString(sample.id);
  message.instance_id = toString(sample.instance_id);
  message.active = sample.active;
  message.heartbeat_timeout = sample.heartbeat_timeout;
  message.heartbeat_period = sample.heartbeat_period;
  return message;
}

nav2_msgs::msg::SpeedLimit toRos(const nav2_msgs_msg_dds__SpeedLimit_& sample) {
  nav2_msgs::msg::SpeedLimit message;
  message.header = toRos(sample.header);
  message.percentage = sample.percentage;
  message.speed_limit = sample.speed_limit;
  return message;
}

bond_msg_dds__Status_ toSample(const bond::msg::Status& message) {
  return {toSample(message.header), borrowed(message.id),      borrowed(message.instance_id),
          message.active,           message.heartbeat_timeout, message.heartbeat_period};
}

nav2_msgs_msg_dds__SpeedLimit_ toSample(const nav2_msgs::msg::SpeedLimit& message) {
  return {toSample(message.header), message.percentage, message.speed_limit};
}

}  // namespace wire
