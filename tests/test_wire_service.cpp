// A service's requests and replies as rmw_cyclonedds frames them: the request header taken apart
// and put together, the request read through Cyclone's serializer, every request that cannot be
// read refused without a crash; and, on DDS (loopback only), a reply held until the asking
// client's reply reader has matched.

#include <gtest/gtest.h>

#include <lifecycle_msgs/srv/ChangeState_Request.h>
#include <lifecycle_msgs/srv/GetState_Request.h>
#include <lifecycle_msgs/srv/GetState_Response.h>
#include <nav2_msgs/action/FollowPathSendGoal_Request.h>
#include <nav2_msgs_humble/action/FollowPathSendGoal_Request.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "dds_loopback.hpp"
#include "wire/cdr_body.hpp"
#include "wire/cyclone_service_server.hpp"
#include "wire/qos.hpp"
#include "wire/rate_limited_log.hpp"
#include "wire/request_header.hpp"
#include "wire/serialized_topic.hpp"
#include "wire/topic_names.hpp"
#include "wire/user_data.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kLargest = 4096;
const dds_topic_descriptor_t& kChangeState = lifecycle_msgs_srv_dds__ChangeState_Request__desc;

Bytes changeStateBody(std::uint8_t id, const char* label) {
  lifecycle_msgs_srv_dds__ChangeState_Request_ request{};
  request.transition.id = id;
  request.transition.label = const_cast<char*>(label);
  return wire::writeSample(kChangeState, &request);
}

using Transition = std::pair<int, std::string>;

// Reads `body` as a ChangeState request: the transition id and label, or nothing.
std::optional<Transition> readChangeState(const Bytes& body, bool bigEndian) {
  lifecycle_msgs_srv_dds__ChangeState_Request_ request{};
  if (!wire::readSample(kChangeState, body, bigEndian, &request)) {
    EXPECT_EQ(request.transition.label, nullptr);
    return std::nullopt;
  }
  Transition read{request.transition.id, request.transition.label};
  wire::releaseSample(kChangeState, &request);
  return read;
}

TEST(WireService, HeaderIsClientIdThenSequenceAfterTheEncapsulation) {
  const Bytes bytes = wire::frame({0x0102030405060708u, 42}, changeStateBody(3, "activate"));
  // Little-endian plain CDR; the id and the sequence number as rmw_cyclonedds writes them.
  const Bytes start{0, 1, 0, 0, 8, 7, 6, 5, 4, 3, 2, 1, 42, 0, 0, 0, 0, 0, 0, 0, 3};
  ASSERT_GT(bytes.size(), start.size());
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + start.size()), start);

  const auto framed = wire::unframe(bytes, kLargest);
  ASSERT_TRUE(std::holds_alternative<wire::FramedPayload>(framed));
  const auto& payload = std::get<wire::FramedPayload>(framed);
  EXPECT_EQ(payload.header.client, 0x0102030405060708u);
  EXPECT_EQ(payload.header.sequence, 42);
  const auto read = readChangeState(payload.body, payload.bigEndian);
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, Transition(3, "activate"));
}

TEST(WireService, BigEndianRequestsAreReadInTheirOwnOrder) {
  // Transition 4 "deactivate" as a big-endian writer lays it out: id, padding, length, label.
  Bytes bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 7, 4, 0, 0, 0, 0, 0, 0, 11};
  for (const char c : std::string("deactivate")) {
    bytes.push_back(static_cast<std::uint8_t>(c));
  }
  bytes.push_back(0);
  const auto framed = wire::unframe(bytes, kLargest);
  ASSERT_TRUE(std::holds_alternative<wire::FramedPayload>(framed));
  const auto& payload = std::get<wire::FramedPayload>(framed);
  EXPECT_TRUE(payload.bigEndian);
  EXPECT_EQ(payload.header.client, 9u);
  EXPECT_EQ(payload.header.sequence, 7);
  const auto read = readChangeState(payload.body, payload.bigEndian);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->second, "deactivate");
}

TEST(WireService, PayloadsThatAreNoFramedRequestAreRefusedWithTheirReason) {
  const struct {
    Bytes bytes;
    const char* reason;
  } cases[] = {
      {{}, "shorter than an encapsulation header"},
      {{0, 1, 0}, "shorter than an encapsulation header"},
      {{0, 1, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, "shorter than the request"},
      {{0, 7, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
       "not plain CDR"},  // XCDR2
      {{0, 3, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
       "not plain CDR"},  // PL_CDR
      {{1, 1, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, "not plain CDR"},
      {Bytes(kLargest + 1, 0), "more than the 4096"},
  };
  for (const auto& c : cases) {
    const auto framed = wire::unframe(c.bytes, kLargest);
    ASSERT_TRUE(std::holds_alternative<std::string>(framed)) << c.reason;
    EXPECT_NE(std::get<std::string>(framed).find(c.reason), std::string::npos)
        << std::get<std::string>(framed);
  }
  // The largest size itself is taken.
  Bytes largest = wire::frame({1, 1}, changeStateBody(1, "configure"));
  EXPECT_TRUE(std::holds_alternative<wire::FramedPayload>(wire::unframe(largest, largest.size())));
}

TEST(WireService, EveryTruncationOfARequestIsRefused) {
  const Bytes body = changeStateBody(1, "configure");
  for (std::size_t length = 0; length < body.size(); ++length) {
    EXPECT_FALSE(readChangeState(Bytes(body.begin(), body.begin() + length), false))
        << length << " of " << body.size() << " bytes";
  }
}

TEST(WireService, GarbledRequestsAreRefused) {
  const Bytes body = changeStateBody(1, "configure");  // id, 3 padding, length 10, "configure\0"
  Bytes absurdLength = body;
  absurdLength[4] = absurdLength[5] = absurdLength[6] = absurdLength[7] = 0xff;
  Bytes unterminated = body;
  unterminated.back() = 'x';
  Bytes anotherLayout = body;  // more than padding after the request
  anotherLayout.insert(anotherLayout.end(), {1, 2, 3, 4, 5, 6, 7, 8});
  for (const Bytes& garbled : {absurdLength, unterminated, anotherLayout}) {
    EXPECT_FALSE(readChangeState(garbled, false));
  }
  // A writer's padding to whole 4-byte units is no fault.
  Bytes padded = body;
  padded.resize((body.size() + 4) / 4 * 4, 0);
  ASSERT_GT(padded.size(), body.size());
  EXPECT_TRUE(readChangeState(padded, false));
}

// A goal carries a path: sequences of structs holding strings, where a length that lies reaches
// furthest. Every truncation is refused, and no byte set to 0xff makes the reader crash or leak
// (the sanitizer build runs this too); what it still reads is released.
TEST(WireService, GoalRequestsSurviveEveryTruncationAndEveryGarbledByte) {
  std::vector<geometry_msgs_msg_dds__PoseStamped_> poses(3);
  for (std::size_t i = 0; i < poses.size(); ++i) {
    poses[i].header.frame_id = const_cast<char*>("map");
    poses[i].pose.position.x = static_cast<double>(i);
    poses[i].pose.orientation.w = 1.0;
  }
  const auto path = [&] {
    nav_msgs_msg_dds__Path_ sample{};
    sample.header.frame_id = const_cast<char*>("map");
    sample.poses._length = sample.poses._maximum = static_cast<std::uint32_t>(poses.size());
    sample.poses._buffer = poses.data();
    return sample;
  };
  char controller[] = "FollowPath";
  nav2_msgs_action_dds__FollowPath_SendGoal_Request_ jazzy{};
  jazzy.path = path();
  jazzy.controller_id = jazzy.goal_checker_id = jazzy.progress_checker_id = controller;
  nav2_msgs_humble_action_dds__FollowPath_SendGoal_Request_ humble{};
  humble.path = path();
  humble.controller_id = humble.goal_checker_id = controller;
  const struct {
    const char* layout;
    const dds_topic_descriptor_t& type;
    const void* sample;
  } goals[] = {
      {"Jazzy", nav2_msgs_action_dds__FollowPath_SendGoal_Request__desc, &jazzy},
      {"Humble", nav2_msgs_humble_action_dds__FollowPath_SendGoal_Request__desc, &humble},
  };
  for (const auto& goal : goals) {
    const Bytes body = wire::writeSample(goal.type, goal.sample);
    std::vector<std::max_align_t> storage(goal.type.m_size / sizeof(std::max_align_t) + 1);
    const auto read = [&](const Bytes& bytes) {
      std::memset(storage.data(), 0, storage.size() * sizeof(std::max_align_t));
      const bool taken = wire::readSample(goal.type, bytes, false, storage.data());
      if (taken) {
        wire::releaseSample(goal.type, storage.data());
      }
      return taken;
    };
    ASSERT_TRUE(read(body)) << goal.layout;
    for (std::size_t length = 0; length < body.size(); ++length) {
      EXPECT_FALSE(read(Bytes(body.begin(), body.begin() + length)))
          << goal.layout << ": " << length << " of " << body.size() << " bytes";
    }
    for (std::size_t at = 0; at < body.size(); ++at) {
      Bytes garbled = body;
      garbled[at] = 0xff;
      read(garbled);
    }
  }
}

TEST(WireService, DroppedRequestsAreLoggedAtMostOnceASecondWithTheRestCounted) {
  std::vector<std::string> lines;
  wire::RateLimitedLog log([&](const std::string& line) { lines.push_back(line); });
  const auto start = wire::RateLimitedLog::Clock::time_point{} + std::chrono::hours(1);
  for (int i = 0; i < 50; ++i) {  // 50 in the first 0.98 s
    log.note("dropped", start + i * std::chrono::milliseconds(20));
  }
  log.note("dropped", start + std::chrono::seconds(1));
  log.note("dropped", start + std::chrono::milliseconds(1500));
  log.note("dropped", start + std::chrono::seconds(3));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "dropped");
  EXPECT_EQ(lines[1], "dropped (and 49 more since the last line)");
  EXPECT_EQ(lines[2], "dropped (and 1 more since the last line)");
}

TEST(WireService, ServicesTakeRmwCycloneddsTopicNames) {
  EXPECT_EQ(wire::ddsRequestTopicName("robot1", "trelvo_node/get_state"),
            "rq/robot1/trelvo_node/get_stateRequest");
  EXPECT_EQ(wire::ddsReplyTopicName("", "trelvo_node/change_state"),
            "rr/trelvo_node/change_stateReply");
  EXPECT_EQ(wire::ddsReplyTopicName("robot1", "/change_state"), "rr/change_stateReply");
  EXPECT_EQ(wire::rosServiceName("rq/robot1/trelvo_node/get_stateRequest"),
            "/robot1/trelvo_node/get_state");
  EXPECT_EQ(wire::rosServiceName("rt/robot1/cmd_vel"), "rt/robot1/cmd_vel");
  EXPECT_EQ(wire::rosServiceName("rq/Request"), "rq/Request");
  EXPECT_THROW(wire::ddsRequestTopicName("", "get state"), std::invalid_argument);
}

TEST(WireService, UserDataValuesAreFoundByTheirKey) {
  const char* text = "clientid=1.f.3;typehash=RIHS01_ab;";
  EXPECT_EQ(wire::userDataValue(text, "clientid"), "1.f.3");
  EXPECT_EQ(wire::userDataValue(text, "typehash"), "RIHS01_ab");
  EXPECT_EQ(wire::userDataValue(text, "serviceid"), "");
  EXPECT_EQ(wire::userDataValue("client=1;", "clientid"), "");
  EXPECT_EQ(wire::userDataValue("xclientid=1;", "clientid"), "");
}

// A client's request writer or reply reader, marked with its client id as rmw_cyclonedds marks
// them; unmarked for a null id, as a client of another middleware leaves them.
dds_entity_t clientEndpoint(const wire::Participant& participant, bool writer, const char* id) {
  const wire::Qos qos =
      id == nullptr ? wire::serviceQos()
                    : wire::withUserData(wire::serviceQos(), std::string("clientid=") + id + ";");
  if (writer) {
    return dds_create_writer(
        participant.handle(),
        wire::createSerializedTopic(participant.handle(), "rq/svc/get_stateRequest",
                                    "lifecycle_msgs::srv::dds_::GetState_Request_"),
        qos.get(), nullptr);
  }
  return dds_create_reader(
      participant.handle(),
      wire::createSerializedTopic(participant.handle(), "rr/svc/get_stateReply",
                                  "lifecycle_msgs::srv::dds_::GetState_Response_"),
      qos.get(), nullptr);
}

// A get_state server on a domain of its own, answering "active" and counting the requests.
class WireServiceReplies : public ::testing::Test {
 protected:
  // Before the participant, a member, is created.
  static void SetUpTestSuite() { dds_loopback::useLoopbackOnly(); }

  // Waits until `writer`, a client's request writer, matches the server's reader.
  static bool matched(dds_entity_t writer) {
    return dds_loopback::eventually([&] {
      dds_publication_matched_status_t status{};
      dds_get_publication_matched_status(writer, &status);
      return status.current_count > 0;
    });
  }

  wire::Participant participant{static_cast<std::uint32_t>(dds_loopback::freeDomain())};
  std::vector<std::string> lines;
  wire::RateLimitedLog log{[this](const std::string& line) { lines.push_back(line); }};
  wire::CycloneServiceServer server{participant,
                                    {"rq/svc/get_stateRequest", "rr/svc/get_stateReply",
                                     lifecycle_msgs_srv_dds__GetState_Request__desc,
                                     lifecycle_msgs_srv_dds__GetState_Response__desc, kLargest},
                                    log};
  int answered = 0;
  const wire::ServiceServer::Answer answer = [this](const void*,
                                                    const wire::ServiceServer::Reply& reply) {
    ++answered;
    lifecycle_msgs_srv_dds__GetState_Response_ response{{3, const_cast<char*>("active")}};
    reply(&response);
  };
};

TEST_F(WireServiceReplies, ReplyWaitsForTheAskingClientsReplyReaderAndIsDroppedWithoutOne) {
  const auto serveUntil = [&](auto condition, wire::ServiceServer::Clock::duration later) {
    return dds_loopback::eventually([&] {
      server.serve(answer, wire::ServiceServer::Clock::now() + later);
      return condition();
    });
  };

  // The request comes before the client's reply reader: the reply waits for it.
  const dds_entity_t request = clientEndpoint(participant, true, "c1");
  ASSERT_TRUE(matched(request));
  const Bytes asked = wire::frame({7, 1}, {0});
  dds_write(request, &asked);
  ASSERT_TRUE(serveUntil([&] { return answered == 1; }, {}));
  const dds_entity_t reader = clientEndpoint(participant, false, "c1");
  std::optional<wire::SerializedSample> reply;
  ASSERT_TRUE(serveUntil([&] { return (reply = wire::takeSerialized(reader)).has_value(); }, {}));
  const auto framed = wire::unframe(reply->bytes, kLargest);
  ASSERT_TRUE(std::holds_alternative<wire::FramedPayload>(framed));
  EXPECT_EQ(std::get<wire::FramedPayload>(framed).header.client, 7u);
  EXPECT_EQ(std::get<wire::FramedPayload>(framed).header.sequence, 1);
  EXPECT_TRUE(lines.empty());

  // A client whose reply reader never comes: its reply is dropped after the wait, and said so.
  const dds_entity_t other = clientEndpoint(participant, true, "c2");
  const Bytes otherAsked = wire::frame({8, 1}, {0});
  ASSERT_TRUE(matched(other));
  dds_write(other, &otherAsked);
  ASSERT_TRUE(serveUntil([&] { return answered == 2; }, {}));
  server.serve(answer, wire::ServiceServer::Clock::now() + wire::ServiceServer::kReplyReaderWait +
                           std::chrono::milliseconds(100));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("did not match"), std::string::npos) << lines[0];
  EXPECT_FALSE(wire::takeSerialized(reader).has_value());  // not to the other client's reader
}

// A client whose endpoints carry no client id cannot be matched to its reply reader: it is taken
// as ready, and its reply goes out in the serve that answers it, without waiting.
TEST_F(WireServiceReplies, AClientWithoutAClientIdIsRepliedToAtOnce) {
  const dds_entity_t request = clientEndpoint(participant, true, nullptr);
  const dds_entity_t reader = clientEndpoint(participant, false, nullptr);
  ASSERT_TRUE(matched(request));
  const Bytes asked = wire::frame({9, 1}, {0});
  dds_write(request, &asked);
  ASSERT_TRUE(dds_loopback::eventually([&] {
    server.serve(answer, wire::ServiceServer::Clock::now());
    return answered == 1;
  }));
  // No serve after the one that answered.
  std::optional<wire::SerializedSample> reply;
  ASSERT_TRUE(
      dds_loopback::eventually([&] { return (reply = wire::takeSerialized(reader)).has_value(); },
                               std::chrono::milliseconds(500)));
  const auto framed = wire::unframe(reply->bytes, kLargest);
  ASSERT_TRUE(std::holds_alternative<wire::FramedPayload>(framed));
  EXPECT_EQ(std::get<wire::FramedPayload>(framed).header.client, 9u);
  EXPECT_TRUE(lines.empty());
}

}  // namespace
