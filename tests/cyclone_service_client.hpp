#pragma once

// A client of a ROS 2 service written as rmw_cyclonedds's clients behave, byte for byte, so that
// the node's services are tested against that layout rather than against their own code: a
// request writer on rq/<service>Request and a reply reader on rr/<service>Reply (reliable,
// volatile, keep last 10), both marked "clientid=<id>;"; each request starts, after the
// encapsulation header, with the request writer's instance handle (8 bytes) and a sequence
// number (8 bytes), and a reply counts only when it carries both back. The service counts as
// there once a request reader and a reply writer of the same "serviceid=" have matched.
//
// Requests and replies travel as serialized bytes (wire/serialized_topic.hpp): the payloads are
// laid out here by hand.

#include <dds/dds.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "dds_loopback.hpp"
#include "wire/participant.hpp"
#include "wire/qos.hpp"
#include "wire/serialized_topic.hpp"
#include "wire/user_data.hpp"

namespace cyclone_service_client {

using Bytes = std::vector<std::uint8_t>;

// Little-endian plain CDR, aligned from the start of the body.
class CdrWriter {
 public:
  CdrWriter& u8(std::uint8_t value) { return put(value, 1); }
  CdrWriter& u16(std::uint16_t value) { return put(value, 2); }
  CdrWriter& u32(std::uint32_t value) { return put(value, 4); }
  CdrWriter& i32(std::int32_t value) { return put(static_cast<std::uint32_t>(value), 4); }
  CdrWriter& f64(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return put(bits, 8);
  }
  CdrWriter& text(const std::string& value) {
    u32(static_cast<std::uint32_t>(value.size() + 1));
    bytes_.insert(bytes_.end(), value.begin(), value.end());
    bytes_.push_back(0);
    return *this;
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  // `size` bytes of `value`, least significant first, at a multiple of `size`.
  CdrWriter& put(std::uint64_t value, std::size_t size) {
    while (bytes_.size() % size != 0) {
      bytes_.push_back(0);
    }
    for (std::size_t i = 0; i < size; ++i) {
      bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    return *this;
  }
  Bytes bytes_;
};

class CdrReader {
 public:
  explicit CdrReader(Bytes bytes) : bytes_(std::move(bytes)) {}
  std::optional<std::uint8_t> u8() { return get<std::uint8_t>(); }
  std::optional<std::uint16_t> u16() { return get<std::uint16_t>(); }
  std::optional<std::uint32_t> u32() { return get<std::uint32_t>(); }
  std::optional<std::int32_t> i32() { return get<std::int32_t>(); }
  std::optional<float> f32() { return get<float>(); }
  std::optional<std::string> text() {
    const auto length = u32();
    if (!length || *length == 0 || at_ + *length > bytes_.size()) {
      return std::nullopt;
    }
    std::string value(bytes_.begin() + at_, bytes_.begin() + at_ + *length - 1);
    at_ += *length;
    return value;
  }
  // Nothing left but the zeros that pad a serialized sample to a multiple of 4 bytes.
  bool atEnd() const {
    return bytes_.size() - at_ < 4 &&
           std::all_of(bytes_.begin() + at_, bytes_.end(), [](std::uint8_t b) { return b == 0; });
  }

 private:
  // A little-endian value at the next multiple of its size.
  template <typename Value>
  std::optional<Value> get() {
    at_ = (at_ + sizeof(Value) - 1) / sizeof(Value) * sizeof(Value);
    if (at_ + sizeof(Value) > bytes_.size()) {
      return std::nullopt;
    }
    std::uint64_t bits = 0;
    for (std::size_t i = sizeof(Value); i-- > 0;) {
      bits = (bits << 8) | bytes_[at_ + i];
    }
    at_ += sizeof(Value);
    Value value;
    if constexpr (sizeof(Value) == 4) {
      const auto word = static_cast<std::uint32_t>(bits);
      std::memcpy(&value, &word, sizeof value);
    } else if constexpr (sizeof(Value) == 2) {
      const auto half = static_cast<std::uint16_t>(bits);
      std::memcpy(&value, &half, sizeof value);
    } else {
      const auto byte = static_cast<std::uint8_t>(bits);
      std::memcpy(&value, &byte, sizeof value);
    }
    return value;
  }

  Bytes bytes_;
  std::size_t at_ = 0;
};

class ServiceClient {
 public:
  // `service` is the DDS name after the prefix: "trelvo_node/get_state"; `type` the service's
  // DDS type without its suffix: "lifecycle_msgs::srv::dds_::GetState".
  ServiceClient(const wire::Participant& participant, const std::string& service,
                const std::string& type, const std::string& clientId) {
    const wire::Qos qos = wire::withUserData(wire::serviceQos(), "clientid=" + clientId + ";");
    requestTopic_ = wire::createSerializedTopic(participant.handle(), "rq/" + service + "Request",
                                                type + "_Request_");
    replyTopic_ = wire::createSerializedTopic(participant.handle(), "rr/" + service + "Reply",
                                              type + "_Response_");
    writer_ = dds_create_writer(participant.handle(), requestTopic_, qos.get(), nullptr);
    reader_ = dds_create_reader(participant.handle(), replyTopic_, qos.get(), nullptr);
    dds_get_instance_handle(writer_, &id_);
  }
  ~ServiceClient() {
    for (const dds_entity_t entity : {writer_, reader_, replyTopic_, requestTopic_}) {
      dds_delete(entity);
    }
  }
  ServiceClient(const ServiceClient&) = delete;
  ServiceClient& operator=(const ServiceClient&) = delete;

  // As rmw_service_server_is_available: a matched request reader and reply writer of one service.
  bool serviceAvailable() const {
    std::vector<std::string> readers;
    for (const auto handle : matched(writer_, dds_get_matched_subscriptions)) {
      readers.push_back(serviceIdOf(dds_get_matched_subscription_data(writer_, handle)));
    }
    for (const auto handle : matched(reader_, dds_get_matched_publications)) {
      const std::string id = serviceIdOf(dds_get_matched_publication_data(reader_, handle));
      for (const auto& reader : readers) {
        if (!id.empty() && id == reader) {
          return true;
        }
      }
    }
    return false;
  }

  // Sends bytes as they are, for requests that are no request.
  void sendRaw(const Bytes& bytes) { dds_write(writer_, &bytes); }

  // The GUIDs of the request readers this client is matched with.
  std::vector<dds_guid_t> requestReaders() const {
    std::vector<dds_guid_t> guids;
    for (const auto handle : matched(writer_, dds_get_matched_subscriptions)) {
      if (auto* reader = dds_get_matched_subscription_data(writer_, handle)) {
        guids.push_back(reader->key);
        dds_builtintopic_free_endpoint(reader);
      }
    }
    return guids;
  }

  // Sends `body` behind the request header and waits for the reply to it: the reply's body, or
  // nothing when none came within `limit`. Replies to other clients or requests are passed over.
  std::optional<Bytes> call(const Bytes& body,
                            std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    const std::int64_t sequence = ++sequence_;
    Bytes request{0, 1, 0, 0};
    appendLittleEndian(request, id_);
    appendLittleEndian(request, static_cast<std::uint64_t>(sequence));
    request.insert(request.end(), body.begin(), body.end());
    dds_write(writer_, &request);
    std::optional<Bytes> reply;
    dds_loopback::eventually(
        [&] {
          while (const auto sample = wire::takeSerialized(reader_)) {
            const Bytes& bytes = sample->bytes;
            if (bytes.size() >= 20 && bytes[0] == 0 && bytes[1] == 1 &&
                readLittleEndian(bytes, 4) == id_ &&
                readLittleEndian(bytes, 12) == static_cast<std::uint64_t>(sequence)) {
              reply = Bytes(bytes.begin() + 20, bytes.end());
            }
          }
          return reply.has_value();
        },
        limit);
    return reply;
  }

 private:
  template <typename List>
  static std::vector<dds_instance_handle_t> matched(dds_entity_t entity, List list) {
    std::vector<dds_instance_handle_t> handles(64);
    const dds_return_t count = list(entity, handles.data(), handles.size());
    handles.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return handles;
  }
  static std::string serviceIdOf(dds_builtintopic_endpoint_t* endpoint) {
    if (endpoint == nullptr) {
      return {};
    }
    const std::string id = wire::userDataValue(wire::userData(endpoint->qos), "serviceid");
    dds_builtintopic_free_endpoint(endpoint);
    return id;
  }
  static void appendLittleEndian(Bytes& bytes, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
      bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
  }
  static std::uint64_t readLittleEndian(const Bytes& bytes, std::size_t at) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
      value = (value << 8) | bytes[at + i];
    }
    return value;
  }

  dds_entity_t requestTopic_ = 0;
  dds_entity_t replyTopic_ = 0;
  dds_entity_t writer_ = 0;
  dds_entity_t reader_ = 0;
  dds_instance_handle_t id_ = 0;
  std::int64_t sequence_ = 0;
};

}  // namespace cyclone_service_client
