// trelvo-node's lifecycle, in-process: the states and transitions of rcl_lifecycle's default state
// machine, as a lifecycle manager drives them and as clients may ask for what is not allowed.

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "node/lifecycle/lifecycle_machine.hpp"

namespace {

using node::ChangeResult;
using node::LifecycleMachine;
using node::LifecycleState;
using S = LifecycleState;

// The work of every change succeeds, noting the transition states it ran in.
struct Recorder {
  std::vector<S> ranIn;
  ChangeResult result = ChangeResult::Success;
  ChangeResult errorHandling = ChangeResult::Success;
  LifecycleMachine::Work work() {
    return [this](S state) {
      ranIn.push_back(state);
      return state == S::ErrorProcessing ? errorHandling : result;
    };
  }
};

std::vector<int> ids(const std::vector<node::LifecycleTransition>& transitions) {
  std::vector<int> list;
  for (const auto& transition : transitions) {
    list.push_back(transition.id);
  }
  return list;
}

TEST(NodeLifecycle, LifecycleManagerSequenceVisitsEachTransitionState) {
  LifecycleMachine machine;
  EXPECT_EQ(machine.state(), S::Unconfigured);
  const struct {
    std::uint8_t id;
    S transitionState;
    S reached;
    std::vector<int> taken;
  } steps[] = {
      {1, S::Configuring, S::Inactive, {1, 10}},   {3, S::Activating, S::Active, {3, 30}},
      {4, S::Deactivating, S::Inactive, {4, 40}},  {3, S::Activating, S::Active, {3, 30}},
      {7, S::ShuttingDown, S::Finalized, {7, 50}},
  };
  for (const auto& step : steps) {
    Recorder recorder;
    std::vector<node::LifecycleTransition> taken;
    EXPECT_TRUE(machine.change(step.id, "", recorder.work(), taken)) << int(step.id);
    EXPECT_EQ(machine.state(), step.reached) << int(step.id);
    EXPECT_EQ(recorder.ranIn, std::vector<S>{step.transitionState});
    EXPECT_EQ(ids(taken), step.taken);
    ASSERT_EQ(taken.size(), 2u);
    // Each event leads from where the one before it ended.
    EXPECT_EQ(taken[0].goal, taken[1].start);
    EXPECT_EQ(taken[0].goal, step.transitionState);
    EXPECT_EQ(taken[1].goal, step.reached);
    EXPECT_EQ(std::string(taken[1].label), "transition_success");
  }
}

TEST(NodeLifecycle, ChangesNotLeavingTheCurrentStateAreRefusedAndChangeNothing) {
  const struct {
    S from;
    std::uint8_t id;
    const char* label;
  } cases[] = {
      {S::Unconfigured, 3, ""},
      {S::Unconfigured, 4, ""},
      {S::Unconfigured, 7, ""},
      {S::Inactive, 1, ""},
      {S::Inactive, 4, ""},
      {S::Active, 3, ""},
      {S::Active, 2, ""},
      {S::Finalized, 1, ""},
      {S::Finalized, 0, "shutdown"},
      {S::Unconfigured, 10, ""},  // a result is no change a client asks for
      {S::Unconfigured, 0, "transition_success"},
      {S::Unconfigured, 1, "fly"},  // a label, when given, wins over the id
      {S::Configuring, 10, ""},     // no change starts in a transition state
      {S::Unconfigured, 0, ""},
      {S::Active, 255, ""},
  };
  for (const auto& c : cases) {
    LifecycleMachine machine(c.from);
    Recorder recorder;
    std::vector<node::LifecycleTransition> taken;
    EXPECT_FALSE(machine.change(c.id, c.label, recorder.work(), taken))
        << node::stateLabel(c.from) << " " << int(c.id) << " " << c.label;
    EXPECT_EQ(machine.state(), c.from);
    EXPECT_TRUE(taken.empty());
    EXPECT_TRUE(recorder.ranIn.empty());
  }
}

TEST(NodeLifecycle, LabelsNameTheTransitionOfTheCurrentState) {
  const struct {
    S from;
    const char* label;
    int id;
    S reached;
  } cases[] = {
      {S::Unconfigured, "configure", 1, S::Inactive}, {S::Inactive, "activate", 3, S::Active},
      {S::Inactive, "cleanup", 2, S::Unconfigured},   {S::Active, "deactivate", 4, S::Inactive},
      {S::Unconfigured, "shutdown", 5, S::Finalized}, {S::Inactive, "shutdown", 6, S::Finalized},
      {S::Active, "shutdown", 7, S::Finalized},
  };
  for (const auto& c : cases) {
    LifecycleMachine machine(c.from);
    Recorder recorder;
    std::vector<node::LifecycleTransition> taken;
    // The id is ignored once a label is given, as ros2 lifecycle set sends id 0.
    EXPECT_TRUE(machine.change(99, c.label, recorder.work(), taken)) << c.label;
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken.front().id, c.id);
    EXPECT_EQ(machine.state(), c.reached);
  }
}

TEST(NodeLifecycle, FailuresAndErrorsLeadWhereRclLifecycleLeadsThem) {
  const struct {
    S from;
    std::uint8_t id;
    ChangeResult result;
    ChangeResult errorHandling;
    S reached;
    std::vector<int> taken;
  } cases[] = {
      {S::Unconfigured, 1, ChangeResult::Failure, ChangeResult::Success, S::Unconfigured, {1, 11}},
      {S::Inactive, 3, ChangeResult::Failure, ChangeResult::Success, S::Inactive, {3, 31}},
      {S::Active, 4, ChangeResult::Failure, ChangeResult::Success, S::Active, {4, 41}},
      {S::Inactive, 2, ChangeResult::Failure, ChangeResult::Success, S::Inactive, {2, 21}},
      {S::Active, 7, ChangeResult::Failure, ChangeResult::Success, S::Finalized, {7, 51}},
      {S::Unconfigured,
       1,
       ChangeResult::Error,
       ChangeResult::Success,
       S::Unconfigured,
       {1, 12, 60}},
      {S::Active, 4, ChangeResult::Error, ChangeResult::Failure, S::Finalized, {4, 42, 61}},
      {S::Inactive, 6, ChangeResult::Error, ChangeResult::Error, S::Finalized, {6, 52, 62}},
  };
  for (const auto& c : cases) {
    LifecycleMachine machine(c.from);
    Recorder recorder;
    recorder.result = c.result;
    recorder.errorHandling = c.errorHandling;
    std::vector<node::LifecycleTransition> taken;
    EXPECT_FALSE(machine.change(c.id, "", recorder.work(), taken));
    EXPECT_EQ(machine.state(), c.reached) << node::stateLabel(c.from) << " " << int(c.id);
    EXPECT_EQ(ids(taken), c.taken);
    if (c.result == ChangeResult::Error) {
      EXPECT_EQ(recorder.ranIn.back(), S::ErrorProcessing);
    }
  }
}

TEST(NodeLifecycle, AvailableTransitionsAreThoseLeavingTheCurrentState) {
  const struct {
    S state;
    std::vector<int> ids;
  } cases[] = {
      {S::Unconfigured, {1, 5}},
      {S::Inactive, {2, 3, 6}},
      {S::Active, {4, 7}},
      {S::Finalized, {}},
  };
  for (const auto& c : cases) {
    const auto available = LifecycleMachine(c.state).availableTransitions();
    EXPECT_EQ(ids(available), c.ids) << node::stateLabel(c.state);
    for (const auto& transition : available) {
      EXPECT_EQ(transition.start, c.state);
    }
  }
}

TEST(NodeLifecycle, TheTransitionGraphHoldsEachTransitionOnce) {
  const auto graph = LifecycleMachine::transitions();
  EXPECT_EQ(graph.size(), 25u);  // rcl_lifecycle's default state machine
  std::set<std::pair<int, int>> seen;
  for (const auto& transition : graph) {
    EXPECT_TRUE(seen.insert({static_cast<int>(transition.start), transition.id}).second);
  }
  for (const S state : LifecycleMachine::states()) {
    for (const auto& transition : LifecycleMachine(state).availableTransitions()) {
      EXPECT_EQ(seen.count({static_cast<int>(state), transition.id}), 1u);
    }
  }
}

TEST(NodeLifecycle, StatesAreLifecycleMsgsElevenWithDistinctLabels) {
  const auto states = LifecycleMachine::states();
  ASSERT_EQ(states.size(), 11u);
  std::set<std::string> labels;
  std::set<int> stateIds;
  for (const S state : states) {
    labels.insert(node::stateLabel(state));
    stateIds.insert(static_cast<int>(state));
  }
  EXPECT_EQ(labels.size(), 11u);
  EXPECT_EQ(stateIds, (std::set<int>{0, 1, 2, 3, 4, 10, 11, 12, 13, 14, 15}));
  EXPECT_STREQ(node::stateLabel(S::CleaningUp), "cleaningup");
  EXPECT_STREQ(node::stateLabel(S::ErrorProcessing), "errorprocessing");
}

}  // namespace
