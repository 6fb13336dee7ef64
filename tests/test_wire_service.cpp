// A service's requests and replies as rmw_cyclonedds frames them: the request header taken apart
// and put together, the request read through Cyclone's serializer, and every request that cannot
// be read refused without a crash.

#include <gtest/gtest.h>

#include <lifecycle_msgs/srv/ChangeState_Request.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "wire/cdr_body.hpp"
#include "wire/rate_limited_log.hpp"
#include "wire/request_header.hpp"
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

}  // namespace
