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
// laid out by hand (cdr_by_hand.hpp).

#include <dds/dds.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cdr_by_hand.hpp"
#include "dds_loopback.hpp"
#include "wire/participant.hpp"
#include "wire/qos.hpp"
#include "wire/serialized_topic.hpp"
#include "wire/user_data.hpp"

namespace cyclone_service_client {

using cdr_by_hand::Bytes;
using cdr_by_hand::CdrReader;
using cdr_by_hand::CdrWriter;

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
