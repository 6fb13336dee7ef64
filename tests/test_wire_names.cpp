// Other ROS 2 programs find the node's topics only under ROS 2's DDS names: topic "rt/<name>",
// type "<package>::msg::dds_::<Type>_".

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>

#include "dds_loopback.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"
#include "wire/stamps.hpp"
#include "wire/topic_names.hpp"

namespace {

struct TopicNameCase {
  const char* ns;
  const char* name;
  const char* expected;
};

TEST(WireNames, RosTopicsBecomeRtTopicsUnderTheNamespace) {
  const TopicNameCase cases[] = {
      {"", "cmd_vel", "rt/cmd_vel"},
      {"/", "cmd_vel", "rt/cmd_vel"},
      {"robot1", "cmd_vel", "rt/robot1/cmd_vel"},
      {"/robot1/", "odom", "rt/robot1/odom"},
      {"fleet/robot_2", "plan", "rt/fleet/robot_2/plan"},
      {"robot1", "/cmd_vel", "rt/cmd_vel"},  // absolute: no namespace
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wire::ddsTopicName(c.ns, c.name), c.expected) << c.ns << " " << c.name;
  }
}

TEST(WireNames, InvalidRosNamesAreRefused) {
  const TopicNameCase cases[] = {
      {"", "", ""},      {"", "cmd vel", ""},     {"", "1cmd", ""},
      {"", "a//b", ""},  {"robot-1", "odom", ""}, {"robot1//x", "odom", ""},
      {"", "odom/", ""},
  };
  for (const auto& c : cases) {
    EXPECT_THROW(wire::ddsTopicName(c.ns, c.name), std::invalid_argument) << c.ns << " " << c.name;
  }
}

TEST(WireNames, NodeNamespacesAreAnnouncedWithOneLeadingSlash) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "/"},
      {"/", "/"},
      {"robot1", "/robot1"},
      {"/robot1/", "/robot1"},
      {"fleet/robot_2", "/fleet/robot_2"},
  };
  for (const auto& [ns, expected] : cases) {
    EXPECT_EQ(wire::rosNodeNamespace(ns), expected) << ns;
  }
  for (const char* invalid : {"robot-1", "robot1//x", "1robot", "a b"}) {
    EXPECT_THROW(wire::rosNodeNamespace(invalid), std::invalid_argument) << invalid;
  }
}

template <typename Message>
std::string typeNameOf(const wire::Participant& participant) {
  wire::Publisher<Message> publisher(participant, "rt/type_name", wire::statusQos().get());
  char name[128] = {};
  dds_get_type_name(publisher.topic(), name, sizeof name);
  return name;
}

TEST(WireNames, DdsTypesAreNamedAsRos2NamesThem) {
  dds_loopback::useLoopbackOnly();
  wire::Participant participant(213);
  EXPECT_EQ(typeNameOf<geometry_msgs::msg::Twist>(participant), "geometry_msgs::msg::dds_::Twist_");
  EXPECT_EQ(typeNameOf<geometry_msgs::msg::TwistStamped>(participant),
            "geometry_msgs::msg::dds_::TwistStamped_");
  EXPECT_EQ(typeNameOf<geometry_msgs::msg::PoseStamped>(participant),
            "geometry_msgs::msg::dds_::PoseStamped_");
  EXPECT_EQ(typeNameOf<geometry_msgs::msg::PointStamped>(participant),
            "geometry_msgs::msg::dds_::PointStamped_");
  EXPECT_EQ(typeNameOf<nav_msgs::msg::Path>(participant), "nav_msgs::msg::dds_::Path_");
  EXPECT_EQ(typeNameOf<nav_msgs::msg::Odometry>(participant), "nav_msgs::msg::dds_::Odometry_");
  EXPECT_EQ(typeNameOf<std_msgs::msg::String>(participant), "std_msgs::msg::dds_::String_");
  EXPECT_EQ(typeNameOf<diagnostic_msgs::msg::DiagnosticArray>(participant),
            "diagnostic_msgs::msg::dds_::DiagnosticArray_");
  EXPECT_EQ(typeNameOf<rosgraph_msgs::msg::Clock>(participant), "rosgraph_msgs::msg::dds_::Clock_");
  EXPECT_EQ(wire::ddsTypeName<geometry_msgs::msg::TwistStamped>(),
            "geometry_msgs::msg::dds_::TwistStamped_");
}

struct NameBackCase {
  const char* dds;
  const char* ros;
};

TEST(WireNames, DdsTopicsPrintAsTheRosTopicsTheyCarry) {
  const NameBackCase cases[] = {
      {"rt/cmd_vel", "/cmd_vel"},
      {"rt/robot1/odom", "/robot1/odom"},
      {"DCPSParticipant", "DCPSParticipant"},  // no ROS topic: as it is
      {"rq/add_two_intsRequest", "rq/add_two_intsRequest"},
      {"rtx/cmd_vel", "rtx/cmd_vel"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wire::rosTopicName(c.dds), c.ros) << c.dds;
  }
}

TEST(WireNames, DdsTypesPrintAsRos2NamesThem) {
  const NameBackCase cases[] = {
      {"geometry_msgs::msg::dds_::TwistStamped_", "geometry_msgs/msg/TwistStamped"},
      {"geometry_msgs::msg::dds_::PoseWithCovarianceStamped_",
       "geometry_msgs/msg/PoseWithCovarianceStamped"},
      {"example_interfaces::srv::dds_::AddTwoInts_Request_",
       "example_interfaces/srv/AddTwoInts_Request"},
      {"nav_msgs::msg::dds_::O_", "nav_msgs/msg/O"},
      // Not ROS 2's DDS names: as they are.
      {"HelloWorldData::Msg", "HelloWorldData::Msg"},
      {"geometry_msgs::msg::Twist", "geometry_msgs::msg::Twist"},
      {"geometry_msgs::msg::dds_::Twist", "geometry_msgs::msg::dds_::Twist"},
      {"geometry_msgs::msg::dds_::_", "geometry_msgs::msg::dds_::_"},
      {"geometry_msgs::msg::detail::Twist_", "geometry_msgs::msg::detail::Twist_"},
      {"::dds_::Twist_", "::dds_::Twist_"},
      {"::msg::dds_::Twist_", "::msg::dds_::Twist_"},
      {"a::b::c::dds_::T_", "a::b::c::dds_::T_"},
      {"a::msg::dds_::Outer_::Inner_", "a::msg::dds_::Outer_::Inner_"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wire::rosTypeName(c.dds), c.ros) << c.dds;
  }
}

TEST(WireNames, TheTopicCarriesTheRtName) {
  dds_loopback::useLoopbackOnly();
  wire::Participant participant(214);
  wire::Publisher<geometry_msgs::msg::Twist> publisher(
      participant, wire::ddsTopicName("robot1", "cmd_vel"), wire::commandQos().get());
  char name[128] = {};
  dds_get_name(publisher.topic(), name, sizeof name);
  EXPECT_STREQ(name, "rt/robot1/cmd_vel");
}

// Under simulated time stamps are the newest /clock value, zero before the first, and a clock that
// goes back says by how much; the wall clock ignores nothing and reports no jump.
TEST(WireStamps, SimulatedTimeIsTheNewestClockAndItsJumpsBackAreTold) {
  const auto at = [](int32_t sec, uint32_t nanosec) {
    builtin_interfaces::msg::Time time;
    time.sec = sec;
    time.nanosec = nanosec;
    return time;
  };
  wire::StampClock sim(true);
  EXPECT_EQ(sim.now(), at(0, 0));
  EXPECT_FALSE(sim.advance(at(12, 0)));
  EXPECT_EQ(sim.now(), at(12, 0));
  EXPECT_FALSE(sim.advance(at(12, 0)));
  EXPECT_FALSE(sim.advance(at(12, 500000000)));
  const auto back = sim.advance(at(11, 900000000));
  ASSERT_TRUE(back);
  EXPECT_NEAR(*back, 0.6, 1e-9);
  EXPECT_EQ(sim.now(), at(11, 900000000));
  EXPECT_NEAR(sim.advance(at(0, 0)).value_or(0.0), 11.9, 1e-9);

  const wire::StampClock wall(false);
  const auto before = wire::wallClockStamp();
  const auto now = wall.now();
  EXPECT_GE(wire::secondsBetween(before, now), 0.0);
  EXPECT_LT(wire::secondsBetween(before, now), 1.0);
  EXPECT_NEAR(wire::secondsBetween(at(5, 999999999), at(3, 1)), -2.999999998, 1e-12);
}

}  // namespace
