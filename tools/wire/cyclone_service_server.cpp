#include "wire/cyclone_service_server.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <variant>

#include "wire/cdr_body.hpp"
#include "wire/dds_error.hpp"
#include "wire/plain_cdr.hpp"
#include "wire/qos.hpp"
#include "wire/request_header.hpp"
#include "wire/serialized_topic.hpp"
#include "wire/topic_names.hpp"
#include "wire/user_data.hpp"

namespace wire {
namespace {

// The id rmw_cyclonedds gives each client and service of a process: the participant's GUID prefix
// (12 bytes) and a counter of the process (4 bytes, big-endian), in hex, dot-separated, the first
// byte written with two digits and the others without leading zeros.
std::string serviceId(const Participant& participant) {
  static std::atomic<std::uint32_t> counter{0};
  dds_guid_t guid{};
  checked(dds_get_guid(participant.handle(), &guid), "reading the participant's GUID");
  const std::uint32_t count = ++counter;
  std::uint8_t id[16];
  std::copy(guid.v, guid.v + 12, id);
  for (int i = 0; i < 4; ++i) {
    id[12 + i] = static_cast<std::uint8_t>(count >> (24 - 8 * i));
  }
  std::string text = fmt::format("{:02x}", id[0]);
  for (int i = 1; i < 16; ++i) {
    text += fmt::format(".{:x}", id[i]);
  }
  return text;
}

using EndpointData =
    std::unique_ptr<dds_builtintopic_endpoint_t, decltype(&dds_builtintopic_free_endpoint)>;

std::string clientIdOf(dds_builtintopic_endpoint_t* endpoint) {
  EndpointData data(endpoint, &dds_builtintopic_free_endpoint);
  return data ? userDataValue(userData(data->qos), "clientid") : std::string();
}

}  // namespace

CycloneServiceServer::CycloneServiceServer(const Participant& participant, const ServiceSpec& spec,
                                           RateLimitedLog& dropped)
    : spec_(spec), dropped_(dropped) {
  const Qos qos = withUserData(serviceQos(), "serviceid=" + serviceId(participant) + ";");
  try {
    requestTopicEntity_ =
        createSerializedTopic(participant.handle(), spec.requestTopic, spec.requestType());
    replyTopicEntity_ =
        createSerializedTopic(participant.handle(), spec.replyTopic, spec.responseType());
    reader_ =
        checked(dds_create_reader(participant.handle(), requestTopicEntity_, qos.get(), nullptr),
                "creating a request reader");
    writer_ =
        checked(dds_create_writer(participant.handle(), replyTopicEntity_, qos.get(), nullptr),
                "creating a reply writer");
  } catch (...) {
    deleteEntities();
    throw;
  }
}

CycloneServiceServer::~CycloneServiceServer() {
  deleteEntities();
}

void CycloneServiceServer::deleteEntities() {
  for (const dds_entity_t entity :
       {readCondition_, writer_, reader_, replyTopicEntity_, requestTopicEntity_}) {
    if (entity > 0) {
      dds_delete(entity);
    }
  }
}

void CycloneServiceServer::wakeOnRequests(dds_entity_t waitset) {
  if (readCondition_ == 0) {
    readCondition_ = checked(dds_create_readcondition(reader_, DDS_ANY_STATE),
                             "creating a request read condition");
  }
  checked(dds_waitset_attach(waitset, readCondition_, 0), "waiting for requests");
}

std::string CycloneServiceServer::describe() const {
  return describeService(spec_);
}

void CycloneServiceServer::serve(const Answer& answer, Clock::time_point now) {
  sendPending(now);
  while (const auto sample = takeSerialized(reader_)) {
    answerOne(sample->bytes, sample->writer, answer, now);
  }
}

void CycloneServiceServer::answerOne(const std::vector<std::uint8_t>& bytes,
                                     dds_instance_handle_t requestWriter, const Answer& answer,
                                     Clock::time_point now) {
  const auto framed = unframe(bytes, spec_.largestRequest);
  if (const auto* fault = std::get_if<std::string>(&framed)) {
    dropRequest(spec_, dropped_, *fault, now);
    return;
  }
  const auto& payload = std::get<FramedPayload>(framed);
  const RequestHeader header = payload.header;
  // rmw_fastrtps sends no request header: its request is the whole body.
  const ReceivedRequest request{
      payload.body, payload.bigEndian, "the request header",
      std::vector<std::uint8_t>(bytes.begin() + kEncapsulationSize, bytes.end()),
      "RMW_IMPLEMENTATION=rmw_fastrtps_cpp"};
  answerRequest(
      spec_, request, answer,
      [this, header, requestWriter, now](const void* response) {
        reply(header, requestWriter, response, now);
      },
      dropped_, now);
}

// A reply given during serve() waits from that serve's time; one given later, from when it is.
void CycloneServiceServer::reply(const RequestHeader& header, dds_instance_handle_t requestWriter,
                                 const void* response, Clock::time_point asked) {
  const Clock::time_point now = std::max(asked, Clock::now());
  pending_.add(frame(header, writeSample(spec_.response, response)), requestWriter, now);
  sendPending(now);
}

void CycloneServiceServer::sendPending(Clock::time_point now) {
  pending_.send(
      now, [this](dds_instance_handle_t requestWriter) { return clientReader(requestWriter); },
      [this](std::vector<std::uint8_t>& bytes, dds_instance_handle_t) {
        checked(dds_write(writer_, &bytes), "writing a reply");
      },
      spec_, dropped_);
}

// As rmw_cyclonedds checks before it replies: the request writer still there, and a reply reader
// of the same client matched; a client that names neither is taken as ready.
ClientReader CycloneServiceServer::clientReader(dds_instance_handle_t requestWriter) const {
  dds_builtintopic_endpoint_t* writer = dds_get_matched_publication_data(reader_, requestWriter);
  if (writer == nullptr) {
    return ClientReader::Gone;
  }
  const std::string client = clientIdOf(writer);
  if (client.empty()) {
    return ClientReader::Matched;
  }
  const dds_return_t count =
      checked(dds_get_matched_subscriptions(writer_, nullptr, 0), "counting the reply readers");
  std::vector<dds_instance_handle_t> readers(static_cast<std::size_t>(count));
  const dds_return_t listed =
      checked(dds_get_matched_subscriptions(writer_, readers.data(), readers.size()),
              "listing the reply readers");
  readers.resize(std::min(readers.size(), static_cast<std::size_t>(listed)));
  for (const dds_instance_handle_t reader : readers) {
    if (clientIdOf(dds_get_matched_subscription_data(writer_, reader)) == client) {
      return ClientReader::Matched;
    }
  }
  return ClientReader::NotYet;
}

}  // namespace wire
