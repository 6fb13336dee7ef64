#pragma once

// The node's presence on Fast DDS, for what it serves there: a domain participant as
// rmw_fastrtps_cpp creates one for a ROS 2 process ("enclave=/;" in USER_DATA), with one publisher
// and one subscriber for all its writers and readers. Its settings beyond that come from Fast DDS's
// own defaults and the XML profile FASTRTPS_DEFAULT_PROFILES_FILE names, which Fast DDS reads as
// ROS 2 programs on Fast DDS do (a loopback-only profile in tests).

#include <fastdds/dds/domain/DomainParticipant.hpp>
#include <fastdds/dds/publisher/Publisher.hpp>
#include <fastdds/dds/subscriber/Subscriber.hpp>

#include <cstdint>

namespace wire {

class FastParticipant {
 public:
  /// A participant of `domain`. Throws std::runtime_error when Fast DDS fails.
  explicit FastParticipant(std::uint32_t domain);
  /// Deletes every topic, reader and writer still created under it.
  ~FastParticipant();
  FastParticipant(const FastParticipant&) = delete;
  FastParticipant& operator=(const FastParticipant&) = delete;

  eprosima::fastdds::dds::DomainParticipant& participant() const { return *participant_; }
  eprosima::fastdds::dds::Publisher& publisher() const { return *publisher_; }
  eprosima::fastdds::dds::Subscriber& subscriber() const { return *subscriber_; }

 private:
  void deleteAll();

  eprosima::fastdds::dds::DomainParticipant* participant_ = nullptr;
  eprosima::fastdds::dds::Publisher* publisher_ = nullptr;
  eprosima::fastdds::dds::Subscriber* subscriber_ = nullptr;
};

}  // namespace wire
