// The follow_path action's goals, without DDS: what ends each goal and how, what rcl_action's
// cancel requests choose, results kept and then forgotten, and the stops the node owes.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "node/action/follow_path_goals.hpp"
#include "node/action/goal_plugins.hpp"

namespace {

using namespace std::chrono_literals;
using node::FollowPathGoals;
using node::GoalCycle;
using node::GoalId;
using node::GoalStatus;
using node::Handover;

const node::GoalClock::time_point kStart{};

GoalId idOf(std::uint8_t n) {
  GoalId id{};
  id[15] = n;
  return id;
}

builtin_interfaces::msg::Time at(int sec) {
  builtin_interfaces::msg::Time time;
  time.sec = sec;
  return time;
}

nav_msgs::msg::Path pathOf(std::size_t poses) {
  nav_msgs::msg::Path path;
  path.poses.resize(poses);
  return path;
}

// A goal accepted, its path handed to the drive.
void acceptDriven(FollowPathGoals& goals, std::uint8_t n, int sec = 1) {
  ASSERT_TRUE(goals.accept(idOf(n), at(sec), pathOf(2), true, kStart));
  ASSERT_TRUE(goals.takePath());
  goals.pathOutcome({}, kStart);
}

GoalStatus statusOf(const FollowPathGoals& goals, std::uint8_t n) {
  const auto result = goals.result(idOf(n));
  return result ? result->status : GoalStatus::Executing;
}

TEST(NodeGoals, AcceptedOnlyWhileActiveAndOncePerId) {
  FollowPathGoals goals;
  EXPECT_FALSE(goals.accept(idOf(1), at(1), pathOf(2), false, kStart));
  EXPECT_FALSE(goals.takePath());
  EXPECT_TRUE(goals.accept(idOf(1), at(1), pathOf(2), true, kStart));
  EXPECT_FALSE(goals.accept(idOf(1), at(2), pathOf(3), true, kStart));
  ASSERT_TRUE(goals.takePath());
  EXPECT_FALSE(goals.takePath());  // handed over once
}

TEST(NodeGoals, ANewGoalAbortsTheRunningOneWithoutAStop) {
  FollowPathGoals goals;
  acceptDriven(goals, 1);
  goals.takeStatusChanged();
  ASSERT_TRUE(goals.accept(idOf(2), at(2), pathOf(3), true, kStart));
  EXPECT_EQ(statusOf(goals, 1), GoalStatus::Aborted);
  EXPECT_EQ(goals.result(idOf(1))->error, node::FollowPathError::None);
  EXPECT_EQ(goals.executing()->id, idOf(2));
  EXPECT_FALSE(goals.takeStop());  // the new path drives on from where the vehicle is
  EXPECT_TRUE(goals.takeStatusChanged());
  const auto ended = goals.takeEnded();
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].first, idOf(1));
}

TEST(NodeGoals, ThePathsOutcomeEndsTheGoalAsNav2sControllerServerDoes) {
  const struct {
    Handover::Kind kind;
    GoalStatus status;
    node::FollowPathError error;
    bool stop;
  } cases[] = {
      {Handover::Kind::Driven, GoalStatus::Executing, node::FollowPathError::None, false},
      {Handover::Kind::Empty, GoalStatus::Aborted, node::FollowPathError::InvalidPath, true},
      {Handover::Kind::Refused, GoalStatus::Aborted, node::FollowPathError::InvalidPath, true},
      {Handover::Kind::NoTransform, GoalStatus::Aborted, node::FollowPathError::TfError, true},
  };
  for (const auto& c : cases) {
    FollowPathGoals goals;
    ASSERT_TRUE(goals.accept(idOf(1), at(1), pathOf(2), true, kStart));
    EXPECT_TRUE(goals.awaitingPath());
    goals.pathOutcome({c.kind, "why"}, kStart);
    EXPECT_FALSE(goals.awaitingPath());
    EXPECT_EQ(statusOf(goals, 1), c.status) << static_cast<int>(c.kind);
    if (c.status != GoalStatus::Executing) {
      EXPECT_EQ(goals.result(idOf(1))->error, c.error);
      EXPECT_FALSE(goals.result(idOf(1))->message.empty());
    }
    EXPECT_EQ(goals.takeStop(), c.stop);
  }
}

TEST(NodeGoals, CyclesEndTheGoalAtTheGoalOrOnAStallAndGiveFeedbackMeanwhile) {
  FollowPathGoals goals;
  ASSERT_TRUE(goals.accept(idOf(1), at(1), pathOf(2), true, kStart));
  // Before the drive took the path, the route finished is the one before: no success from it.
  EXPECT_FALSE(
      goals.cycleEnded({true, std::nullopt, 0.0, 0.0, std::nullopt, std::nullopt}, kStart));
  EXPECT_EQ(statusOf(goals, 1), GoalStatus::Executing);
  goals.pathOutcome({}, kStart);

  const auto feedback =
      goals.cycleEnded({false, std::nullopt, 2.5, 0.3, std::nullopt, std::nullopt}, kStart);
  ASSERT_TRUE(feedback);
  EXPECT_EQ(feedback->id, idOf(1));
  EXPECT_EQ(feedback->distanceToGoal, 2.5);
  EXPECT_EQ(feedback->speed, 0.3);
  EXPECT_FALSE(goals.cycleEnded(
      {false, std::nullopt, std::nullopt, 0.0, std::nullopt, std::nullopt}, kStart));  // no pose

  goals.cycleEnded({true, std::nullopt, 0.0, 0.0, std::nullopt, std::nullopt}, kStart);
  EXPECT_EQ(statusOf(goals, 1), GoalStatus::Succeeded);
  EXPECT_FALSE(goals.takeStop());

  acceptDriven(goals, 2);
  goals.cycleEnded({false, std::string("stalled"), 1.0, 0.2, std::nullopt, std::nullopt}, kStart);
  EXPECT_EQ(statusOf(goals, 2), GoalStatus::Aborted);
  EXPECT_EQ(goals.result(idOf(2))->error, node::FollowPathError::FailedToMakeProgress);
  EXPECT_EQ(goals.result(idOf(2))->message, "stalled");
  EXPECT_TRUE(goals.takeStop());

  // Held by an obstacle past the blocked timeout: NO_VALID_CONTROL, naming where it stands.
  acceptDriven(goals, 3);
  const std::string kBlocked =
      "stopped for 10.1 s by an obstacle at (1.00, 0.00) in the base frame";
  goals.cycleEnded({false, std::nullopt, 1.0, 0.0, std::nullopt, kBlocked}, kStart);
  EXPECT_EQ(statusOf(goals, 3), GoalStatus::Aborted);
  EXPECT_EQ(goals.result(idOf(3))->error, node::FollowPathError::NoValidControl);
  EXPECT_EQ(static_cast<int>(goals.result(idOf(3))->error), 106);
  EXPECT_EQ(goals.result(idOf(3))->message, kBlocked);
  EXPECT_TRUE(goals.takeStop());
}

// Nav2's failure_tolerance: a goal that goes without a fresh pose for that long ends with
// TF_ERROR and a message that names the source; a fresh pose starts the count anew.
TEST(NodeGoals, AGoalWithoutPosesPastTheFailureToleranceAbortsWithTfError) {
  const GoalCycle lost{false,
                       std::nullopt,
                       std::nullopt,
                       0.0,
                       std::string("no fresh pose from /odom, the newest 0.70 s old"),
                       std::nullopt};
  const GoalCycle fresh{false, std::nullopt, 2.0, 0.2, std::nullopt, std::nullopt};
  const struct {
    const char* what;
    std::optional<node::GoalClock::duration> tolerance;
    std::vector<std::pair<GoalCycle, int>> cycles;  // the cycle, and its time in ms
    bool aborted;
  } cases[] = {
      {"lost just under the tolerance", 1s, {{lost, 0}, {lost, 999}}, false},
      {"lost for the tolerance", 1s, {{lost, 0}, {lost, 500}, {lost, 1000}}, true},
      {"a fresh pose between starts the count anew",
       1s,
       {{lost, 0}, {lost, 900}, {fresh, 950}, {lost, 1000}, {lost, 1900}},
       false},
      {"zero: the first cycle without a pose", 0s, {{lost, 0}}, true},
      {"never", std::nullopt, {{lost, 0}, {lost, 60000}}, false},
  };
  for (const auto& c : cases) {
    FollowPathGoals goals(c.tolerance);
    acceptDriven(goals, 1);
    for (const auto& [cycle, ms] : c.cycles) {
      goals.cycleEnded(cycle, kStart + std::chrono::milliseconds(ms));
    }
    EXPECT_EQ(statusOf(goals, 1), c.aborted ? GoalStatus::Aborted : GoalStatus::Executing)
        << c.what;
    EXPECT_EQ(goals.takeStop(), c.aborted) << c.what;
    const auto result = goals.result(idOf(1));
    if (c.aborted && result) {
      EXPECT_EQ(result->error, node::FollowPathError::TfError) << c.what;
      EXPECT_NE(result->message.find("no fresh pose from /odom, the newest 0.70 s old"),
                std::string::npos)
          << result->message;
    }
  }
  // The count is the goal's own: poses lost under one goal do not shorten the next one's.
  FollowPathGoals goals(1s);
  acceptDriven(goals, 1);
  goals.cycleEnded(lost, kStart);
  goals.cycleEnded(lost, kStart + 800ms);
  ASSERT_TRUE(goals.accept(idOf(2), at(2), pathOf(2), true, kStart + 800ms));
  goals.takePath();
  goals.pathOutcome({}, kStart + 800ms);
  goals.cycleEnded(lost, kStart + 900ms);
  goals.cycleEnded(lost, kStart + 1500ms);
  EXPECT_EQ(statusOf(goals, 2), GoalStatus::Executing);
}

// The plugin ids a goal names, checked as Nav2's controller server checks them.
TEST(NodeGoals, AGoalNamingPluginsTheNodeLacksIsRefusedWithNav2sCode) {
  const node::GoalPlugins plugins{{"FollowPath"}, {"general_goal_checker"}, {"progress_checker"}};
  const node::GoalPlugins two{{"FollowPath", "Precise"}, {"a", "b"}, {"progress_checker"}};
  const struct {
    const char* what;
    node::GoalPlugins plugins;
    node::PluginsAsked asked;
    std::optional<node::FollowPathError> error;
    const char* message;
  } cases[] = {
      {"all known", plugins, {"FollowPath", "general_goal_checker", "progress_checker"}, {}, ""},
      {"none named: the only ones", plugins, {"", "", ""}, {}, ""},
      {"an unknown controller",
       plugins,
       {"NoSuchController", "", ""},
       node::FollowPathError::InvalidController,
       "Failed to find controller name: NoSuchController"},
      {"no controller named among two",
       two,
       {"", "a", ""},
       node::FollowPathError::InvalidController,
       "Failed to find controller name: "},
      {"an unknown goal checker",
       plugins,
       {"FollowPath", "precise_goal_checker", ""},
       node::FollowPathError::Unknown,
       "Failed to find goal checker name: precise_goal_checker"},
      {"an unknown progress checker",
       plugins,
       {"", "", "slow"},
       node::FollowPathError::Unknown,
       "Failed to find progress checker name: slow"},
      {"the second of two", two, {"Precise", "b", ""}, {}, ""},
  };
  for (const auto& c : cases) {
    const auto refusal = node::pluginRefusal(c.plugins, c.asked);
    ASSERT_EQ(refusal.has_value(), c.error.has_value()) << c.what;
    if (refusal) {
      EXPECT_EQ(refusal->error, *c.error) << c.what;
      EXPECT_EQ(refusal->message, c.message) << c.what;
    }
  }
}

// rcl_action's cancel policy: a zero id and stamp cancel all, a zero id those accepted at or
// before the stamp, an id that goal and, with a stamp, those before it too.
TEST(NodeGoals, CancelRequestsChooseTheirGoalsAsRclActionDoes) {
  const GoalId none{};
  const struct {
    const char* request;
    GoalId id;
    int stamp;
    node::CancelCode code;
    std::size_t canceled;
  } cases[] = {
      {"every goal", none, 0, node::CancelCode::None, 1},
      {"accepted by then", none, 5, node::CancelCode::None, 1},
      {"accepted before the running goal: none, no error", none, 4, node::CancelCode::None, 0},
      {"the running goal", idOf(2), 0, node::CancelCode::None, 1},
      {"an ended goal", idOf(1), 0, node::CancelCode::GoalTerminated, 0},
      {"an unknown goal", idOf(9), 0, node::CancelCode::UnknownGoal, 0},
      {"an ended goal or any before 6 s", idOf(1), 6, node::CancelCode::None, 1},
  };
  for (const auto& c : cases) {
    FollowPathGoals goals;
    acceptDriven(goals, 1, 3);
    acceptDriven(goals, 2, 5);  // goal 1 ends, replaced
    goals.takeStop();
    const auto answer = goals.cancel(c.id, at(c.stamp), kStart);
    EXPECT_EQ(answer.code, c.code) << c.request;
    ASSERT_EQ(answer.canceling.size(), c.canceled) << c.request;
    EXPECT_EQ(goals.takeStop(), c.canceled > 0) << c.request;
    EXPECT_EQ(statusOf(goals, 2), c.canceled > 0 ? GoalStatus::Canceled : GoalStatus::Executing)
        << c.request;
  }
  FollowPathGoals idle;
  const auto answer = idle.cancel(none, at(0), kStart);
  EXPECT_EQ(answer.code, node::CancelCode::None) << "cancel all with no goal";
  EXPECT_TRUE(answer.canceling.empty());
  EXPECT_FALSE(idle.takeStop());
}

TEST(NodeGoals, ACancelBeforeTheCycleKeepsTheGoalsPathFromTheDrive) {
  FollowPathGoals goals;
  ASSERT_TRUE(goals.accept(idOf(1), at(1), pathOf(2), true, kStart));
  goals.cancel(idOf(1), at(0), kStart);
  EXPECT_FALSE(goals.takePath());
  EXPECT_TRUE(goals.takeStop());
}

TEST(NodeGoals, AHaltAbortsTheRunningGoalAndStops) {
  FollowPathGoals goals;
  acceptDriven(goals, 1);
  goals.halt("the node is not active", kStart);
  EXPECT_EQ(statusOf(goals, 1), GoalStatus::Aborted);
  EXPECT_EQ(goals.result(idOf(1))->message, "the node is not active");
  EXPECT_TRUE(goals.takeStop());
  EXPECT_EQ(goals.executing(), nullptr);
}

TEST(NodeGoals, ResultsAreKeptTenSecondsThenForgotten) {
  FollowPathGoals goals;
  EXPECT_EQ(goals.result(idOf(1))->status, GoalStatus::Unknown);
  acceptDriven(goals, 1);
  EXPECT_FALSE(goals.result(idOf(1)));  // running: asked results wait
  goals.cycleEnded({true, std::nullopt, 0.0, 0.0, std::nullopt, std::nullopt}, kStart + 1s);
  goals.takeStatusChanged();
  goals.expire(kStart + 1s + node::kResultKept - 1ms);
  EXPECT_EQ(goals.result(idOf(1))->status, GoalStatus::Succeeded);
  EXPECT_FALSE(goals.takeStatusChanged());
  goals.expire(kStart + 1s + node::kResultKept);
  EXPECT_EQ(goals.result(idOf(1))->status, GoalStatus::Unknown);
  EXPECT_TRUE(goals.takeStatusChanged());  // the status array drops it
  EXPECT_TRUE(goals.goals().empty());
}

TEST(NodeGoals, GoalIdsReadAsRclcppPrintsUuids) {
  GoalId id{};
  for (std::size_t i = 0; i < id.size(); ++i) {
    id[i] = static_cast<std::uint8_t>(i * 17);
  }
  EXPECT_EQ(node::goalIdText(id), "00112233-4455-6677-8899-aabbccddeeff");
}

}  // namespace
