#pragma once

// The node's presence on a ROS 2 network: a DDS domain participant.

#include <dds/dds.h>

#include <cstdint>

namespace wire {

/// The largest ROS 2 domain id: the largest whose ports DDS's default port mapping can give.
inline constexpr std::uint32_t kLargestDomain = 232;

/// The ROS 2 domain of this process: ROS_DOMAIN_ID when set and not empty, else 0, as ROS 2
/// programs choose it. Throws std::invalid_argument for a value that is not a whole number from 0
/// to 232 (the largest domain whose ports DDS's default port mapping can give).
std::uint32_t domainFromEnvironment();

/// Owns a domain participant, and through it every topic, reader and writer created under it.
class Participant {
 public:
  /// A participant of `domain` with the QoS `qos`, Cyclone's defaults when null (a ROS 2 node
  /// passes rosParticipantQos(), see user_data.hpp).
  explicit Participant(std::uint32_t domain, const dds_qos_t* qos = nullptr);
  ~Participant();
  Participant(const Participant&) = delete;
  Participant& operator=(const Participant&) = delete;

  dds_entity_t handle() const { return handle_; }

 private:
  dds_entity_t handle_;
};

}  // namespace wire
