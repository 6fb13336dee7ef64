#pragma once

// A ROS 2 service served the way rmw_fastrtps_cpp serves it, on Fast DDS: a reader of the requests
// on "rq/<service>Request" and a writer of the replies on "rr/<service>Reply", of the service's QoS
// (reliable, volatile, keep last 10), each request and reply plain CDR with no header. A request
// is known by its sample identity (its writer's GUID and sequence number); a client of
// rmw_fastrtps names its reply reader in the request's related sample identity, and the reply
// carries the request's sequence number and that reader's GUID (the request writer's when the
// client named none) as its related sample identity, by which only the asking client keeps it.
//
// A reply is written once the client's reply reader has matched, at most kReplyReaderWait after it
// was given, and dropped silently when the client's request writer is gone. Requests that cannot
// be read are dropped with a line each in the log given, at most one a second.
//
// Fast DDS calls its listeners from threads of its own: they only keep the matched endpoints
// (under a lock of their own) and trigger the guard condition that wakes the node's waitset.

#include <dds/dds.h>

#include <fastdds/rtps/common/Guid.h>
#include <fastdds/rtps/common/SampleIdentity.h>
#include <fastdds/dds/publisher/DataWriter.hpp>
#include <fastdds/dds/publisher/DataWriterListener.hpp>
#include <fastdds/dds/subscriber/DataReader.hpp>
#include <fastdds/dds/subscriber/DataReaderListener.hpp>
#include <fastdds/dds/topic/Topic.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "wire/fastdds_participant.hpp"
#include "wire/pending_replies.hpp"
#include "wire/rate_limited_log.hpp"
#include "wire/service_server.hpp"

namespace wire {

/// Where a reply goes.
struct FastReplyAddress {
  /// Written with the reply, for the client to know it by.
  eprosima::fastrtps::rtps::SampleIdentity related;
  /// The client's request writer: while it is matched the client is there.
  eprosima::fastrtps::rtps::GUID_t requestWriter;
  /// The client's reply reader, which must have matched before the reply is written; none when
  /// the client named no reader.
  std::optional<eprosima::fastrtps::rtps::GUID_t> replyReader;
};

/// The address of the reply to the request of sample identity `request` whose related sample
/// identity is `named`, as rmw_fastrtps addresses it: to the GUID the client named there (its
/// reply reader) or, when it named none, to the request writer; with the request's sequence
/// number. The reply waits only for a GUID that is a reader's (RTPS marks readers in the entity
/// kind).
FastReplyAddress fastReplyAddress(const eprosima::fastrtps::rtps::SampleIdentity& request,
                                  const eprosima::fastrtps::rtps::SampleIdentity& named);

class FastServiceServer final : public ServiceServer {
 public:
  /// Serves `spec` on `participant`, which it keeps. Throws std::runtime_error when Fast DDS fails.
  FastServiceServer(std::shared_ptr<FastParticipant> participant, const ServiceSpec& spec,
                    RateLimitedLog& dropped);
  ~FastServiceServer() override;
  FastServiceServer(const FastServiceServer&) = delete;
  FastServiceServer& operator=(const FastServiceServer&) = delete;

  void serve(const Answer& answer, Clock::time_point now) override;
  bool repliesWaiting() const override { return !pending_.empty(); }
  /// Attaches a guard condition, triggered when a request arrives and reset by serve().
  void wakeOnRequests(dds_entity_t waitset) override;
  /// None: the endpoints are Fast DDS's, of a participant of their own.
  std::vector<dds_entity_t> endpoints() const override { return {}; }
  std::string describe() const override;

 private:
  using Guid = eprosima::fastrtps::rtps::GUID_t;

  // The request writers and reply readers matched, and the waking on requests.
  class Listener final : public eprosima::fastdds::dds::DataReaderListener,
                         public eprosima::fastdds::dds::DataWriterListener {
   public:
    void on_data_available(eprosima::fastdds::dds::DataReader* reader) override;
    void on_subscription_matched(
        eprosima::fastdds::dds::DataReader* reader,
        const eprosima::fastdds::dds::SubscriptionMatchedStatus& status) override;
    void on_publication_matched(
        eprosima::fastdds::dds::DataWriter* writer,
        const eprosima::fastdds::dds::PublicationMatchedStatus& status) override;

    bool requestWriterMatched(const Guid& writer) const;
    bool replyReaderMatched(const Guid& reader) const;
    std::atomic<dds_entity_t> guard{0};

   private:
    mutable std::mutex lock_;
    std::set<Guid> requestWriters_;
    std::set<Guid> replyReaders_;
  };

  void deleteEntities();
  void answerOne(const std::vector<std::uint8_t>& bytes, const FastReplyAddress& address,
                 const Answer& answer, Clock::time_point now);
  void reply(const FastReplyAddress& address, const void* response, Clock::time_point asked);
  void sendPending(Clock::time_point now);
  ClientReader clientReader(const FastReplyAddress& address) const;

  std::shared_ptr<FastParticipant> participant_;
  ServiceSpec spec_;
  RateLimitedLog& dropped_;
  Listener listener_;
  eprosima::fastdds::dds::Topic* requestTopic_ = nullptr;
  eprosima::fastdds::dds::Topic* replyTopic_ = nullptr;
  eprosima::fastdds::dds::DataReader* reader_ = nullptr;
  eprosima::fastdds::dds::DataWriter* writer_ = nullptr;
  PendingReplies<FastReplyAddress> pending_;
};

}  // namespace wire
