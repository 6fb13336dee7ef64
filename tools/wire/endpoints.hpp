#pragma once

// A publisher and a subscription of one ROS 2 topic, over a DDS writer and reader of the topic's
// ROS 2 DDS name and type (see topic_names.hpp and message_wire.hpp). Keyless, as ROS 2's topics.

#include <dds/dds.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "wire/dds_error.hpp"
#include "wire/discovered_endpoint.hpp"
#include "wire/message_wire.hpp"
#include "wire/participant.hpp"

namespace wire {

/// Owns a DDS topic entity and one reader or writer of it.
class Endpoint {
 public:
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;
  ~Endpoint() {
    dds_delete(entity_);
    dds_delete(topic_);
  }

  dds_entity_t topic() const { return topic_; }
  dds_entity_t entity() const { return entity_; }
  /// The DDS names of the topic and of its type: "rt/cmd_vel", "geometry_msgs::msg::dds_::Twist_".
  const std::string& topicName() const { return topicName_; }
  const std::string& typeName() const { return typeName_; }

 protected:
  Endpoint(const Participant& participant, const dds_topic_descriptor_t& type,
           const std::string& ddsTopic)
      : topic_(checked(
            dds_create_topic(participant.handle(), &type, ddsTopic.c_str(), nullptr, nullptr),
            "creating a topic")),
        topicName_(ddsTopic),
        typeName_(type.m_typename) {}

  dds_entity_t topic_;
  std::string topicName_;
  std::string typeName_;
  dds_entity_t entity_ = 0;
};

template <typename Message>
class Publisher : public Endpoint {
 public:
  Publisher(const Participant& participant, const std::string& ddsTopic, const dds_qos_t* qos)
      : Endpoint(participant, MessageWire<Message>::descriptor(), ddsTopic) {
    entity_ =
        checked(dds_create_writer(participant.handle(), topic_, qos, nullptr), "creating a writer");
  }

  void publish(const Message& message) {
    MessageWire<Message>::withSample(message, [this](const auto& sample) {
      checked(dds_write(entity_, &sample), "writing a sample");
    });
  }

  /// Waits until every matched reliable subscriber has acknowledged what was published, at most
  /// `timeout`; false when the time ran out first. A stop command is sent this way.
  bool waitForAcknowledgement(std::chrono::nanoseconds timeout) {
    const dds_return_t result = dds_wait_for_acks(entity_, timeout.count());
    if (result == DDS_RETCODE_TIMEOUT) {
      return false;
    }
    checked(result, "waiting for acknowledgements");
    return true;
  }

  /// How many subscriptions this publisher is matched with now.
  std::uint32_t matchedSubscriptions() const {
    dds_publication_matched_status_t status{};
    checked(dds_get_publication_matched_status(entity_, &status), "reading the matched status");
    return status.current_count;
  }
};

/// A message with the DDS writer that published it.
template <typename Message>
struct Written {
  Message message;
  Guid writer;
};

/// A writer of samples of a C type idlc generated (`Sample`, of the DDS type `type`), written as
/// they are: for ROS 2 messages the node builds as samples (lifecycle_msgs' TransitionEvent).
template <typename Sample>
class SamplePublisher : public Endpoint {
 public:
  SamplePublisher(const Participant& participant, const dds_topic_descriptor_t& type,
                  const std::string& ddsTopic, const dds_qos_t* qos)
      : Endpoint(participant, type, ddsTopic) {
    entity_ =
        checked(dds_create_writer(participant.handle(), topic_, qos, nullptr), "creating a writer");
  }

  void publish(const Sample& sample) { checked(dds_write(entity_, &sample), "writing a sample"); }
};

template <typename Message>
class Subscription : public Endpoint {
 public:
  Subscription(const Participant& participant, const std::string& ddsTopic, const dds_qos_t* qos)
      : Endpoint(participant, MessageWire<Message>::descriptor(), ddsTopic) {
    entity_ =
        checked(dds_create_reader(participant.handle(), topic_, qos, nullptr), "creating a reader");
  }

  /// Every message that arrived since the last call, oldest first.
  std::vector<Message> take() {
    std::vector<Message> messages;
    if (!dataArrived()) {
      return messages;
    }
    takeEach([&messages](Message message, const dds_sample_info_t&) {
      messages.push_back(std::move(message));
    });
    return messages;
  }

  /// As take(), each message with the writer that published it.
  std::vector<Written<Message>> takeWithWriters() {
    std::vector<Written<Message>> messages;
    takeEach([this, &messages](Message message, const dds_sample_info_t& info) {
      messages.push_back({std::move(message), writerOf(info.publication_handle)});
    });
    return messages;
  }

  /// Whether a sample arrived since the last take: DDS's DATA_AVAILABLE status, which a take
  /// clears. Cheaper than a take that finds nothing, which a reader of a topic nobody publishes
  /// would do every cycle.
  bool dataArrived() const {
    uint32_t status = 0;
    checked(dds_get_status_changes(entity_, &status), "reading the status changes");
    return (status & DDS_DATA_AVAILABLE_STATUS) != 0;
  }

  /// How many publishers this subscription is matched with now.
  std::uint32_t matchedPublications() const {
    dds_subscription_matched_status_t status{};
    checked(dds_get_subscription_matched_status(entity_, &status), "reading the matched status");
    return status.current_count;
  }

 private:
  static constexpr std::size_t kBatch = 16;

  template <typename Use>
  void takeEach(Use&& use) {
    std::array<void*, kBatch> samples{};
    std::array<dds_sample_info_t, kBatch> infos{};
    for (;;) {
      // Cyclone lends the samples, strings and sequences included, until the loan is returned.
      samples.fill(nullptr);
      const int32_t count = checked(dds_take(entity_, samples.data(), infos.data(), kBatch, kBatch),
                                    "taking samples");
      try {
        for (int32_t i = 0; i < count; ++i) {
          if (infos[i].valid_data) {
            using Sample = typename MessageWire<Message>::Sample;
            use(MessageWire<Message>::fromSample(*static_cast<Sample*>(samples[i])), infos[i]);
          }
        }
      } catch (...) {
        dds_return_loan(entity_, samples.data(), count);
        throw;
      }
      if (count > 0) {
        checked(dds_return_loan(entity_, samples.data(), count), "returning a loan");
      }
      if (count < static_cast<int32_t>(kBatch)) {
        return;
      }
    }
  }

  // A writer's GUID, asked of DDS once per writer: a sample names its writer only by a handle
  // local to this reader. A writer no longer matched when its last samples are taken is known by
  // that handle alone, in the GUID's last 8 bytes, so that two writers still differ.
  Guid writerOf(dds_instance_handle_t handle) {
    const auto known = writers_.find(handle);
    if (known != writers_.end()) {
      return known->second;
    }
    Guid guid{};
    if (dds_builtintopic_endpoint_t* data = dds_get_matched_publication_data(entity_, handle)) {
      std::copy(std::begin(data->key.v), std::end(data->key.v), guid.begin());
      dds_builtintopic_free_endpoint(data);
      writers_.emplace(handle, guid);
      return guid;
    }
    for (std::size_t i = 0; i < sizeof(handle); ++i) {
      guid[guid.size() - 1 - i] = static_cast<std::uint8_t>(handle >> (8 * i));
    }
    return guid;
  }

  std::map<dds_instance_handle_t, Guid> writers_;
};

}  // namespace wire
