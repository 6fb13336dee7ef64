#pragma once

// USER_DATA, the free text DDS hands out with each participant, reader and writer in discovery,
// and what ROS 2's middleware (rmw_cyclonedds) writes there: ROS 2 tools count a participant as a
// ROS 2 process by its "enclave=...;", and Jazzy's learn each endpoint's type hash from its
// "typehash=...;".

#include <string>
#include <string_view>

#include "wire/message_wire.hpp"
#include "wire/qos.hpp"
#include "wire/ros_distro.hpp"

namespace wire {

/// `qos` with USER_DATA `text`; as it was when `text` is empty.
Qos withUserData(Qos qos, std::string_view text);

/// The USER_DATA of `qos` as text; empty when it has none.
std::string userData(const dds_qos_t* qos);

/// The value of `key` in USER_DATA of the form "key=value;key=value;": ("clientid=01.2;",
/// "clientid") gives "01.2"; empty when the key is absent.
std::string userDataValue(std::string_view text, std::string_view key);

/// The participant QoS of a ROS 2 process in the root security enclave: USER_DATA "enclave=/;".
Qos rosParticipantQos();

/// The USER_DATA rmw_cyclonedds gives a reader or writer of the DDS type `ddsType` under `distro`:
/// "typehash=RIHS01_<64 hex digits>;" under Jazzy, nothing under Humble. Throws
/// std::invalid_argument for a type without a hash (see type_hash.hpp).
std::string endpointUserData(std::string_view ddsType, RosDistro distro);

/// `qos` for a reader or writer of `Message` under `distro`, with the USER_DATA above:
/// `rosEndpointQos<geometry_msgs::msg::Twist>(commandQos(), RosDistro::Jazzy)`.
template <typename Message>
Qos rosEndpointQos(Qos qos, RosDistro distro) {
  return withUserData(std::move(qos), endpointUserData(ddsTypeName<Message>(), distro));
}

}  // namespace wire
