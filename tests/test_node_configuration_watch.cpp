// The configuration watch tells each mistake that discovery shows once, as the line a user reads:
// in-process over tables of endpoints, then over real DDS, with a second participant in this
// process and with trelvo-sim --dds as a vehicle in a process of its own.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "background_process.hpp"
#include "dds_loopback.hpp"
#include "node/watch/configuration_watch.hpp"
#include "wire/discovery.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"

namespace {

using namespace std::chrono_literals;
using Endpoint = wire::DiscoveredEndpoint;
using Lines = std::vector<std::string>;

constexpr const char* kTwist = "geometry_msgs::msg::dds_::Twist_";
constexpr const char* kTwistStamped = "geometry_msgs::msg::dds_::TwistStamped_";
constexpr const char* kOdometry = "nav_msgs::msg::dds_::Odometry_";
constexpr const char* kPoseStamped = "geometry_msgs::msg::dds_::PoseStamped_";
constexpr const char* kPoseWithCovariance = "geometry_msgs::msg::dds_::PoseWithCovarianceStamped_";

const node::WatchedTopics kTwistNode{"rt/cmd_vel", kTwist, "rt/odom", kOdometry};
const node::WatchedTopics kStampedNode{"rt/cmd_vel", kTwistStamped, "rt/odom", kOdometry};

// An endpoint of participant number `participant` (0: the node's own); `id` tells endpoints of
// one participant apart.
Endpoint endpoint(Endpoint::Kind kind, const char* topic, const char* type, int participant,
                  int id = 1) {
  Endpoint found;
  found.kind = kind;
  found.topic = topic;
  found.type = type;
  found.participant[0] = static_cast<std::uint8_t>(participant);
  found.endpoint = found.participant;
  found.endpoint[15] = static_cast<std::uint8_t>(id);
  found.ours = participant == 0;
  return found;
}

Endpoint reader(const char* topic, const char* type, int participant, int id = 1) {
  return endpoint(Endpoint::Kind::Reader, topic, type, participant, id);
}

Endpoint writer(const char* topic, const char* type, int participant, int id = 1) {
  return endpoint(Endpoint::Kind::Writer, topic, type, participant, id);
}

// The node's own endpoints, as a Twist node reading odometry has them.
std::vector<Endpoint> ownEndpoints() {
  return {writer("rt/cmd_vel", kTwist, 0), reader("rt/odom", kOdometry, 0, 2),
          reader("rt/plan", "nav_msgs::msg::dds_::Path_", 0, 3)};
}

struct WatchCase {
  const char* what;
  node::WatchedTopics topics;
  std::vector<Endpoint> others;
  Lines expected;
};

TEST(ConfigurationWatch, EachMistakeIsToldInOneLineThatSaysWhatToDo) {
  const WatchCase cases[] = {
      {"a vehicle and its odometry as expected",
       kTwistNode,
       {reader("rt/cmd_vel", kTwist, 1), writer("rt/odom", kOdometry, 1, 2)},
       {}},
      {"the vehicle takes stamped commands",
       kTwistNode,
       {reader("rt/cmd_vel", kTwistStamped, 1)},
       {"/cmd_vel is subscribed as geometry_msgs/msg/TwistStamped, but this node publishes "
        "geometry_msgs/msg/Twist: start trelvo-node with --stamped"}},
      {"the vehicle takes plain commands",
       kStampedNode,
       {reader("rt/cmd_vel", kTwist, 1)},
       {"/cmd_vel is subscribed as geometry_msgs/msg/Twist, but this node publishes "
        "geometry_msgs/msg/TwistStamped: start trelvo-node without --stamped"}},
      {"a subscriber of another type altogether",
       kTwistNode,
       {reader("rt/cmd_vel", "sensor_msgs::msg::dds_::Joy_", 1)},
       {"/cmd_vel is subscribed as sensor_msgs/msg/Joy, but this node publishes "
        "geometry_msgs/msg/Twist: that subscriber takes none of its commands; the vehicle's "
        "driver must take geometry_msgs/msg/Twist, or geometry_msgs/msg/TwistStamped with "
        "--stamped"}},
      {"a silent writer of the commands (Nav2's recoveries) is no second driver",
       kTwistNode,
       {reader("rt/cmd_vel", kTwist, 1), writer("rt/cmd_vel", kTwist, 2)},
       {}},
      {"two odometry publishers: told by the drive when both write",
       kTwistNode,
       {writer("rt/odom", kOdometry, 1), writer("rt/odom", kOdometry, 2)},
       {}},
      {"AMCL's pose where odometry is read",
       kTwistNode,
       {writer("rt/odom", kPoseWithCovariance, 1)},
       {"/odom is published as geometry_msgs/msg/PoseWithCovarianceStamped, but this node reads "
        "nav_msgs/msg/Odometry there and takes no pose from it: start trelvo-node with "
        "--pose-topic /odom --pose-with-covariance"}},
      {"AMCL's pose read as PoseStamped",
       {"rt/cmd_vel", kTwist, "rt/amcl_pose", kPoseStamped},
       {writer("rt/amcl_pose", kPoseWithCovariance, 1)},
       {"/amcl_pose is published as geometry_msgs/msg/PoseWithCovarianceStamped, but this node "
        "reads geometry_msgs/msg/PoseStamped there and takes no pose from it: start trelvo-node "
        "with --pose-topic /amcl_pose --pose-with-covariance"}},
      {"a pose of a type no option reads",
       kTwistNode,
       {writer("rt/odom", "geometry_msgs::msg::dds_::Pose_", 1)},
       {"/odom is published as geometry_msgs/msg/Pose, but this node reads nav_msgs/msg/Odometry "
        "there and takes no pose from it: give the node nav_msgs/msg/Odometry on odom, "
        "geometry_msgs/msg/PoseStamped with --pose-topic NAME, or "
        "geometry_msgs/msg/PoseWithCovarianceStamped with --pose-topic NAME "
        "--pose-with-covariance"}},
      {"poses where odometry is read",
       kTwistNode,
       {writer("rt/odom", kPoseStamped, 1)},
       {"/odom is published as geometry_msgs/msg/PoseStamped, but this node reads "
        "nav_msgs/msg/Odometry there and takes no pose from it: start trelvo-node with "
        "--pose-topic /odom"}},
      {"another vehicle's topics",
       kTwistNode,
       {reader("rt/robot2/cmd_vel", kTwistStamped, 1), writer("rt/robot2/cmd_vel", kTwist, 2),
        writer("rt/robot2/odom", kPoseStamped, 1)},
       {}},
      {"both readers of one wrong type: one line",
       kTwistNode,
       {reader("rt/cmd_vel", kTwistStamped, 1), reader("rt/cmd_vel", kTwistStamped, 2)},
       {"/cmd_vel is subscribed as geometry_msgs/msg/TwistStamped, but this node publishes "
        "geometry_msgs/msg/Twist: start trelvo-node with --stamped"}},
  };
  for (const auto& c : cases) {
    node::ConfigurationWatch watch(c.topics);
    auto endpoints = ownEndpoints();
    endpoints.insert(endpoints.end(), c.others.begin(), c.others.end());
    EXPECT_EQ(watch.update(endpoints, false, node::Clock::now()), c.expected) << c.what;
    EXPECT_EQ(watch.standing(), c.expected) << c.what;
  }
}

TEST(ConfigurationWatch, ACauseIsToldOnceWhileItStandsAndAfter) {
  node::ConfigurationWatch watch(kTwistNode);
  const std::vector<Endpoint> stamped = {reader("rt/cmd_vel", kTwistStamped, 1)};
  const auto t0 = node::Clock::now();
  ASSERT_EQ(watch.update(stamped, false, t0).size(), 1u);
  EXPECT_TRUE(watch.update(stamped, false, t0 + 50ms).empty());
  EXPECT_EQ(watch.standing().size(), 1u);

  // The vehicle restarts: the cause goes, and comes back with a new reader of the same type.
  EXPECT_TRUE(watch.update({}, false, t0 + 100ms).empty());
  EXPECT_TRUE(watch.standing().empty());
  EXPECT_TRUE(watch.update({reader("rt/cmd_vel", kTwistStamped, 3)}, false, t0 + 150ms).empty());
  EXPECT_EQ(watch.standing().size(), 1u);

  // Each other writer of the commands that writes while the node drives is another driver, told
  // of once; one that writes while the node is idle is none.
  const std::vector<std::string> writing = {"01.0f", "02.0f"};
  EXPECT_TRUE(watch.update({}, false, t0 + 200ms, writing).empty()) << "idle";
  const Lines twoDrivers = watch.update({}, true, t0 + 250ms, writing);
  ASSERT_EQ(twoDrivers.size(), 2u);
  EXPECT_EQ(twoDrivers[0],
            "another node (01.0f) writes to /cmd_vel while this node drives: the vehicle takes "
            "both nodes' commands; stop it, or give each vehicle its own namespace (--namespace)");
  EXPECT_TRUE(watch.update({}, true, t0 + 300ms, writing).empty());
  EXPECT_TRUE(watch.update({}, true, t0 + 350ms).empty());
  EXPECT_TRUE(watch.standing().empty()) << "the cause stands only while they write";
}

TEST(ConfigurationWatch, NobodyOnTheCommandsIsToldTwoSecondsIntoARoute) {
  node::ConfigurationWatch watch(kTwistNode);
  const auto t0 = node::Clock::now();
  const Lines missing = {
      "nothing subscribes /cmd_vel 2 s into the route, so no vehicle takes the commands: start "
      "the vehicle's driver, or give this node its namespace (--namespace) and ROS_DOMAIN_ID"};
  EXPECT_TRUE(watch.update(ownEndpoints(), false, t0).empty()) << "idle";
  EXPECT_TRUE(watch.update(ownEndpoints(), false, t0 + 10s).empty()) << "idle, long";
  EXPECT_TRUE(watch.update(ownEndpoints(), true, t0 + 11s).empty()) << "route starts";
  EXPECT_TRUE(watch.update(ownEndpoints(), true, t0 + 12950ms).empty()) << "1.95 s in";
  EXPECT_EQ(watch.update(ownEndpoints(), true, t0 + 13s), missing) << "2 s in";
  EXPECT_TRUE(watch.update(ownEndpoints(), true, t0 + 14s).empty()) << "told once";
  EXPECT_EQ(watch.standing(), missing);

  // A second route without a vehicle: already told.
  EXPECT_TRUE(watch.update(ownEndpoints(), false, t0 + 15s).empty());
  EXPECT_TRUE(watch.standing().empty());
  EXPECT_TRUE(watch.update(ownEndpoints(), true, t0 + 16s).empty());
  EXPECT_TRUE(watch.update(ownEndpoints(), true, t0 + 19s).empty());

  // The vehicle comes, then goes in the middle of a route: told again 2 s into the next route.
  auto withVehicle = ownEndpoints();
  withVehicle.push_back(reader("rt/cmd_vel", kTwist, 1));
  EXPECT_TRUE(watch.update(withVehicle, true, t0 + 20s).empty());
  EXPECT_TRUE(watch.standing().empty());
  EXPECT_EQ(watch.update(ownEndpoints(), true, t0 + 21s), missing) << "long into the route";

  // The vehicle comes back while idle and goes again: the next route has its 2 s anew.
  EXPECT_TRUE(watch.update(withVehicle, false, t0 + 22s).empty());
  EXPECT_TRUE(watch.update(ownEndpoints(), true, t0 + 30s).empty());
  EXPECT_TRUE(watch.update(ownEndpoints(), true, t0 + 31s).empty()) << "1 s into the new route";
  EXPECT_EQ(watch.update(ownEndpoints(), true, t0 + 32s), missing) << "2 s into the new route";
}

// Real DDS: the node's participant and a second one in this process, as another ROS 2 program.
// A writer of the commands that writes nothing is no second driver.
TEST(ConfigurationWatch, FindsAStampedVehicleOverDdsAndNoDriverInASilentWriter) {
  dds_loopback::useLoopbackOnly();
  const std::uint32_t kDomain = dds_loopback::freeDomain();
  wire::Participant node(kDomain);
  wire::Publisher<geometry_msgs::msg::Twist> command(node, "rt/cmd_vel", wire::commandQos().get());
  wire::Subscription<nav_msgs::msg::Odometry> odometry(node, "rt/odom",
                                                       wire::poseSourceQos().get());
  wire::Discovery discovery(node);
  node::ConfigurationWatch watch({"rt/cmd_vel", wire::ddsTypeName<geometry_msgs::msg::Twist>(),
                                  "rt/odom", wire::ddsTypeName<nav_msgs::msg::Odometry>()});

  wire::Participant other(kDomain);
  wire::Subscription<geometry_msgs::msg::TwistStamped> vehicle(other, "rt/cmd_vel",
                                                               wire::commandQos().get());
  wire::Publisher<geometry_msgs::msg::Twist> recoveries(other, "rt/cmd_vel",
                                                        wire::commandQos().get());

  Lines told;
  const auto look = [&] {
    for (auto& line : watch.update(discovery.endpoints(), true, node::Clock::now())) {
      told.push_back(std::move(line));
    }
    return !told.empty();
  };
  ASSERT_TRUE(dds_loopback::eventually(look));
  dds_loopback::eventually([&] { return look() && told.size() > 1; }, 500ms);
  EXPECT_EQ(told, (Lines{"/cmd_vel is subscribed as geometry_msgs/msg/TwistStamped, but this node "
                         "publishes geometry_msgs/msg/Twist: start trelvo-node with --stamped"}));
}

// Real DDS with a vehicle in a process of its own, found by discovery over loopback, and missed
// once it has gone.
TEST(ConfigurationWatch, FindsTheSimulatedVehicleOfAnotherProcessAndMissesItGone) {
  dds_loopback::useLoopbackOnly();
  const std::uint32_t kDomain = dds_loopback::freeDomain();
  wire::Participant node(kDomain);
  wire::Publisher<geometry_msgs::msg::Twist> command(node, "rt/cmd_vel", wire::commandQos().get());
  wire::Discovery discovery(node);
  node::ConfigurationWatch watch({"rt/cmd_vel", wire::ddsTypeName<geometry_msgs::msg::Twist>(),
                                  "rt/odom", wire::ddsTypeName<nav_msgs::msg::Odometry>()});
  const std::string log = (std::filesystem::temp_directory_path() /
                           ("trelvo-watch-sim-" + std::to_string(getpid()) + ".log"))
                              .string();
  BackgroundProcess sim(
      {TRELVO_SIM_PROGRAM, "--dds", "--stamped", "--domain", std::to_string(kDomain)},
      {std::string("CYCLONEDDS_URI=") + dds_loopback::kConfig}, log);

  Lines told;
  const auto watchFor = [&](bool driving, std::size_t lines, std::chrono::milliseconds limit) {
    return dds_loopback::eventually(
        [&] {
          for (auto& line : watch.update(discovery.endpoints(), driving, node::Clock::now())) {
            told.push_back(std::move(line));
          }
          return told.size() >= lines;
        },
        limit);
  };
  ASSERT_TRUE(watchFor(false, 1, 10s)) << sim.output();
  EXPECT_EQ(told.front(),
            "/cmd_vel is subscribed as geometry_msgs/msg/TwistStamped, but this node publishes "
            "geometry_msgs/msg/Twist: start trelvo-node with --stamped");

  sim.signal(SIGTERM);
  ASSERT_TRUE(sim.exitWithin(5s).has_value());
  const auto routeStarted = node::Clock::now();
  ASSERT_TRUE(watchFor(true, 2, 5s));
  EXPECT_GE(node::Clock::now() - routeStarted, node::kCommandSubscriberGrace);
  EXPECT_EQ(told.back().rfind("nothing subscribes /cmd_vel 2 s into the route", 0), 0u)
      << told.back();
}

}  // namespace
