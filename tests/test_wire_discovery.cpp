// Discovery reports the readers and writers of the domain as they come and go: a second
// participant stands for another ROS 2 program, and the node's own endpoints are told apart.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "dds_loopback.hpp"
#include "wire/discovery.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"

namespace {

using Kind = wire::DiscoveredEndpoint::Kind;

wire::Guid guidOf(const wire::Participant& participant) {
  dds_guid_t guid{};
  dds_get_guid(participant.handle(), &guid);
  wire::Guid bytes{};
  std::copy(std::begin(guid.v), std::end(guid.v), bytes.begin());
  return bytes;
}

std::optional<wire::DiscoveredEndpoint> find(wire::Discovery& discovery, const std::string& topic,
                                             Kind kind) {
  for (const auto& endpoint : discovery.endpoints()) {
    if (endpoint.topic == topic && endpoint.kind == kind) {
      return endpoint;
    }
  }
  return std::nullopt;
}

bool seen(wire::Discovery& discovery, const std::string& topic, Kind kind) {
  return find(discovery, topic, kind).has_value();
}

TEST(WireDiscovery, ReportsOwnAndOtherEndpointsWithTypeAndParticipant) {
  dds_loopback::useLoopbackOnly();
  wire::Participant node(162);
  wire::Participant vehicle(162);
  // Made before discovery starts: a reader of the built-in topics is given what is known.
  wire::Publisher<geometry_msgs::msg::Twist> command(node, "rt/cmd_vel", wire::commandQos().get());
  wire::Discovery discovery(node);
  wire::Subscription<geometry_msgs::msg::TwistStamped> drive(vehicle, "rt/cmd_vel",
                                                             wire::commandQos().get());

  ASSERT_TRUE(
      dds_loopback::eventually([&] { return seen(discovery, "rt/cmd_vel", Kind::Reader); }));
  const auto reader = *find(discovery, "rt/cmd_vel", Kind::Reader);
  EXPECT_EQ(reader.type, "geometry_msgs::msg::dds_::TwistStamped_");
  EXPECT_EQ(reader.participant, guidOf(vehicle));
  EXPECT_FALSE(reader.ours);
  EXPECT_NE(reader.endpoint, reader.participant);

  const auto writer = find(discovery, "rt/cmd_vel", Kind::Writer);
  ASSERT_TRUE(writer.has_value());
  EXPECT_EQ(writer->type, "geometry_msgs::msg::dds_::Twist_");
  EXPECT_EQ(writer->participant, guidOf(node));
  EXPECT_TRUE(writer->ours);
  // The participant's prefix is the first 12 bytes of each of its endpoints' GUIDs.
  EXPECT_TRUE(std::equal(writer->endpoint.begin(), writer->endpoint.begin() + 12,
                         writer->participant.begin()));
}

TEST(WireDiscovery, EndpointsLeaveWhenDeletedOrTheirParticipantGoes) {
  dds_loopback::useLoopbackOnly();
  wire::Participant node(163);
  wire::Discovery discovery(node);
  auto teleop = std::make_unique<wire::Participant>(163);
  auto joystick = std::make_unique<wire::Publisher<geometry_msgs::msg::Twist>>(
      *teleop, "rt/cmd_vel", wire::commandQos().get());
  // Plain DDS entities, which go with their participant.
  const dds_entity_t plan = dds_create_topic(teleop->handle(), &nav_msgs_msg_dds__Path__desc,
                                             "rt/plan", nullptr, nullptr);
  ASSERT_GT(dds_create_reader(teleop->handle(), plan, nullptr, nullptr), 0);
  ASSERT_TRUE(dds_loopback::eventually([&] {
    return seen(discovery, "rt/cmd_vel", Kind::Writer) && seen(discovery, "rt/plan", Kind::Reader);
  }));

  joystick.reset();
  ASSERT_TRUE(
      dds_loopback::eventually([&] { return !seen(discovery, "rt/cmd_vel", Kind::Writer); }));
  EXPECT_TRUE(seen(discovery, "rt/plan", Kind::Reader));

  teleop.reset();
  EXPECT_TRUE(dds_loopback::eventually([&] { return !seen(discovery, "rt/plan", Kind::Reader); }));
}

// A program with many topics, as a ROS 2 robot has: one call reports all that is known, however
// many samples discovery has to take for it.
TEST(WireDiscovery, OneCallReportsEveryEndpointKnown) {
  dds_loopback::useLoopbackOnly();
  wire::Participant node(162);
  wire::Participant robot(162);
  constexpr int kTopics = 100;
  for (int i = 0; i < kTopics; ++i) {
    const std::string name = "rt/topic_" + std::to_string(i);
    const dds_entity_t topic = dds_create_topic(robot.handle(), &std_msgs_msg_dds__String__desc,
                                                name.c_str(), nullptr, nullptr);
    ASSERT_GT(dds_create_writer(robot.handle(), topic, nullptr, nullptr), 0);
  }
  const auto robotGuid = guidOf(robot);
  const auto fromRobot = [&](const std::vector<wire::DiscoveredEndpoint>& endpoints) {
    return std::count_if(endpoints.begin(), endpoints.end(),
                         [&](const auto& endpoint) { return endpoint.participant == robotGuid; });
  };
  // Endpoints of this process are known as soon as they exist.
  wire::Discovery discovery(node);
  EXPECT_EQ(fromRobot(discovery.endpoints()), kTopics);

  const auto started = std::chrono::steady_clock::now();
  constexpr int kCalls = 1000;
  for (int i = 0; i < kCalls; ++i) {
    discovery.endpoints();
  }
  const std::chrono::duration<double, std::micro> each =
      (std::chrono::steady_clock::now() - started) / kCalls;
  std::cout << "endpoints() with " << kTopics << " endpoints and nothing new: " << each.count()
            << " us a call\n";
}

}  // namespace
