#pragma once

// One ROS 2 service served on the wire: requests read as samples of the service's request type,
// answered with samples of its response type, each reply going only to the client that asked.
// How requests and replies travel (rmw_cyclonedds's request header in the payload, or Fast DDS's
// related sample identity beside it) is the server's own; the node sees only this.
//
// A server is not thread-safe: serve() and the replies it hands out are called from one thread
// at a time (the node serves under its one lock).

#include <dds/dds.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "wire/rate_limited_log.hpp"

namespace wire {

/// What a service is on the wire.
struct ServiceSpec {
  std::string requestTopic;  // DDS names, "rq/trelvo_node/get_stateRequest" (topic_names.hpp)
  std::string replyTopic;
  const dds_topic_descriptor_t& request;  // the C types idlc generated
  const dds_topic_descriptor_t& response;
  std::size_t largestRequest;  // bytes; a larger request is dropped unread
  /// DDS type names when not the descriptors' own: a type of another ROS 2 distribution's layout,
  /// generated under a package name of its own.
  std::string requestTypeName = {};
  std::string responseTypeName = {};
  /// The request of the other ROS 2 distribution's layout, and the setting that serves it ("--ros-
  /// distro humble"): a request that reads as one is told with that setting.
  const dds_topic_descriptor_t* otherLayoutRequest = nullptr;
  const char* otherLayoutSetting = "";

  const char* requestType() const {
    return requestTypeName.empty() ? request.m_typename : requestTypeName.c_str();
  }
  const char* responseType() const {
    return responseTypeName.empty() ? response.m_typename : responseTypeName.c_str();
  }
};

/// "/robot1/trelvo_node/get_state (lifecycle_msgs/srv/GetState)": the service's ROS 2 name and
/// type.
std::string describeService(const ServiceSpec& spec);

class ServiceServer {
 public:
  using Clock = std::chrono::steady_clock;
  /// Sends one reply, a sample of the service's response type, to the client that asked. It may
  /// be kept and called after the answer returned (a result sent when a goal ends), at most once,
  /// while the server lives.
  using Reply = std::function<void(const void* response)>;
  /// Handles one request, a sample of the service's request type valid during the call.
  using Answer = std::function<void(const void* request, const Reply& reply)>;

  /// How long a reply waits for the asking client's reply reader to match before it is dropped.
  static constexpr std::chrono::seconds kReplyReaderWait{1};

  virtual ~ServiceServer() = default;

  /// Answers every request that arrived since the last call, and sends the replies that waited for
  /// their client's reply reader; never blocks.
  virtual void serve(const Answer& answer, Clock::time_point now) = 0;
  /// Replies are waiting for their clients' reply readers: serve again soon.
  virtual bool repliesWaiting() const = 0;
  /// Makes `waitset` (of the node's Cyclone DDS participant) wake when a request arrives.
  virtual void wakeOnRequests(dds_entity_t waitset) = 0;
  /// The readers and writers of the node's Cyclone DDS participant that serve it, for the node's
  /// place in the ROS 2 graph; none when another participant serves it.
  virtual std::vector<dds_entity_t> endpoints() const = 0;
  /// "/robot1/trelvo_node/get_state (lifecycle_msgs/srv/GetState)", for the start-up line.
  virtual std::string describe() const = 0;
};

/// Drops a request of `spec` that cannot be read, for `fault`, with a line in `dropped`.
void dropRequest(const ServiceSpec& spec, RateLimitedLog& dropped, const std::string& fault,
                 ServiceServer::Clock::time_point now);

/// A request's bytes as the server's middleware frames them, and as the other one would.
struct ReceivedRequest {
  std::vector<std::uint8_t> body;  // plain CDR after `framing`
  bool bigEndian = false;
  const char* framing;  // "the request header"
  /// The body the other middleware's framing would give, and the setting that serves it
  /// ("RMW_IMPLEMENTATION=rmw_fastrtps_cpp").
  std::optional<std::vector<std::uint8_t>> otherFraming;
  const char* otherFramingSetting;
};

/// Reads `request` as a request of `spec` and hands it to `answer` with `reply`; drops it, with a
/// line in `dropped`, when it is no request. The line names the setting that would read it, when
/// it reads under the other middleware's framing or the other distribution's layout.
void answerRequest(const ServiceSpec& spec, const ReceivedRequest& request,
                   const ServiceServer::Answer& answer, const ServiceServer::Reply& reply,
                   RateLimitedLog& dropped, ServiceServer::Clock::time_point now);

}  // namespace wire
