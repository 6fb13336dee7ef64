// A service's requests and replies as rmw_fastrtps carries them, on Fast DDS: where a reply goes,
// the middleware RMW_IMPLEMENTATION chooses, the encapsulation checks and the raw payloads; and,
// on Fast DDS (loopback only), a server against a client written from rmw_fastrtps's behaviour
// (fastdds_service_client.hpp): the reply held until the client's reply reader has matched, the
// node's waitset woken by a request, and a client that takes no reply a server misaddresses.

#include <gtest/gtest.h>

#include <lifecycle_msgs/srv/GetState_Request.h>
#include <lifecycle_msgs/srv/GetState_Response.h>

#include <fastdds/rtps/common/SerializedPayload.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "cyclone_service_client.hpp"
#include "dds_loopback.hpp"
#include "fastdds_service_client.hpp"
#include "wire/fastdds_raw_type.hpp"
#include "wire/fastdds_service_server.hpp"
#include "wire/participant.hpp"
#include "wire/plain_cdr.hpp"
#include "wire/service_factory.hpp"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using cyclone_service_client::CdrReader;
using cyclone_service_client::CdrWriter;
using Clock = wire::ServiceServer::Clock;
namespace rtps = eprosima::fastrtps::rtps;

const int kServerDomain = dds_loopback::freeDomain();
const int kBrokenServerDomain = dds_loopback::freeDomain();
constexpr std::size_t kLargest = 4096;

rtps::GUID_t guid(std::uint8_t prefix, std::uint8_t kind) {
  rtps::GUID_t made;
  made.guidPrefix.value[0] = prefix;
  made.entityId.value[2] = 1;
  made.entityId.value[3] = kind;
  return made;
}

rtps::SampleIdentity identity(const rtps::GUID_t& writer, std::int32_t sequence) {
  rtps::SampleIdentity made;
  made.writer_guid() = writer;
  made.sequence_number() = rtps::SequenceNumber_t(0, static_cast<std::uint32_t>(sequence));
  return made;
}

TEST(WireFastddsService, ReplyGoesToTheReaderTheClientNamedWithTheRequestsSequenceNumber) {
  constexpr std::uint8_t kWriterKind = 0x03;  // a keyless user writer
  constexpr std::uint8_t kReaderKind = 0x04;  // a keyless user reader
  const rtps::GUID_t writer = guid(1, kWriterKind);
  const rtps::GUID_t reader = guid(1, kReaderKind);
  const rtps::GUID_t otherWriter = guid(2, kWriterKind);
  const struct {
    const char* client;
    rtps::SampleIdentity named;
    rtps::GUID_t repliedTo;
    bool waitsForReader;
  } cases[] = {
      {"rmw_fastrtps: names its reply reader", identity(reader, 0), reader, true},
      {"names nothing", rtps::SampleIdentity(), writer, false},
      {"names a writer", identity(otherWriter, 0), otherWriter, false},
  };
  for (const auto& c : cases) {
    const auto address = wire::fastReplyAddress(identity(writer, 42), c.named);
    EXPECT_EQ(address.related.writer_guid(), c.repliedTo) << c.client;
    EXPECT_EQ(address.related.sequence_number(), rtps::SequenceNumber_t(0, 42)) << c.client;
    EXPECT_EQ(address.requestWriter, writer) << c.client;
    EXPECT_EQ(address.replyReader.has_value(), c.waitsForReader) << c.client;
    if (address.replyReader) {
      EXPECT_EQ(*address.replyReader, reader) << c.client;
    }
  }
}

TEST(WireFastddsService, RmwImplementationChoosesTheServicesMiddleware) {
  using wire::ServiceMiddleware;
  const struct {
    const char* value;
    ServiceMiddleware middleware;
  } cases[] = {
      {nullptr, ServiceMiddleware::CycloneDds},
      {"", ServiceMiddleware::CycloneDds},
      {"rmw_cyclonedds_cpp", ServiceMiddleware::CycloneDds},
      {"rmw_fastrtps_cpp", ServiceMiddleware::FastDds},
      {"rmw_fastrtps_dynamic_cpp", ServiceMiddleware::FastDds},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wire::serviceMiddleware(c.value), c.middleware) << (c.value ? c.value : "unset");
  }
  for (const char* refused : {"rmw_connextdds", "rmw_fastrtps", "rmw_cyclonedds_cpp "}) {
    try {
      wire::serviceMiddleware(refused);
      ADD_FAILURE() << refused << " taken";
    } catch (const std::invalid_argument& error) {
      const std::string text = error.what();
      EXPECT_NE(text.find(refused), std::string::npos) << text;
      EXPECT_NE(text.find("rmw_cyclonedds_cpp"), std::string::npos) << text;
      EXPECT_NE(text.find("rmw_fastrtps_cpp"), std::string::npos) << text;
    }
  }
}

TEST(WireFastddsService, PayloadsAreOpenedOnlyAsPlainCdrWithinTheLargestSize) {
  const struct {
    Bytes bytes;
    const char* fault;  // none: opened
  } cases[] = {
      {{}, "shorter than an encapsulation header"},
      {{0, 1, 0}, "shorter than an encapsulation header"},
      {{0, 1, 0, 0}, nullptr},  // an empty body, refused later by the type
      {{0, 0, 0, 0, 7}, nullptr},
      {{0, 7, 0, 0, 7}, "not plain CDR"},
      {{1, 1, 0, 0, 7}, "not plain CDR"},
      {Bytes(kLargest, 0), nullptr},
      {Bytes(kLargest + 1, 0), "more than the 4096"},
  };
  for (const auto& c : cases) {
    const auto opened = wire::openPlainCdr(c.bytes, kLargest);
    if (c.fault == nullptr) {
      ASSERT_TRUE(std::holds_alternative<wire::PlainCdr>(opened)) << c.bytes.size();
      EXPECT_EQ(std::get<wire::PlainCdr>(opened).body.size(), c.bytes.size() - 4);
      EXPECT_EQ(std::get<wire::PlainCdr>(opened).bigEndian, c.bytes[1] == 0);
    } else {
      ASSERT_TRUE(std::holds_alternative<std::string>(opened)) << c.fault;
      EXPECT_NE(std::get<std::string>(opened).find(c.fault), std::string::npos)
          << std::get<std::string>(opened);
    }
  }
  EXPECT_EQ(wire::encapsulated({9, 8}), (Bytes{0, 1, 0, 0, 9, 8}));
}

TEST(WireFastddsService, RawPayloadsTravelAsTheyAreAndNeverBeyondTheirBuffer) {
  wire::FastRawType type("lifecycle_msgs::srv::dds_::GetState_Request_");
  EXPECT_STREQ(type.getName(), "lifecycle_msgs::srv::dds_::GetState_Request_");
  Bytes sent{0, 1, 0, 0, 3, 0, 0, 0};
  rtps::SerializedPayload_t payload(static_cast<std::uint32_t>(sent.size()));
  ASSERT_EQ(type.getSerializedSizeProvider(&sent)(), sent.size());
  ASSERT_TRUE(type.serialize(&sent, &payload));
  EXPECT_EQ(payload.encapsulation, CDR_LE);
  Bytes received;
  ASSERT_TRUE(type.deserialize(&payload, &received));
  EXPECT_EQ(received, sent);
  sent.push_back(0);  // one byte more than the buffer holds
  EXPECT_FALSE(type.serialize(&sent, &payload));
}

void useLoopbackProfile() {
  setenv("FASTRTPS_DEFAULT_PROFILES_FILE", FASTDDS_LOOPBACK_PROFILE, 1);
  dds_loopback::useLoopbackOnly();
}

wire::ServiceSpec getStateSpec(const std::string& service) {
  return {"rq/" + service + "Request", "rr/" + service + "Reply",
          lifecycle_msgs_srv_dds__GetState_Request__desc,
          lifecycle_msgs_srv_dds__GetState_Response__desc, kLargest};
}

const char* kGetState = "lifecycle_msgs::srv::dds_::GetState";

// A request wakes the node's waitset; serving resets it; the reply waits for the asking client's
// reply reader, and is dropped, said so, when it never comes.
TEST(WireFastddsService, RequestWakesTheWaitsetAndTheReplyWaitsForTheClientsReader) {
  useLoopbackProfile();
  wire::Participant node(kServerDomain);
  const auto participant = std::make_shared<wire::FastParticipant>(kServerDomain);
  std::vector<std::string> lines;
  wire::RateLimitedLog log([&](const std::string& line) { lines.push_back(line); });
  wire::FastServiceServer server(participant, getStateSpec("svc/get_state"), log);
  const dds_entity_t waitset = dds_create_waitset(node.handle());
  server.wakeOnRequests(waitset);
  int answered = 0;
  const auto answer = [&](const void*, const wire::ServiceServer::Reply& reply) {
    ++answered;
    lifecycle_msgs_srv_dds__GetState_Response_ response{{3, const_cast<char*>("active")}};
    reply(&response);
  };

  fastdds_service_client::Participant clients(kServerDomain);
  fastdds_service_client::ServiceClient late(clients, "svc/get_state", kGetState, true);
  ASSERT_TRUE(dds_loopback::eventually([&] { return late.requestReaderMatched(); }));
  EXPECT_EQ(dds_waitset_wait(waitset, nullptr, 0, DDS_MSECS(20)), 0);
  std::optional<Bytes> reply;
  std::thread call([&] { reply = late.call(CdrWriter().u8(0).bytes(), 2s); });
  ASSERT_GT(dds_waitset_wait(waitset, nullptr, 0, DDS_SECS(2)), 0);
  server.serve(answer, Clock::now());
  EXPECT_EQ(answered, 1);
  EXPECT_EQ(dds_waitset_wait(waitset, nullptr, 0, DDS_MSECS(20)), 0) << "not reset by serving";
  EXPECT_TRUE(server.repliesWaiting());
  late.openReplyReader();
  ASSERT_TRUE(dds_loopback::eventually([&] {
    server.serve(answer, Clock::now());
    return !server.repliesWaiting();
  }));
  call.join();
  ASSERT_TRUE(reply.has_value());
  CdrReader read(*reply);
  EXPECT_EQ(read.u8(), std::uint8_t{3});
  EXPECT_EQ(read.text(), std::string("active"));
  EXPECT_TRUE(lines.empty());

  // A client whose reply reader never matches: its reply is dropped after the wait.
  fastdds_service_client::ServiceClient never(clients, "svc/get_state", kGetState, true);
  ASSERT_TRUE(dds_loopback::eventually([&] { return never.requestReaderMatched(); }));
  std::thread unanswered([&] { EXPECT_FALSE(never.call(CdrWriter().u8(0).bytes(), 300ms)); });
  ASSERT_TRUE(dds_loopback::eventually([&] {
    server.serve(answer, Clock::now());
    return answered == 2;
  }));
  unanswered.join();
  EXPECT_TRUE(server.repliesWaiting());
  server.serve(answer, Clock::now() + wire::ServiceServer::kReplyReaderWait + 100ms);
  EXPECT_FALSE(server.repliesWaiting());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("did not match"), std::string::npos) << lines[0];

  // What cannot be read is dropped, said so, and the next request answered.
  fastdds_service_client::ServiceClient client(clients, "svc/get_state", kGetState);
  ASSERT_TRUE(dds_loopback::eventually([&] { return client.serviceAvailable(); }));
  client.sendRaw({0, 1, 0, 0});
  std::thread again([&] { reply = client.call(CdrWriter().u8(0).bytes(), 2s); });
  ASSERT_TRUE(dds_loopback::eventually([&] {
    server.serve(answer, Clock::now() + 3 * wire::RateLimitedLog::kInterval);
    return answered == 3;
  }));
  again.join();
  EXPECT_TRUE(reply.has_value());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("dropped a request that cannot be read"), std::string::npos) << lines[1];
  dds_delete(waitset);
}

// The client is no client that takes any reply: against a server that answers as rmw_fastrtps
// does not, it gets no reply.
TEST(WireFastddsService, TheClientTakesNoReplyThatIsNotAddressedToIt) {
  useLoopbackProfile();
  fastdds_service_client::Participant participant(kBrokenServerDomain);
  fastdds_service_client::ServiceClient client(participant, "broken/get_state", kGetState);
  auto* requests = participant.reader(
      participant.topic("rq/broken/get_stateRequest", std::string(kGetState) + "_Request_"));
  auto* replies = participant.writer(
      participant.topic("rr/broken/get_stateReply", std::string(kGetState) + "_Response_"));
  ASSERT_TRUE(dds_loopback::eventually([&] { return client.serviceAvailable(); }));
  const Bytes state = wire::encapsulated(CdrWriter().u8(3).text("active").bytes());
  enum class Address { None, RequestWriter, NamedReader, AnotherGuid };
  const struct {
    const char* fault;
    Address to;
    int sequenceChange;
  } servers[] = {
      {"no related sample identity", Address::None, 0},
      {"another GUID", Address::AnotherGuid, 0},
      {"another sequence number", Address::NamedReader, 1},
      {"none: answers the request writer, as to a client naming no reader", Address::RequestWriter,
       0},
      {"none: answers as rmw_fastrtps", Address::NamedReader, 0},
  };
  for (const auto& server : servers) {
    std::thread answer([&] {
      Bytes request;
      fastdds_service_client::dds::SampleInfo info;
      ASSERT_TRUE(dds_loopback::eventually(
          [&] { return requests->take_next_sample(&request, &info) == ReturnCode_t::RETCODE_OK; }));
      rtps::WriteParams params;
      if (server.to != Address::None) {
        params.related_sample_identity().writer_guid() =
            server.to == Address::RequestWriter ? info.sample_identity.writer_guid()
            : server.to == Address::NamedReader ? info.related_sample_identity.writer_guid()
                                                : guid(9, 0x04);
        params.related_sample_identity().sequence_number() =
            info.sample_identity.sequence_number() +
            static_cast<std::uint32_t>(server.sequenceChange);
      }
      Bytes reply = state;
      replies->write(&reply, params);
    });
    const auto reply = client.call(CdrWriter().u8(0).bytes(), 300ms);
    answer.join();
    EXPECT_EQ(reply.has_value(), std::string(server.fault).rfind("none", 0) == 0) << server.fault;
  }
}

}  // namespace
