// trelvo-node --lifecycle in Nav2's controller server's place, on DDS: the test is Nav2's
// lifecycle manager and behaviour tree navigator (cyclone_service_client.hpp,
// cyclone_action_client.hpp, written from rmw_cyclonedds's and rcl_action's layouts), and the
// vehicle is trelvo-sim's. follow_path_scenario.hpp's scenario, in Jazzy's layout and in Humble's.
// Loopback only, each layout on a DDS domain of its own.

#include <gtest/gtest.h>

#include <bond/msg/status.hpp>

#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "background_process.hpp"
#include "cyclone_action_client.hpp"
#include "dds_loopback.hpp"
#include "follow_path_scenario.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"
#include "wire/topic_names.hpp"

namespace {

using namespace std::chrono_literals;
using cyclone_action_client::FollowPathClient;
using cyclone_action_client::goalId;
using cyclone_action_client::Pose;
using cyclone_service_client::CdrReader;
using cyclone_service_client::CdrWriter;
using cyclone_service_client::ServiceClient;
using follow_path_scenario::Clock;
using follow_path_scenario::kSucceeded;
using follow_path_scenario::Layout;
using follow_path_scenario::nodeCommand;
using follow_path_scenario::TimedCommand;

// The lifecycle manager, the navigator, and a listener of the vehicle's odometry and commands.
class Navigator : public follow_path_scenario::Listening<Navigator> {
 public:
  Navigator(const Layout& layout, int domain)
      : participant_(domain),
        changeState_(participant_, "trelvo_node/change_state",
                     "lifecycle_msgs::srv::dds_::ChangeState", "0d.1"),
        action(participant_, "follow_path", layout.humble, "0d.2"),
        results(participant_, "follow_path", layout.humble, "0d.3"),
        odom_(participant_, wire::ddsTopicName("", "odom"), wire::poseSourceQos().get()),
        commands_(participant_, wire::ddsTopicName("", "cmd_vel"), wire::commandQos().get()),
        bondOut_(participant_, wire::ddsTopicName("", "bond"), wire::bondWriterQos().get()),
        bondIn_(participant_, wire::ddsTopicName("", "bond"), wire::bondReaderQos().get()) {}

  std::optional<bool> change(std::uint8_t transition) {
    const auto reply = changeState_.call(CdrWriter().u8(transition).text("").bytes());
    return reply ? std::optional<bool>(CdrReader(*reply).u8() == std::uint8_t{1}) : std::nullopt;
  }

 private:
  friend class follow_path_scenario::Listening<Navigator>;

  bool lifecycleAvailable() const { return changeState_.serviceAvailable(); }
  void takeVehicle() {
    for (const auto& odometry : odom_.take()) {
      const auto& q = odometry.pose.pose.orientation;
      pose = Pose{odometry.pose.pose.position.x, odometry.pose.pose.position.y,
                  std::atan2(2 * (q.w * q.z + q.x * q.y), 1 - 2 * (q.y * q.y + q.z * q.z))};
    }
    for (const auto& twist : commands_.take()) {
      commands.push_back({Clock::now(), twist.linear.x, twist.angular.z});
    }
  }

  wire::Participant participant_;
  ServiceClient changeState_;

 public:
  FollowPathClient action;   // send_goal, cancel_goal, and the topics
  FollowPathClient results;  // get_result, which waits for a goal's end

 private:
  wire::Subscription<nav_msgs::msg::Odometry> odom_;
  wire::Subscription<geometry_msgs::msg::Twist> commands_;
  wire::Publisher<bond::msg::Status> bondOut_;
  wire::Subscription<bond::msg::Status> bondIn_;
  Clock::time_point nextBeat_ = Clock::now();

  // The lifecycle manager's side of the bond, as Nav2's keeps it: heartbeats every 0.1 s, the
  // bond broken after 4 s without the node's.
  void keepBond() {
    if (Clock::now() >= nextBeat_) {
      bond::msg::Status status;
      status.id = "trelvo_node";
      status.instance_id = kManagerInstance;
      status.active = true;
      status.heartbeat_period = 0.1F;
      status.heartbeat_timeout = 4.0F;
      bondOut_.publish(status);
      nextBeat_ = Clock::now() + 100ms;
    }
    for (const auto& status : bondIn_.take()) {
      nodeHeartbeats +=
          status.id == "trelvo_node" && status.instance_id != kManagerInstance && status.active;
    }
  }
  static constexpr const char* kManagerInstance = "navigator-manager";
};

class NodeFollowPath : public ::testing::TestWithParam<Layout> {};

TEST_P(NodeFollowPath, ServesTheControllerServersGoalsThroughItsLifecycle) {
  const Layout layout = GetParam();
  const int domain = dds_loopback::freeDomain();
  dds_loopback::useLoopbackOnly();
  Navigator navigator(layout, domain);
  const std::string log = std::string("follow_path_") + layout.name;
  BackgroundProcess vehicle({TRELVO_SIM_PROGRAM, "--dds", "--start", "0", "0", "0"},
                            dds_loopback::childEnvironment(domain), log + "_vehicle.log");
  BackgroundProcess node(nodeCommand(layout.humble), dds_loopback::childEnvironment(domain),
                         log + "_node.log");
  follow_path_scenario::run(navigator, node);
}

INSTANTIATE_TEST_SUITE_P(Layouts, NodeFollowPath,
                         ::testing::Values(Layout{"jazzy", false}, Layout{"humble", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Each navigator takes only its own distribution's layout: against a node that serves the other
// (a server broken for it) no goal is accepted, and no result is read. The manager counts only the
// node's own heartbeats.
TEST(NodeFollowPathPeers, EachNavigatorFailsAgainstTheOtherLayout) {
  dds_loopback::useLoopbackOnly();
  for (const bool humbleServer : {false, true}) {
    const Layout layout{humbleServer ? "humble" : "jazzy", !humbleServer};
    const int domain = dds_loopback::freeDomain();
    Navigator navigator(layout, domain);
    BackgroundProcess node(nodeCommand(humbleServer), dds_loopback::childEnvironment(domain),
                           std::string("follow_path_mismatch_") + layout.name + ".log");
    ASSERT_TRUE(dds_loopback::eventually([&] { return navigator.action.available(); }, 10s));
    ASSERT_EQ(navigator.change(1), true);
    ASSERT_EQ(navigator.change(3), true);
    EXPECT_FALSE(navigator.action.send(goalId(1), {{0, 0, 0}, {1, 0, 0}}, 500ms))
        << "the " << (humbleServer ? "Jazzy" : "Humble") << " navigator's goal was taken";
    EXPECT_NE(node.output().find("dropped a request that cannot be read"), std::string::npos);
  }
  // Heartbeats of another bond, or the manager's own, are not the node's.
  const int domain = dds_loopback::freeDomain();
  Navigator manager({"jazzy", false}, domain);
  wire::Participant other(domain);
  wire::Publisher<bond::msg::Status> otherBond(other, wire::ddsTopicName("", "bond"),
                                               wire::bondWriterQos().get());
  const auto heartbeats = [&](const char* id, const char* instance) {
    for (int i = 0; i < 10; ++i) {
      bond::msg::Status status;
      status.id = id;
      status.instance_id = instance;
      status.active = true;
      otherBond.publish(status);
      manager.listen(20ms);
    }
    manager.listen(100ms);
    return std::exchange(manager.nodeHeartbeats, 0);
  };
  EXPECT_EQ(heartbeats("controller_server", "node"), 0);
  EXPECT_EQ(heartbeats("trelvo_node", "navigator-manager"), 0);
  EXPECT_GT(heartbeats("trelvo_node", "node"), 0);

  // Results: a Jazzy result to a Humble client, and a Humble one to a Jazzy client.
  const CdrWriter jazzy = CdrWriter().u8(kSucceeded).u8(0).u16(0).text("");
  const CdrWriter humble = CdrWriter().u8(kSucceeded).u8(0);
  wire::Participant participant(domain);
  EXPECT_TRUE(FollowPathClient(participant, "a", false, "0e.1").readResult(jazzy.bytes()));
  EXPECT_FALSE(FollowPathClient(participant, "b", false, "0e.2").readResult(humble.bytes()));
  EXPECT_TRUE(FollowPathClient(participant, "c", true, "0e.3").readResult(humble.bytes()));
  EXPECT_FALSE(FollowPathClient(participant, "d", true, "0e.4").readResult(jazzy.bytes()));
}

}  // namespace
