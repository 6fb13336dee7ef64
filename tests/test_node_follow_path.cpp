// trelvo-node --lifecycle in Nav2's controller server's place, on DDS: the test is Nav2's
// lifecycle manager and behaviour tree navigator (cyclone_service_client.hpp,
// cyclone_action_client.hpp, written from rmw_cyclonedds's and rcl_action's layouts), and the
// vehicle is trelvo-sim's. follow_path_scenario.hpp's scenario, in Jazzy's layout and in Humble's.
// Loopback only, each layout on a DDS domain of its own.

#include <gtest/gtest.h>

#include <bond/msg/status.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <future>
#include <map>
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
using follow_path_scenario::kAborted;
using follow_path_scenario::kDeliverySlack;
using follow_path_scenario::kSucceeded;
using follow_path_scenario::Layout;
using follow_path_scenario::Milliseconds;
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
  bool bondSilent = false;   // the manager's heartbeats stop

 private:
  wire::Subscription<nav_msgs::msg::Odometry> odom_;
  wire::Subscription<geometry_msgs::msg::Twist> commands_;
  wire::Publisher<bond::msg::Status> bondOut_;
  wire::Subscription<bond::msg::Status> bondIn_;
  Clock::time_point nextBeat_ = Clock::now();

  // The lifecycle manager's side of the bond, as Nav2's keeps it: heartbeats every 0.1 s, the
  // bond broken after 4 s without the node's.
  void keepBond() {
    if (!bondSilent && Clock::now() >= nextBeat_) {
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

// What ends a goal in a whole Nav2 stack, with Nav2's codes, and the bond formed anew however
// quickly the manager deactivates and activates the node after a break.
TEST(NodeFollowPathFailures, GoalsEndWithNav2sCodesAndTheBondFormsAnew) {
  dds_loopback::useLoopbackOnly();
  const int domain = dds_loopback::freeDomain();
  Navigator navigator({"jazzy", false}, domain);
  const auto startVehicle = [&](const char* x) {
    return std::make_unique<BackgroundProcess>(
        std::vector<std::string>{TRELVO_SIM_PROGRAM, "--dds", "--start", x, "0", "0"},
        dds_loopback::childEnvironment(domain), std::string("follow_path_failures_vehicle.log"));
  };
  auto vehicle = startVehicle("0");
  BackgroundProcess node(nodeCommand(false), dds_loopback::childEnvironment(domain),
                         "follow_path_failures_node.log");
  ASSERT_TRUE(navigator.ready()) << node.output();
  ASSERT_EQ(navigator.change(1), true);
  ASSERT_EQ(navigator.change(3), true);

  // None to cancel: no error, as rcl_action answers.
  const auto none = navigator.action.cancel(follow_path_payloads::GoalId{});
  ASSERT_TRUE(none);
  EXPECT_EQ(none->first, 0);
  EXPECT_TRUE(none->second.empty());

  // A controller the node does not have: taken, then ABORTED with INVALID_CONTROLLER.
  const std::vector<Pose> line{{0, 0, 0}, {3, 0, 0}};
  ASSERT_TRUE(navigator.action.send(goalId(1), line, 3s, "NoSuchController"));
  const auto invalid = navigator.resultOf(1, 2s);
  ASSERT_TRUE(invalid);
  EXPECT_EQ(invalid->status, kAborted);
  EXPECT_EQ(invalid->errorCode, 101);
  EXPECT_EQ(invalid->errorMessage, "Failed to find controller name: NoSuchController");

  // Odometry stops mid-goal: ABORTED with TF_ERROR once the failure tolerance (1 s) has passed
  // after the pose timeout (0.5 s).
  ASSERT_TRUE(navigator.action.send(goalId(2), line)->accepted);
  navigator.listenUntil([&] { return navigator.pose->x > 0.1; }, 5s);
  vehicle.reset();
  const auto silent = Clock::now();
  const auto lost = navigator.resultOf(2, 5s);
  const Milliseconds toAbort = Clock::now() - silent;
  ASSERT_TRUE(lost) << node.output();
  EXPECT_EQ(lost->status, kAborted);
  EXPECT_EQ(lost->errorCode, 102);
  EXPECT_NE(lost->errorMessage.find("no fresh pose from /odom"), std::string::npos)
      << lost->errorMessage;
  EXPECT_GT(toAbort, 1400ms);
  EXPECT_LT(toAbort, 2000ms + kDeliverySlack);
  ::testing::Test::RecordProperty("odometry_stop_to_abort_ms", std::to_string(toAbort.count()));

  // The manager goes silent: the bond breaks, and goals are rejected while it is broken.
  vehicle = startVehicle("0.2");
  navigator.bondSilent = true;
  navigator.listenUntil(
      [&] { return node.output().find("bond trelvo_node broken") != std::string::npos; }, 6s);
  const auto whileBroken = navigator.action.send(goalId(3), line);
  ASSERT_TRUE(whileBroken);
  EXPECT_FALSE(whileBroken->accepted);
  // Deactivated and activated back to back, well within a control cycle: a new bond.
  ASSERT_EQ(navigator.change(4), true);
  ASSERT_EQ(navigator.change(3), true);
  navigator.bondSilent = false;
  navigator.listen(300ms);
  ASSERT_TRUE(navigator.action.send(goalId(4), {{0.2, 0, 0}, {3, 0, 0}})->accepted);
  navigator.listen(1s);
  bool executing = false;
  for (const auto& goal : navigator.status) {
    executing |= goal.id == goalId(4) && goal.status == follow_path_scenario::kExecuting;
  }
  EXPECT_TRUE(executing) << node.output();
}

// At 2 Hz, where what the service thread does at once and what waits for the next cycle lie up to
// half a second apart: an empty path's end, the cancel's stop, and the stamps of the status array.
TEST(NodeFollowPathSlowCycles, AnEmptyPathTheCancelsStopAndTheStatusStamps) {
  dds_loopback::useLoopbackOnly();
  const int domain = dds_loopback::freeDomain();
  Navigator navigator({"jazzy", false}, domain);
  BackgroundProcess vehicle({TRELVO_SIM_PROGRAM, "--dds", "--start", "0", "0", "0"},
                            dds_loopback::childEnvironment(domain), "follow_path_slow_vehicle.log");
  auto command = nodeCommand(false);
  command.insert(command.end(), {"--rate", "2"});
  BackgroundProcess node(command, dds_loopback::childEnvironment(domain),
                         "follow_path_slow_node.log");
  ASSERT_TRUE(navigator.ready()) << node.output();
  ASSERT_EQ(navigator.change(1), true);
  ASSERT_EQ(navigator.change(3), true);

  // An empty path: taken, then ABORTED with INVALID_PATH and why.
  const auto emptyAccepted = navigator.action.send(goalId(1), {});
  ASSERT_TRUE(emptyAccepted && emptyAccepted->accepted) << node.output();
  const auto empty = navigator.resultOf(1, 3s);
  ASSERT_TRUE(empty) << node.output();
  EXPECT_EQ(empty->status, kAborted);
  EXPECT_EQ(empty->errorCode, 103);
  EXPECT_EQ(empty->errorMessage, "the path is empty");

  // A cancel while the vehicle drives: the zero command has arrived when the reply does.
  const auto drivingAccepted = navigator.action.send(goalId(2), {{0, 0, 0}, {3, 0, 0}});
  ASSERT_TRUE(drivingAccepted && drivingAccepted->accepted) << node.output();
  navigator.listenUntil(
      [&] { return !navigator.commands.empty() && navigator.commands.back().linear > 0.0; }, 5s);
  ASSERT_GT(navigator.commands.back().linear, 0.0) << node.output();
  const std::size_t before = navigator.commands.size();
  auto cancel = std::async(std::launch::async, [&] { return navigator.action.cancel(goalId(2)); });
  navigator.listenUntil([&] { return cancel.wait_for(0s) == std::future_status::ready; }, 3s);
  navigator.listen(0ms);  // what had arrived with the reply
  const bool stoppedByTheReply =
      std::any_of(navigator.commands.begin() + static_cast<std::ptrdiff_t>(before),
                  navigator.commands.end(), [](const TimedCommand& c) { return c.zero(); });
  const auto canceled = cancel.get();
  ASSERT_TRUE(canceled);
  EXPECT_EQ(canceled->second, std::vector<follow_path_payloads::GoalId>{goalId(2)});
  EXPECT_TRUE(stoppedByTheReply);

  // Each goal in the status array carries the stamp its send_goal reply gave.
  navigator.listen(300ms);
  const std::map<std::uint8_t, follow_path_payloads::Accepted> replies{{1, *emptyAccepted},
                                                                       {2, *drivingAccepted}};
  ASSERT_EQ(navigator.status.size(), 2u);
  for (const auto& goal : navigator.status) {
    SCOPED_TRACE(int{goal.id[15]});
    ASSERT_EQ(replies.count(goal.id[15]), 1u);
    EXPECT_EQ(goal.sec, replies.at(goal.id[15]).sec);
    EXPECT_EQ(goal.nanosec, replies.at(goal.id[15]).nanosec);
  }
}

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
    // The line names the option that would have served it.
    const std::string setting = std::string("start the node with --ros-distro ") +
                                (humbleServer ? "jazzy" : "humble");
    EXPECT_TRUE(dds_loopback::eventually(
        [&] { return node.output().find(setting) != std::string::npos; }, 1s))
        << node.output();
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
