#pragma once

// What Nav2's lifecycle manager and behaviour tree navigator do with trelvo-node --lifecycle in
// its controller server's place, whichever middleware they speak: a goal refused while inactive,
// an L followed to its goal with a goal replanned mid-route, a cancel and a deactivation, a bond
// held throughout. The navigator (test_node_follow_path.cpp's on rmw_cyclonedds,
// test_node_follow_path_fastdds.cpp's on rmw_fastrtps) brings the clients, the listener of the
// vehicle and the bond; run() drives it and records the send_goal reply time, the cancel-to-zero
// time and the final errors.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "background_process.hpp"
#include "dds_loopback.hpp"
#include "follow_path_payloads.hpp"

namespace follow_path_scenario {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;
using follow_path_payloads::goalId;
using follow_path_payloads::Pose;

// action_msgs/msg/GoalStatus
constexpr int kSucceeded = 4;
constexpr int kCanceled = 5;
constexpr int kAborted = 6;
// What a loaded 2-core machine may add to the delivery of one sample.
constexpr auto kDeliverySlack = 100ms;

struct Layout {
  const char* name;
  bool humble;
};

inline void PrintTo(const Layout& layout, std::ostream* out) {
  *out << layout.name;
}

inline std::vector<std::string> nodeCommand(bool humble) {
  std::vector<std::string> command{TRELVO_NODE_PROGRAM, "--lifecycle"};
  if (humble) {
    command.insert(command.end(), {"--ros-distro", "humble"});
  }
  return command;
}

// A command the navigator's listener took, and when.
struct TimedCommand {
  Clock::time_point at;
  double linear = 0.0;   // m/s
  double angular = 0.0;  // rad/s
  bool zero() const { return linear == 0.0 && angular == 0.0; }
};

// What a navigator does whichever middleware it speaks: it listens, taking the vehicle's
// odometry and commands, the action's feedback and status, and keeping the bond, and asks for a
// goal's result while it listens. `Derived` brings the clients `action` (send_goal, cancel_goal
// and the topics) and `results` (get_result, which waits for a goal's end), and
// lifecycleAvailable(), takeVehicle() (into pose and commands) and keepBond() (counting
// nodeHeartbeats).
template <typename Derived>
class Listening {
 public:
  bool ready() {
    return dds_loopback::eventually(
        [this] {
          listen(0ms);
          return self().lifecycleAvailable() && self().action.available() &&
                 self().results.available() && pose.has_value();
        },
        10s);
  }

  // Takes what arrived for `limit`, or until `done`.
  template <typename Done>
  void listenUntil(Done done, std::chrono::milliseconds limit) {
    const auto until = Clock::now() + limit;
    do {
      self().keepBond();
      self().takeVehicle();
      for (const auto& received : self().action.takeFeedback()) {
        feedback.push_back(received);
      }
      if (auto statuses = self().action.takeStatus()) {
        status = std::move(*statuses);
      }
      std::this_thread::sleep_for(2ms);
    } while (!done() && Clock::now() < until);
  }
  void listen(std::chrono::milliseconds duration) {
    listenUntil([] { return false; }, duration);
  }
  // A goal's result, asked at once and answered when the goal ends, listening meanwhile.
  std::optional<follow_path_payloads::Result> resultOf(std::uint8_t goal,
                                                       std::chrono::seconds limit) {
    auto asked =
        std::async(std::launch::async, [&] { return self().results.result(goalId(goal), limit); });
    listenUntil([&] { return asked.wait_for(0s) == std::future_status::ready; }, limit + 1s);
    return asked.get();
  }

  std::optional<Pose> pose;
  std::vector<TimedCommand> commands;
  int nodeHeartbeats = 0;
  std::vector<follow_path_payloads::Feedback> feedback;
  std::vector<follow_path_payloads::GoalStatus> status;

 private:
  Derived& self() { return static_cast<Derived&>(*this); }
};

// The first zero command from `from` on, and whether every command after it is zero.
inline std::pair<std::optional<Clock::time_point>, bool> stopAfter(
    const std::vector<TimedCommand>& commands, Clock::time_point from) {
  std::optional<Clock::time_point> first;
  bool stayed = true;
  for (const auto& command : commands) {
    if (command.at < from) {
      continue;
    }
    if (!first && command.zero()) {
      first = command.at;
    } else if (first && !command.zero()) {
      stayed = false;
    }
  }
  return {first, stayed};
}

// The scenario, from a node just started beside `navigator` and the vehicle (trelvo-sim at the
// origin). Check HasFatalFailure() after it.
template <typename Navigator>
void run(Navigator& navigator, BackgroundProcess& node) {
  ASSERT_TRUE(navigator.ready()) << node.output();
  ASSERT_EQ(navigator.change(1), true) << node.output();  // configure

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
  const double positionError = std::hypot(navigator.pose->x - 0.6, navigator.pose->y - 0.4);
  const double headingError = navigator.pose->heading - M_PI / 2;
  EXPECT_LT(positionError, 0.05);
  EXPECT_LT(std::abs(headingError), 5.0 * M_PI / 180.0);
  // Where the two paths agree, along the first leg, the vehicle drove on without a stop.
  for (const auto& command : navigator.commands) {
    if (command.at > replanned && command.at < replanned + 500ms) {
      EXPECT_GT(command.linear, 0.0) << "a stop where the replanned path agreed";
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
  navigator.listen(1000ms);
  const auto cancelAsked = Clock::now();
  const auto canceled = navigator.action.cancel(goalId(4));
  ASSERT_TRUE(canceled);
  EXPECT_EQ(canceled->first, 0);
  EXPECT_EQ(canceled->second, std::vector<follow_path_payloads::GoalId>{goalId(4)});
  navigator.listen(300ms);
  const auto [cancelStop, stayedStopped] = stopAfter(navigator.commands, cancelAsked);
  ASSERT_TRUE(cancelStop);
  EXPECT_TRUE(stayedStopped);
  const Milliseconds cancelToZero = *cancelStop - cancelAsked;
  EXPECT_LT(cancelToZero, 100ms);
  EXPECT_EQ(navigator.resultOf(4, std::chrono::seconds(2))->status, kCanceled);

  // The bond held from the activation on: the node's heartbeats came, about 10 a second.
  EXPECT_GT(navigator.nodeHeartbeats, 50);
  EXPECT_NE(node.output().find("bond trelvo_node formed"), std::string::npos) << node.output();
  EXPECT_EQ(node.output().find("broken"), std::string::npos) << node.output();

  // A deactivation mid-line ends the goal and stops the vehicle; goals are refused after it.
  const double y = navigator.pose->y;
  ASSERT_TRUE(navigator.action.send(goalId(5), {{0.6, y, M_PI / 2}, {0.6, y + 1, M_PI / 2}}));
  navigator.listen(1000ms);
  const auto deactivateAsked = Clock::now();
  ASSERT_EQ(navigator.change(4), true);
  navigator.listen(300ms);
  const auto [deactivateStop, stayedDeactivated] = stopAfter(navigator.commands, deactivateAsked);
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

  ::testing::Test::RecordProperty("send_goal_reply_ms", std::to_string(replyTime.count()));
  ::testing::Test::RecordProperty("cancel_to_zero_ms", std::to_string(cancelToZero.count()));
  ::testing::Test::RecordProperty("goal_error_m", std::to_string(positionError));
  ::testing::Test::RecordProperty("goal_heading_error_deg",
                                  std::to_string(headingError * 180.0 / M_PI));
  EXPECT_LT(replyTime, 20ms + kDeliverySlack);
}

}  // namespace follow_path_scenario
