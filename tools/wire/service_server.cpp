#include "wire/service_server.hpp"

#include <fmt/format.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <variant>

#include "wire/cdr_body.hpp"
#include "wire/dds_error.hpp"
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

// A sample of an idlc type, zeroed, aligned for any of its fields. Zeroed byte by byte: a vector's
// value-initialised max_align_t elements leave their padding as the allocator found it, and a
// pointer field there would reach Cyclone as garbage.
class SampleStorage {
 public:
  explicit SampleStorage(std::size_t size)
      : words_((size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t) + 1) {
    std::memset(words_.data(), 0, words_.size() * sizeof(std::max_align_t));
  }
  void* get() { return words_.data(); }

 private:
  std::vector<std::max_align_t> words_;
};

}  // namespace

ServiceServer::ServiceServer(const Participant& participant, const std::string& requestTopic,
                             const std::string& replyTopic, const dds_topic_descriptor_t& request,
                             const dds_topic_descriptor_t& response, std::size_t largestRequest,
                             RateLimitedLog& dropped)
    : requestType_(request),
      responseType_(response),
      largestRequest_(largestRequest),
      dropped_(dropped),
      requestTopic_(requestTopic) {
  const Qos qos = withUserData(serviceQos(), "serviceid=" + serviceId(participant) + ";");
  try {
    requestTopicEntity_ =
        createSerializedTopic(participant.handle(), requestTopic, request.m_typename);
    replyTopicEntity_ =
        createSerializedTopic(participant.handle(), replyTopic, response.m_typename);
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

ServiceServer::~ServiceServer() {
  deleteEntities();
}

void ServiceServer::deleteEntities() {
  for (const dds_entity_t entity : {writer_, reader_, replyTopicEntity_, requestTopicEntity_}) {
    if (entity > 0) {
      dds_delete(entity);
    }
  }
}

std::string ServiceServer::describe() const {
  std::string type = rosTypeName(requestType_.m_typename);
  constexpr std::string_view kRequestSuffix = "_Request";
  if (type.size() > kRequestSuffix.size() &&
      type.compare(type.size() - kRequestSuffix.size(), kRequestSuffix.size(), kRequestSuffix) ==
          0) {
    type.resize(type.size() - kRequestSuffix.size());
  }
  return rosServiceName(requestTopic_) + " (" + type + ")";
}

void ServiceServer::serve(const Answer& answer, Clock::time_point now) {
  sendPending(now);
  while (const auto sample = takeSerialized(reader_)) {
    answerOne(sample->bytes, sample->writer, answer, now);
  }
}

void ServiceServer::answerOne(const std::vector<std::uint8_t>& bytes,
                              dds_instance_handle_t requestWriter, const Answer& answer,
                              Clock::time_point now) {
  const auto framed = unframe(bytes, largestRequest_);
  if (const auto* fault = std::get_if<std::string>(&framed)) {
    dropped_.note(fmt::format("{}: dropped a request that cannot be read: {}",
                              rosServiceName(requestTopic_), *fault),
                  now);
    return;
  }
  const auto& payload = std::get<FramedPayload>(framed);
  SampleStorage request(requestType_.m_size);
  if (!readSample(requestType_, payload.body, payload.bigEndian, request.get())) {
    dropped_.note(fmt::format("{}: dropped a request that cannot be read: {} bytes after the "
                              "request header are no {}",
                              rosServiceName(requestTopic_), payload.body.size(),
                              rosTypeName(requestType_.m_typename)),
                  now);
    return;
  }
  try {
    answer(request.get(), [&](const void* response) {
      pending_.push_back({frame(payload.header, writeSample(responseType_, response)),
                          requestWriter, now + kReplyReaderWait});
    });
  } catch (...) {
    releaseSample(requestType_, request.get());
    throw;
  }
  releaseSample(requestType_, request.get());
  sendPending(now);
}

void ServiceServer::sendPending(Clock::time_point now) {
  for (auto reply = pending_.begin(); reply != pending_.end();) {
    const ClientReader reader = clientReader(reply->requestWriter);
    if (reader == ClientReader::NotYet && now < reply->deadline) {
      ++reply;
      continue;
    }
    if (reader == ClientReader::Matched) {
      checked(dds_write(writer_, &reply->bytes), "writing a reply");
    } else if (reader == ClientReader::NotYet) {
      dropped_.note(fmt::format("{}: dropped a reply: the client's reply reader did not match "
                                "within {} s",
                                rosServiceName(requestTopic_), kReplyReaderWait.count()),
                    now);
    }
    reply = pending_.erase(reply);
  }
}

// As rmw_cyclonedds checks before it replies: the request writer still there, and a reply reader
// of the same client matched; a client that names neither is taken as ready.
ServiceServer::ClientReader ServiceServer::clientReader(dds_instance_handle_t requestWriter) const {
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
