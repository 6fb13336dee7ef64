#pragma once

// A ROS 2 service served the way rmw_cyclonedds serves it: a reader of the requests on
// "rq/<service>Request" and a writer of the replies on "rr/<service>Reply", both of the service's
// QoS and marked "serviceid=...;" (which rmw_cyclonedds's clients check before calling), each
// request and reply framed with the request header (request_header.hpp).
//
// A reply carries the header of its request, by which only the client that asked keeps it; it is
// written once that client's reply reader has matched (a client names its reader and its request
// writer with the same "clientid=...;"), at most kReplyReaderWait after it was given. Requests that
// cannot be read are dropped with a line each in the log given, at most one a second.

#include <dds/dds.h>

#include <cstdint>
#include <string>
#include <vector>

#include "wire/participant.hpp"
#include "wire/pending_replies.hpp"
#include "wire/rate_limited_log.hpp"
#include "wire/request_header.hpp"
#include "wire/service_server.hpp"

namespace wire {

class CycloneServiceServer final : public ServiceServer {
 public:
  /// Serves `spec` on `participant`. Throws std::runtime_error when DDS fails.
  CycloneServiceServer(const Participant& participant, const ServiceSpec& spec,
                       RateLimitedLog& dropped);
  ~CycloneServiceServer() override;
  CycloneServiceServer(const CycloneServiceServer&) = delete;
  CycloneServiceServer& operator=(const CycloneServiceServer&) = delete;

  void serve(const Answer& answer, Clock::time_point now) override;
  bool repliesWaiting() const override { return !pending_.empty(); }
  void wakeOnRequests(dds_entity_t waitset) override;
  std::vector<dds_entity_t> endpoints() const override { return {reader_, writer_}; }
  std::string describe() const override;

 private:
  void deleteEntities();
  void answerOne(const std::vector<std::uint8_t>& bytes, dds_instance_handle_t requestWriter,
                 const Answer& answer, Clock::time_point now);
  void reply(const RequestHeader& header, dds_instance_handle_t requestWriter, const void* response,
             Clock::time_point asked);
  void sendPending(Clock::time_point now);
  ClientReader clientReader(dds_instance_handle_t requestWriter) const;

  ServiceSpec spec_;
  RateLimitedLog& dropped_;
  dds_entity_t requestTopicEntity_ = 0;
  dds_entity_t replyTopicEntity_ = 0;
  dds_entity_t reader_ = 0;
  dds_entity_t writer_ = 0;
  dds_entity_t readCondition_ = 0;
  PendingReplies<dds_instance_handle_t> pending_;
};

}  // namespace wire
