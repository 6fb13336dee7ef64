#pragma once

// A client of a ROS 2 service written as rmw_fastrtps_cpp's clients behave, so that the node's
// services on Fast DDS are tested against that behaviour rather than against their own code: a
// request writer on rq/<service>Request and a reply reader on rr/<service>Reply (reliable,
// volatile, keep last 10) of the types <pkg>::srv::dds_::<Srv>_Request_ and _Response_; each
// request plain CDR behind its encapsulation header, written with the reply reader's GUID in its
// related sample identity; a reply counts only when its related sample identity carries the
// request's sequence number and the GUID of this client's reply reader or request writer. The
// service counts as there once both have matched, as rmw_service_server_is_available sees it.
//
// Payloads are laid out by the caller (cdr_by_hand.hpp).
// The participant takes its settings from FASTRTPS_DEFAULT_PROFILES_FILE, set before it is made.

#include <fastdds/rtps/common/WriteParams.h>
#include <fastdds/dds/domain/DomainParticipant.hpp>
#include <fastdds/dds/domain/DomainParticipantFactory.hpp>
#include <fastdds/dds/publisher/DataWriter.hpp>
#include <fastdds/dds/publisher/Publisher.hpp>
#include <fastdds/dds/subscriber/DataReader.hpp>
#include <fastdds/dds/subscriber/SampleInfo.hpp>
#include <fastdds/dds/subscriber/Subscriber.hpp>
#include <fastdds/dds/topic/Topic.hpp>
#include <fastdds/dds/topic/TopicDataType.hpp>
#include <fastdds/dds/topic/TypeSupport.hpp>

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "dds_loopback.hpp"

namespace fastdds_service_client {

namespace dds = eprosima::fastdds::dds;
namespace rtps = eprosima::fastrtps::rtps;
using Bytes = std::vector<std::uint8_t>;

// Samples as the bytes of their payloads, encapsulation header included.
class BytesType : public dds::TopicDataType {
 public:
  explicit BytesType(const std::string& name) {
    setName(name.c_str());
    m_typeSize = 256;
    m_isGetKeyDefined = false;
    auto_fill_type_object(false);
    auto_fill_type_information(false);
  }
  bool serialize(void* data, rtps::SerializedPayload_t* payload) override {
    const auto& bytes = *static_cast<const Bytes*>(data);
    if (bytes.size() > payload->max_size) {
      return false;
    }
    std::copy(bytes.begin(), bytes.end(), payload->data);
    payload->length = static_cast<std::uint32_t>(bytes.size());
    return true;
  }
  bool deserialize(rtps::SerializedPayload_t* payload, void* data) override {
    static_cast<Bytes*>(data)->assign(payload->data, payload->data + payload->length);
    return true;
  }
  std::function<std::uint32_t()> getSerializedSizeProvider(void* data) override {
    return [data] { return static_cast<std::uint32_t>(static_cast<Bytes*>(data)->size()); };
  }
  void* createData() override { return new Bytes(); }
  void deleteData(void* data) override { delete static_cast<Bytes*>(data); }
  bool getKey(void*, rtps::InstanceHandle_t*, bool) override { return false; }
};

// A participant with one publisher and one subscriber, as rmw_fastrtps makes one per process.
class Participant {
 public:
  explicit Participant(int domain)
      : participant_(dds::DomainParticipantFactory::get_instance()->create_participant(
            domain, dds::PARTICIPANT_QOS_DEFAULT)) {
    if (participant_ == nullptr) {
      throw std::runtime_error("no Fast DDS participant");
    }
    if (participant_->get_qos().transport().use_builtin_transports) {
      throw std::runtime_error("FASTRTPS_DEFAULT_PROFILES_FILE gave no transports of its own");
    }
    publisher_ = participant_->create_publisher(dds::PUBLISHER_QOS_DEFAULT);
    subscriber_ = participant_->create_subscriber(dds::SUBSCRIBER_QOS_DEFAULT);
  }
  ~Participant() {
    participant_->delete_contained_entities();
    dds::DomainParticipantFactory::get_instance()->delete_participant(participant_);
  }
  Participant(const Participant&) = delete;
  Participant& operator=(const Participant&) = delete;

  // The topic `name`, made on first use; each client of a service shares it.
  dds::Topic* topic(const std::string& name, const std::string& type) {
    if (participant_->find_type(type).empty()) {
      dds::TypeSupport(new BytesType(type)).register_type(participant_);
    }
    if (auto* made = dynamic_cast<dds::Topic*>(participant_->lookup_topicdescription(name))) {
      return made;
    }
    auto* topic = participant_->create_topic(name, type, dds::TOPIC_QOS_DEFAULT);
    if (topic == nullptr) {
      throw std::runtime_error("the Fast DDS topic " + name + " could not be created");
    }
    return topic;
  }
  // ROS 2's service profile, as rmw_fastrtps sets it.
  template <typename Qos>
  static Qos serviceQos(Qos qos) {
    qos.reliability().kind = dds::RELIABLE_RELIABILITY_QOS;
    qos.durability().kind = dds::VOLATILE_DURABILITY_QOS;
    qos.history().kind = dds::KEEP_LAST_HISTORY_QOS;
    qos.history().depth = 10;
    qos.endpoint().history_memory_policy = rtps::PREALLOCATED_WITH_REALLOC_MEMORY_MODE;
    qos.data_sharing().off();
    return qos;
  }
  dds::DataWriter* writer(dds::Topic* topic) {
    return publisher_->create_datawriter(topic,
                                         serviceQos(publisher_->get_default_datawriter_qos()));
  }
  dds::DataReader* reader(dds::Topic* topic) {
    return subscriber_->create_datareader(topic,
                                          serviceQos(subscriber_->get_default_datareader_qos()));
  }
  // A reader or writer of a topic, with ROS 2's default profile changed by `change` (a function of
  // the DataReaderQos or DataWriterQos); throws when Fast DDS refuses it.
  template <typename Change>
  dds::DataReader& reader(dds::Topic* topic, Change change) {
    dds::DataReaderQos qos = serviceQos(subscriber_->get_default_datareader_qos());
    change(qos);
    return made(subscriber_->create_datareader(topic, qos), topic);
  }
  template <typename Change>
  dds::DataWriter& writer(dds::Topic* topic, Change change) {
    dds::DataWriterQos qos = serviceQos(publisher_->get_default_datawriter_qos());
    change(qos);
    return made(publisher_->create_datawriter(topic, qos), topic);
  }
  dds::Subscriber& subscriber() { return *subscriber_; }

 private:
  template <typename Entity>
  static Entity& made(Entity* entity, dds::Topic* topic) {
    if (entity == nullptr) {
      throw std::runtime_error("no Fast DDS reader or writer of " + topic->get_name());
    }
    return *entity;
  }

  dds::DomainParticipant* participant_;
  dds::Publisher* publisher_ = nullptr;
  dds::Subscriber* subscriber_ = nullptr;
};

// The bodies, after their encapsulation header, of the samples `reader` has received since the
// last call.
inline std::vector<Bytes> takeBodies(dds::DataReader& reader) {
  std::vector<Bytes> bodies;
  Bytes bytes;
  dds::SampleInfo info;
  while (reader.take_next_sample(&bytes, &info) == ReturnCode_t::RETCODE_OK) {
    if (info.valid_data && bytes.size() >= 4) {
      bodies.emplace_back(bytes.begin() + 4, bytes.end());
    }
  }
  return bodies;
}

// Writes `body` behind a little-endian CDR encapsulation header.
inline bool writeBody(dds::DataWriter& writer, const Bytes& body) {
  Bytes sample{0, 1, 0, 0};
  sample.insert(sample.end(), body.begin(), body.end());
  return writer.write(&sample);
}

class ServiceClient {
 public:
  // `service` is the DDS name after the prefix: "trelvo_node/get_state"; `type` the service's
  // DDS type without its suffix: "lifecycle_msgs::srv::dds_::GetState". With `readerLater`, the
  // reply reader is made but matches nothing until openReplyReader(): a client whose reader the
  // service has not discovered yet when the request comes.
  ServiceClient(Participant& participant, const std::string& service, const std::string& type,
                bool readerLater = false) {
    writer_ =
        participant.writer(participant.topic("rq/" + service + "Request", type + "_Request_"));
    dds::Topic* replies = participant.topic("rr/" + service + "Reply", type + "_Response_");
    if (readerLater) {
      dds::SubscriberQos qos = participant.subscriber().get_qos();
      qos.entity_factory().autoenable_created_entities = false;
      participant.subscriber().set_qos(qos);
    }
    reader_ = participant.reader(replies);
    if (readerLater) {
      dds::SubscriberQos qos = participant.subscriber().get_qos();
      qos.entity_factory().autoenable_created_entities = true;
      participant.subscriber().set_qos(qos);
    }
    if (writer_ == nullptr || reader_ == nullptr) {
      throw std::runtime_error("the client's Fast DDS endpoints could not be created");
    }
  }

  bool serviceAvailable() const {
    dds::PublicationMatchedStatus requests;
    writer_->get_publication_matched_status(requests);
    dds::SubscriptionMatchedStatus replies;
    reader_->get_subscription_matched_status(replies);
    return requests.current_count > 0 && replies.current_count > 0;
  }
  bool requestReaderMatched() const {
    dds::PublicationMatchedStatus requests;
    writer_->get_publication_matched_status(requests);
    return requests.current_count > 0;
  }
  void openReplyReader() { reader_->enable(); }

  // Writes `bytes` as they are, naming the reply reader as a request does.
  void sendRaw(Bytes bytes) {
    rtps::WriteParams params;
    params.related_sample_identity().writer_guid() = reader_->guid();
    writer_->write(&bytes, params);
  }

  // Sends `body` (plain little-endian CDR) and waits for the reply to it: the reply's body, or
  // nothing when none came within `limit`. Replies to other clients or requests are passed over.
  std::optional<Bytes> call(const Bytes& body,
                            std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    Bytes request{0, 1, 0, 0};
    request.insert(request.end(), body.begin(), body.end());
    rtps::WriteParams params;
    params.related_sample_identity().writer_guid() = reader_->guid();
    if (!writer_->write(&request, params)) {
      return std::nullopt;
    }
    const rtps::SequenceNumber_t sequence = params.sample_identity().sequence_number();
    return awaitReply(sequence, limit);
  }

 private:
  std::optional<Bytes> awaitReply(const rtps::SequenceNumber_t& sequence,
                                  std::chrono::milliseconds limit) {
    std::optional<Bytes> reply;
    dds_loopback::eventually(
        [&] {
          Bytes bytes;
          dds::SampleInfo info;
          while (reader_->take_next_sample(&bytes, &info) == ReturnCode_t::RETCODE_OK) {
            const auto& related = info.related_sample_identity;
            const bool ours = related.writer_guid() == reader_->guid() ||
                              related.writer_guid() == writer_->guid();
            if (info.valid_data && ours && related.sequence_number() == sequence &&
                bytes.size() >= 4 && bytes[0] == 0 && bytes[1] <= 1) {
              reply = Bytes(bytes.begin() + 4, bytes.end());
            }
          }
          return reply.has_value();
        },
        limit);
    return reply;
  }

  dds::DataWriter* writer_ = nullptr;
  dds::DataReader* reader_ = nullptr;
};

}  // namespace fastdds_service_client
