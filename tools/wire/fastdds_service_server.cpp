#include "wire/fastdds_service_server.hpp"


#include <fastdds/rtps/common/InstanceHandle.h>
#include <fastdds/rtps/common/WriteParams.h>
#include <fastdds/dds/subscriber/SampleInfo.hpp>
#include <fastdds/dds/topic/TypeSupport.hpp>

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <variant>

#include "wire/cdr_body.hpp"
#include "wire/dds_error.hpp"
#include "wire/fastdds_raw_type.hpp"
#include "wire/plain_cdr.hpp"
#include "wire/request_header.hpp"
#include "wire/topic_names.hpp"

namespace wire {
namespace {

namespace dds = eprosima::fastdds::dds;
namespace rtps = eprosima::fastrtps::rtps;

// RTPS entity kinds of readers have this bit set, those of writers not (RTPS 9.3.1.2).
constexpr rtps::octet kReaderKindBit = 0x04;
// ROS 2's service profile.
constexpr std::int32_t kServiceDepth = 10;

dds::Topic* rawTopic(dds::DomainParticipant& participant, const std::string& name,
                     const std::string& type) {
  if (participant.find_type(type).empty() &&
      dds::TypeSupport(new FastRawType(type)).register_type(&participant) !=
          ReturnCode_t::RETCODE_OK) {
    throw std::runtime_error("Fast DDS: registering the type " + type + " failed");
  }
  dds::Topic* topic = participant.create_topic(name, type, dds::TOPIC_QOS_DEFAULT);
  if (topic == nullptr) {
    throw std::runtime_error("Fast DDS: creating the topic " + name + " failed");
  }
  return topic;
}

// The settings of the XML profile, with ROS 2's service profile over them, as rmw_fastrtps does.
template <typename EndpointQos>
EndpointQos serviceQos(EndpointQos qos) {
  qos.reliability().kind = dds::RELIABLE_RELIABILITY_QOS;
  qos.durability().kind = dds::VOLATILE_DURABILITY_QOS;
  qos.history().kind = dds::KEEP_LAST_HISTORY_QOS;
  qos.history().depth = kServiceDepth;
  qos.endpoint().history_memory_policy = rtps::PREALLOCATED_WITH_REALLOC_MEMORY_MODE;
  qos.data_sharing().off();
  return qos;
}

}  // namespace

FastReplyAddress fastReplyAddress(const rtps::SampleIdentity& request,
                                  const rtps::SampleIdentity& named) {
  FastReplyAddress address{request, request.writer_guid(), std::nullopt};
  const rtps::GUID_t& client = named.writer_guid();
  if (client != rtps::GUID_t::unknown()) {
    address.related.writer_guid() = client;
    if ((client.entityId.value[3] & kReaderKindBit) != 0) {
      address.replyReader = client;
    }
  }
  return address;
}

void FastServiceServer::Listener::on_data_available(dds::DataReader*) {
  const dds_entity_t wake = guard.load();
  if (wake > 0) {
    dds_set_guardcondition(wake, true);
  }
}

void FastServiceServer::Listener::on_subscription_matched(
    dds::DataReader*, const dds::SubscriptionMatchedStatus& status) {
  const std::lock_guard<std::mutex> held(lock_);
  const Guid writer = rtps::iHandle2GUID(status.last_publication_handle);
  if (status.current_count_change > 0) {
    requestWriters_.insert(writer);
  } else if (status.current_count_change < 0) {
    requestWriters_.erase(writer);
  }
}

void FastServiceServer::Listener::on_publication_matched(
    dds::DataWriter*, const dds::PublicationMatchedStatus& status) {
  const std::lock_guard<std::mutex> held(lock_);
  const Guid reader = rtps::iHandle2GUID(status.last_subscription_handle);
  if (status.current_count_change > 0) {
    replyReaders_.insert(reader);
  } else if (status.current_count_change < 0) {
    replyReaders_.erase(reader);
  }
}

bool FastServiceServer::Listener::requestWriterMatched(const Guid& writer) const {
  const std::lock_guard<std::mutex> held(lock_);
  return requestWriters_.count(writer) > 0;
}

bool FastServiceServer::Listener::replyReaderMatched(const Guid& reader) const {
  const std::lock_guard<std::mutex> held(lock_);
  return replyReaders_.count(reader) > 0;
}

FastServiceServer::FastServiceServer(std::shared_ptr<FastParticipant> participant,
                                     const ServiceSpec& spec, RateLimitedLog& dropped)
    : participant_(std::move(participant)), spec_(spec), dropped_(dropped) {
  try {
    requestTopic_ = rawTopic(participant_->participant(), spec.requestTopic, spec.requestType());
    replyTopic_ = rawTopic(participant_->participant(), spec.replyTopic, spec.responseType());
    reader_ = participant_->subscriber().create_datareader(
        requestTopic_, serviceQos(participant_->subscriber().get_default_datareader_qos()),
        &listener_, dds::StatusMask::data_available() << dds::StatusMask::subscription_matched());
    writer_ = participant_->publisher().create_datawriter(
        replyTopic_, serviceQos(participant_->publisher().get_default_datawriter_qos()), &listener_,
        dds::StatusMask::publication_matched());
    if (reader_ == nullptr || writer_ == nullptr) {
      throw std::runtime_error("Fast DDS: creating the reader and writer of " +
                               rosServiceName(spec.requestTopic) + " failed");
    }
  } catch (...) {
    deleteEntities();
    throw;
  }
}

FastServiceServer::~FastServiceServer() {
  deleteEntities();
}

void FastServiceServer::deleteEntities() {
  if (reader_ != nullptr) {
    participant_->subscriber().delete_datareader(reader_);
  }
  if (writer_ != nullptr) {
    participant_->publisher().delete_datawriter(writer_);
  }
  for (dds::Topic* topic : {requestTopic_, replyTopic_}) {
    if (topic != nullptr) {
      participant_->participant().delete_topic(topic);
    }
  }
  const dds_entity_t guard = listener_.guard.exchange(0);
  if (guard > 0) {
    dds_delete(guard);
  }
}

void FastServiceServer::wakeOnRequests(dds_entity_t waitset) {
  dds_entity_t guard = listener_.guard.load();
  if (guard == 0) {
    guard = checked(dds_create_guardcondition(dds_get_participant(waitset)),
                    "creating a guard condition for requests");
    listener_.guard.store(guard);
  }
  checked(dds_waitset_attach(waitset, guard, 0), "waiting for requests");
}

std::string FastServiceServer::describe() const {
  return describeService(spec_);
}

void FastServiceServer::serve(const Answer& answer, Clock::time_point now) {
  const dds_entity_t guard = listener_.guard.load();
  if (guard > 0) {
    dds_set_guardcondition(guard, false);
  }
  sendPending(now);
  FastRawType::Sample bytes;
  dds::SampleInfo info;
  while (reader_->take_next_sample(&bytes, &info) == ReturnCode_t::RETCODE_OK) {
    if (info.valid_data) {
      answerOne(bytes, fastReplyAddress(info.sample_identity, info.related_sample_identity), answer,
                now);
    }
  }
}

void FastServiceServer::answerOne(const std::vector<std::uint8_t>& bytes,
                                  const FastReplyAddress& address, const Answer& answer,
                                  Clock::time_point now) {
  const auto opened = openPlainCdr(bytes, spec_.largestRequest);
  if (const auto* fault = std::get_if<std::string>(&opened)) {
    dropRequest(spec_, dropped_, *fault, now);
    return;
  }
  const auto& cdr = std::get<PlainCdr>(opened);
  // rmw_cyclonedds puts its request header (client and sequence) before the request.
  constexpr std::size_t kCycloneHeader = kFramedHeaderSize - kEncapsulationSize;
  std::optional<std::vector<std::uint8_t>> cycloneBody;
  if (cdr.body.size() >= kCycloneHeader) {
    cycloneBody.emplace(cdr.body.begin() + kCycloneHeader, cdr.body.end());
  }
  const ReceivedRequest request{cdr.body, cdr.bigEndian, "the encapsulation header",
                                std::move(cycloneBody),
                                "RMW_IMPLEMENTATION unset (or rmw_cyclonedds_cpp)"};
  answerRequest(
      spec_, request, answer,
      [this, address, now](const void* response) { reply(address, response, now); }, dropped_, now);
}

// A reply given during serve() waits from that serve's time; one given later, from when it is.
void FastServiceServer::reply(const FastReplyAddress& address, const void* response,
                              Clock::time_point asked) {
  const Clock::time_point now = std::max(asked, Clock::now());
  pending_.add(encapsulated(writeSample(spec_.response, response)), address, now);
  sendPending(now);
}

void FastServiceServer::sendPending(Clock::time_point now) {
  pending_.send(
      now, [this](const FastReplyAddress& address) { return clientReader(address); },
      [this](std::vector<std::uint8_t>& bytes, const FastReplyAddress& address) {
        rtps::WriteParams params;
        params.related_sample_identity(address.related);
        if (!writer_->write(&bytes, params)) {
          throw std::runtime_error("Fast DDS: writing a reply of " +
                                   rosServiceName(spec_.requestTopic) + " failed");
        }
      },
      spec_, dropped_);
}

// As rmw_fastrtps checks before it replies: the request writer still there, and the reply reader
// the client named matched; a client that named none is taken as ready.
ClientReader FastServiceServer::clientReader(const FastReplyAddress& address) const {
  if (!listener_.requestWriterMatched(address.requestWriter)) {
    return ClientReader::Gone;
  }
  if (!address.replyReader || listener_.replyReaderMatched(*address.replyReader)) {
    return ClientReader::Matched;
  }
  return ClientReader::NotYet;
}

}  // namespace wire
