// trelvo-node --lifecycle in Nav2's controller server's place, on DDS: the test is Nav2's
// lifecycle manager and behaviour tree navigator (cyclone_service_client.hpp,
// cyclone_action_client.hpp, written from rmw_cyclonedds's and rcl_action's layouts), and the
// vehicle is trelvo-sim's. A goal refused while inactive, an L followed to its goal with a goal
// replanned mid-route, a cancel and a deactivation, a bond held throughout, in Jazzy's layout and
// in Humble's. Loopback only, each layout on a DDS domain of its own.

#include <gtest/gtest.h>

#include <bond/msg/status.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <future>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "background_process.hpp"
#include "cyclone_action_client.hpp"
#include "dds_loopback.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"
#include "wire/topic_names.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;
using cyclone_action_client::Feedback;
using cyclone_action_client::FollowPathClient;
using cyclone_action_client::goalId;
using cyclone_action_client::Pose;
using cyclone_action_client::Result;
using cyclone_service_client::CdrReader;
using cyclone_service_client::CdrWriter;
using cyclone_service_client::ServiceClient;

// action_msgs/msg/GoalStatus
constexpr int kSucceeded = 4;
constexpr int kCanceled = 5;
constexpr int kAborted = 6;
// What a loaded 2-core machine may add to the delivery of one sample.
constexpr auto kDeliverySlack = 100ms;

struct Layout {
  const char* name;
  bool humble;
  int domain;
};

void PrintTo(const Layout& layout, std::ostream* out) {
  *out << layout.name;
}

std::vector<std::string> nodeCommand(bool humble) {
  std::vector<std::string> command{TRELVO_NODE_PROGRAM, "--lifecycle"};
  if (humble) {
    command.insert(command.end(), {"--ros-distro", "humble"});
  }
  return command;
}

struct TimedCommand {
  Clock::time_point at;
  geometry_msgs::msg::Twist twist;
};

bool isZero(const geometry_msgs::msg::Twist& twist) {
  return twist.linear.x == 0.0 && twist.angular.z == 0.0;
}

// The lifecycle manager, the navigator, and a listener of the vehicle's odometry and commands.
class Navigator {
 public:
  explicit Navigator(const Layout& layout)
      : participant_(layout.domain),
        changeState_(participant_, "trelvo_node/change_state",
                     "lifecycle_msgs::srv::dds_::ChangeState", "0d.1"),
        action(participant_, "follow_path", layout.humble, "0d.2"),
        results(participant_, "follow_path", layout.humble, "0d.3"),
        odom_(participant_, wire::ddsTopicName("", "odom"), wire::poseSourceQos().get()),
        commands_(participant_, wire::ddsTopicName("", "cmd_vel"), wire::commandQos().get()),
        bondOut_(participant_, wire::ddsTopicName("", "bond"), wire::bondWriterQos().get()),
        bondIn_(participant_, wire::ddsTopicName("", "bond"), wire::bondReaderQos().get()) {}

  bool ready() {
    return dds_loopback::eventually(
        [this] {
          listen(0ms);
          return changeState_.serviceAvailable() && action.available() && results.available() &&
                 pose.has_value();
        },
        10s);
  }
  std::optional<bool> change(std::uint8_t transition) {
    const auto reply = changeState_.call(CdrWriter().u8(transition).text("").bytes());
    return reply ? std::optional<bool>(CdrReader(*reply).u8() == std::uint8_t{1}) : std::nullopt;
  }

  // Takes what arrived for `duration`, or until `done`.
  template <typename Done>
  void listenUntil(Done done, std::chrono::milliseconds limit) {
    const auto until = Clock::now() + limit;
    do {
      keepBond();
      for (const auto& odometry : odom_.take()) {
        const auto& q = odometry.pose.pose.orientation;
        pose = Pose{odometry.pose.pose.position.x, odometry.pose.pose.position.y,
                    std::atan2(2 * (q.w * q.z + q.x * q.y), 1 - 2 * (q.y * q.y + q.z * q.z))};
      }
      for (const auto& twist : commands_.take()) {
        commands.push_back({Clock::now(), twist});
      }
      for (const auto& received : action.takeFeedback()) {
        feedback.push_back(received);
      }
      if (auto statuses = action.takeStatus()) {
        status = std::move(*statuses);
      }
      std::this_thread::sleep_for(2ms);
    } while (!done() && Clock::now() < until);
  }
  void listen(std::chrono::milliseconds duration) {
    listenUntil([] { return false; }, duration);
  }
  // A goal's result, asked at once and answered when the goal ends, listening meanwhile.
  std::optional<Result> resultOf(std::uint8_t goal, std::chrono::seconds limit) {
    auto asked =
        std::async(std::launch::async, [&] { return results.result(goalId(goal), limit); });
    listenUntil([&] { return asked.wait_for(0s) == std::future_status::ready; }, limit + 1s);
    return asked.get();
  }
  // The first zero command from `from` on, and whether every command after it is zero.
  std::pair<std::optional<Clock::time_point>, bool> stopAfter(Clock::time_point from) const {
    std::optional<Clock::time_point> first;
    bool stayed = true;
    for (const auto& command : commands) {
      if (command.at < from) {
        continue;
      }
      if (!first && isZero(command.twist)) {
        first = command.at;
      } else if (first && !isZero(command.twist)) {
        stayed = false;
      }
    }
    return {first, stayed};
  }

  std::optional<Pose> pose;
  std::vector<TimedCommand> commands;
  int nodeHeartbeats = 0;
  std::vector<Feedback> feedback;
  std::vector<cyclone_action_client::GoalStatus> status;

 private:
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
  dds_loopback::useLoopbackOnly();
  Navigator navigator(layout);
  const std::string log = std::string("follow_path_") + layout.name;
  BackgroundProcess vehicle({TRELVO_SIM_PROGRAM, "--dds", "--start", "0", "0", "0"},
                            dds_loopback::childEnvironment(layout.domain), log + "_vehicle.log");
  BackgroundProcess node(nodeCommand(layout.humble), dds_loopback::childEnvironment(layout.domain),
                         log + "_node.log");
  ASSERT_TRUE(navigator.ready()) << node.output();
  ASSERT_EQ(navigator.change(1), true);  // configure

  const std::vector<Pose> lRoute{{0, 0, 0}, {0.6, 0, 0}, {0.6, 0.4, M_PI / 2}};
  const auto refused = navigator.action.send(goalId(1), lRoute);
  ASSERT_TRUE(refused) << node.output();
  EXPECT_FALSE(refused->accepted) << "a goal accepted while inactive";
  ASSERT_EQ(navigator.change(3), true);  // activate

  // The L, replanned from the vehicle mid-way along its first leg, as the planner does.
  const auto asked = Clock::now();
  const auto accepted = navigator.action.send(goalId(2), lRoute);
  const Milliseconds replyTime = Clock::now() - asked;
  ASSERT_TRUE(accepted && accepted->accepted) << node.output();
  auto firstResult = std::async(std::launch::async, [&] {
    return navigator.results.result(goalId(2), std::chrono::seconds(20));
  });
  navigator.listenUntil([&] { return navigator.pose->x > 0.3; }, 10s);
  ASSERT_GT(navigator.pose->x, 0.3) << node.output();
  const auto replanned = Clock::now();
  ASSERT_TRUE(navigator.action.send(
      goalId(3), {{navigator.pose->x, 0, 0}, {0.6, 0, 0}, {0.6, 0.4, M_PI / 2}}));
  navigator.listenUntil([&] { return firstResult.wait_for(0s) == std::future_status::ready; }, 3s);
  const auto first = firstResult.get();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->status, kAborted);
  navigator.feedback.clear();
  const auto second = navigator.resultOf(3, std::chrono::seconds(20));
  ASSERT_TRUE(second) << node.output();
  EXPECT_EQ(second->status, kSucceeded) << second->errorMessage;
  EXPECT_EQ(second->errorCode, 0);
  navigator.listen(200ms);
  EXPECT_NEAR(navigator.pose->x, 0.6, 0.05);
  EXPECT_NEAR(navigator.pose->y, 0.4, 0.05);
  EXPECT_NEAR(navigator.pose->heading, M_PI / 2, 5.0 * M_PI / 180.0);
  RecordProperty("goal_error_m",
                 std::to_string(std::hypot(navigator.pose->x - 0.6, navigator.pose->y - 0.4)));
  RecordProperty("goal_heading_error_deg",
                 std::to_string((navigator.pose->heading - M_PI / 2) * 180.0 / M_PI));
  // Where the two paths agree, along the first leg, the vehicle drove on without a stop.
  for (const auto& command : navigator.commands) {
    if (command.at > replanned && command.at < replanned + 500ms) {
      EXPECT_GT(command.twist.linear.x, 0.0) << "a stop where the replanned path agreed";
    }
  }
  // The distance to the goal fell, cycle after cycle, to the goal.
  ASSERT_GT(navigator.feedback.size(), 20u);
  for (std::size_t i = 1; i < navigator.feedback.size(); ++i) {
    EXPECT_EQ(navigator.feedback[i].id, goalId(3));
    EXPECT_LE(navigator.feedback[i].distanceToGoal,
              navigator.feedback[i - 1].distanceToGoal + 0.01);
  }
  EXPECT_GT(navigator.feedback.front().distanceToGoal, 0.5);
  EXPECT_LT(navigator.feedback.back().distanceToGoal, 0.05);

  // A cancel mid-line: CANCELED, and the vehicle stopped at once.
  ASSERT_TRUE(navigator.action.send(goalId(4), {{0.6, 0.4, M_PI / 2}, {0.6, 1.4, M_PI / 2}}));
  navigator.listen(1500ms);
  const auto cancelAsked = Clock::now();
  const auto canceled = navigator.action.cancel(goalId(4));
  ASSERT_TRUE(canceled);
  EXPECT_EQ(canceled->first, 0);
  EXPECT_EQ(canceled->second, std::vector<cyclone_action_client::GoalId>{goalId(4)});
  navigator.listen(300ms);
  const auto [cancelStop, stayedStopped] = navigator.stopAfter(cancelAsked);
  ASSERT_TRUE(cancelStop);
  EXPECT_TRUE(stayedStopped);
  const Milliseconds cancelToZero = *cancelStop - cancelAsked;
  EXPECT_LT(cancelToZero, 100ms);
  EXPECT_EQ(navigator.resultOf(4, std::chrono::seconds(2))->status, kCanceled);

  // The bond held from the activation on: the node's heartbeats came, about 10 a second.
  EXPECT_GT(navigator.nodeHeartbeats, 50);
  EXPECT_NE(node.output().find("bond trelvo_node formed"), std::string::npos) << node.output();
  EXPECT_EQ(node.output().find("broken"), std::string::npos) << node.output();

  // A deactivation mid-line ends the goal and stops the vehicle.
  const double y = navigator.pose->y;
  ASSERT_TRUE(navigator.action.send(goalId(5), {{0.6, y, M_PI / 2}, {0.6, y + 1, M_PI / 2}}));
  navigator.listen(1000ms);
  const auto deactivateAsked = Clock::now();
  ASSERT_EQ(navigator.change(4), true);
  navigator.listen(300ms);
  const auto [deactivateStop, stayedDeactivated] = navigator.stopAfter(deactivateAsked);
  ASSERT_TRUE(deactivateStop);
  EXPECT_TRUE(stayedDeactivated);
  EXPECT_LT(*deactivateStop - deactivateAsked, 100ms + kDeliverySlack);
  EXPECT_EQ(navigator.resultOf(5, std::chrono::seconds(2))->status, kAborted);
  const auto afterwards = navigator.action.send(goalId(6), lRoute);
  ASSERT_TRUE(afterwards);
  EXPECT_FALSE(afterwards->accepted);

  // The status array tells every goal's end, until its result is dropped 10 s after it.
  navigator.listen(100ms);
  const std::map<std::uint8_t, int> ends{
      {2, kAborted}, {3, kSucceeded}, {4, kCanceled}, {5, kAborted}};
  std::set<std::uint8_t> listed;
  for (const auto& goal : navigator.status) {
    ASSERT_EQ(ends.count(goal.id[15]), 1u);
    EXPECT_EQ(goal.status, ends.at(goal.id[15]));
    listed.insert(goal.id[15]);
  }
  EXPECT_TRUE(listed.count(4) == 1 && listed.count(5) == 1);
  RecordProperty("send_goal_reply_ms", std::to_string(replyTime.count()));
  RecordProperty("cancel_to_zero_ms", std::to_string(cancelToZero.count()));
  EXPECT_LT(replyTime, 20ms + kDeliverySlack);
}

INSTANTIATE_TEST_SUITE_P(Layouts, NodeFollowPath,
                         ::testing::Values(Layout{"jazzy", false, 80}, Layout{"humble", true, 81}),
                         [](const auto& info) { return std::string(info.param.name); });

// Each navigator takes only its own distribution's layout: against a node that serves the other
// (a server broken for it) no goal is accepted, and no result is read. The manager counts only the
// node's own heartbeats.
TEST(NodeFollowPathPeers, EachNavigatorFailsAgainstTheOtherLayout) {
  dds_loopback::useLoopbackOnly();
  for (const bool humbleServer : {false, true}) {
    const Layout layout{humbleServer ? "humble" : "jazzy", !humbleServer, 82};
    Navigator navigator(layout);
    BackgroundProcess node(nodeCommand(humbleServer), dds_loopback::childEnvironment(layout.domain),
                           std::string("follow_path_mismatch_") + layout.name + ".log");
    ASSERT_TRUE(dds_loopback::eventually([&] { return navigator.action.available(); }, 10s));
    ASSERT_EQ(navigator.change(1), true);
    ASSERT_EQ(navigator.change(3), true);
    EXPECT_FALSE(navigator.action.send(goalId(1), {{0, 0, 0}, {1, 0, 0}}, 500ms))
        << "the " << (humbleServer ? "Jazzy" : "Humble") << " navigator's goal was taken";
    EXPECT_NE(node.output().find("dropped a request that cannot be read"), std::string::npos);
  }
  // Heartbeats of another bond, or the manager's own, are not the node's.
  Navigator manager({"jazzy", false, 82});
  wire::Participant other(82);
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
  wire::Participant participant(82);
  EXPECT_TRUE(FollowPathClient(participant, "a", false, "0e.1").readResult(jazzy.bytes()));
  EXPECT_FALSE(FollowPathClient(participant, "b", false, "0e.2").readResult(humble.bytes()));
  EXPECT_TRUE(FollowPathClient(participant, "c", true, "0e.3").readResult(humble.bytes()));
  EXPECT_FALSE(FollowPathClient(participant, "d", true, "0e.4").readResult(jazzy.bytes()));
}

}  // namespace
