#pragma once

// One ROS 2 service served the way rmw_cyclonedds serves it: a reader of the requests on
// "rq/<service>Request" and a writer of the replies on "rr/<service>Reply", both of the service's
// QoS and marked "serviceid=...;" (which rmw_cyclonedds's clients check before calling), each
// request and reply framed with the request header (request_header.hpp).
//
// A reply carries the header of its request, by which only the client that asked keeps it; it is
// written once that client's reply reader has matched (a client names its reader and its request
// writer with the same "clientid=...;"), at most kReplyReaderWait after the request. Requests that
// cannot be read are dropped with a line each in the log given, at most one a second.

#include <dds/dds.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "wire/participant.hpp"
#include "wire/rate_limited_log.hpp"

namespace wire {

class ServiceServer {
 public:
  using Clock = std::chrono::steady_clock;
  /// Sends one reply, a sample of the service's response type, to the client that asked.
  using Reply = std::function<void(const void* response)>;
  /// Handles one request, a sample of the service's request type valid during the call.
  using Answer = std::function<void(const void* request, const Reply& reply)>;

  static constexpr std::chrono::seconds kReplyReaderWait{1};

  /// Serves the service on `requestTopic` and `replyTopic` (see topic_names.hpp) with requests of
  /// the type `request` and replies of `response`, dropping requests larger than `largestRequest`
  /// bytes. Throws std::runtime_error when DDS fails.
  ServiceServer(const Participant& participant, const std::string& requestTopic,
                const std::string& replyTopic, const dds_topic_descriptor_t& request,
                const dds_topic_descriptor_t& response, std::size_t largestRequest,
                RateLimitedLog& dropped);
  ~ServiceServer();
  ServiceServer(const ServiceServer&) = delete;
  ServiceServer& operator=(const ServiceServer&) = delete;

  /// Answers every request that arrived since the last call, and sends the replies that waited for
  /// their client's reply reader; never blocks.
  void serve(const Answer& answer, Clock::time_point now);

  dds_entity_t requestReader() const { return reader_; }
  dds_entity_t replyWriter() const { return writer_; }
  /// "/robot1/trelvo_node/get_state (lifecycle_msgs/srv/GetState)", for the start-up line.
  std::string describe() const;

 private:
  struct PendingReply {
    std::vector<std::uint8_t> bytes;
    dds_instance_handle_t requestWriter;
    Clock::time_point deadline;
  };
  enum class ClientReader { Matched, NotYet, Gone };

  void deleteEntities();
  void answerOne(const std::vector<std::uint8_t>& bytes, dds_instance_handle_t requestWriter,
                 const Answer& answer, Clock::time_point now);
  void sendPending(Clock::time_point now);
  ClientReader clientReader(dds_instance_handle_t requestWriter) const;

  const dds_topic_descriptor_t& requestType_;
  const dds_topic_descriptor_t& responseType_;
  std::size_t largestRequest_;
  RateLimitedLog& dropped_;
  std::string requestTopic_;
  dds_entity_t requestTopicEntity_ = 0;
  dds_entity_t replyTopicEntity_ = 0;
  dds_entity_t reader_ = 0;
  dds_entity_t writer_ = 0;
  std::vector<PendingReply> pending_;
};

}  // namespace wire
