#pragma once

// Conversions between the DDS samples and the ROS 2 C++ messages of what Nav2 exchanges with the
// servers it runs: the lifecycle manager's bond (bond/msg/Status) and the speed filter's limit
// (nav2_msgs/msg/SpeedLimit). A sample made from a message borrows its strings, as in
// conversions.hpp.

#include <bond/msg/status.hpp>
#include <nav2_msgs/msg/speed_limit.hpp>

#include "bond/msg/Status.h"
#include "nav2_msgs/msg/SpeedLimit.h"

namespace wire {

bond::msg::Status toRos(const bond_msg_dds__Status_& sample);
nav2_msgs::msg::SpeedLimit toRos(const nav2_msgs_msg_dds__SpeedLimit_& sample);

bond_msg_dds__Status_ toSample(const bond::msg::Status& message);
nav2_msgs_msg_dds__SpeedLimit_ toSample(const nav2_msgs::msg::SpeedLimit& message);

}  // namespace wire
