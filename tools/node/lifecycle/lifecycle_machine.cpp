#include "node/lifecycle/lifecycle_machine.hpp"

#include <iterator>

namespace node {
namespace {

using S = LifecycleState;

constexpr const char* kSuccess = "transition_success";
constexpr const char* kFailure = "transition_failure";
constexpr const char* kError = "transition_error";

// rcl_lifecycle's transitions in the order it registers them, which is the order in which
// get_available_transitions lists those of a state.
constexpr LifecycleTransition kTransitions[] = {
    {transition_id::kConfigure, "configure", S::Unconfigured, S::Configuring},
    {10, kSuccess, S::Configuring, S::Inactive},
    {11, kFailure, S::Configuring, S::Unconfigured},
    {12, kError, S::Configuring, S::ErrorProcessing},
    {transition_id::kCleanup, "cleanup", S::Inactive, S::CleaningUp},
    {20, kSuccess, S::CleaningUp, S::Unconfigured},
    {21, kFailure, S::CleaningUp, S::Inactive},
    {22, kError, S::CleaningUp, S::ErrorProcessing},
    {transition_id::kActivate, "activate", S::Inactive, S::Activating},
    {30, kSuccess, S::Activating, S::Active},
    {31, kFailure, S::Activating, S::Inactive},
    {32, kError, S::Activating, S::ErrorProcessing},
    {transition_id::kDeactivate, "deactivate", S::Active, S::Deactivating},
    {40, kSuccess, S::Deactivating, S::Inactive},
    {41, kFailure, S::Deactivating, S::Active},
    {42, kError, S::Deactivating, S::ErrorProcessing},
    {transition_id::kUnconfiguredShutdown, "shutdown", S::Unconfigured, S::ShuttingDown},
    {transition_id::kInactiveShutdown, "shutdown", S::Inactive, S::ShuttingDown},
    {transition_id::kActiveShutdown, "shutdown", S::Active, S::ShuttingDown},
    {50, kSuccess, S::ShuttingDown, S::Finalized},
    {51, kFailure, S::ShuttingDown, S::Finalized},
    {52, kError, S::ShuttingDown, S::ErrorProcessing},
    {60, kSuccess, S::ErrorProcessing, S::Unconfigured},
    {61, kFailure, S::ErrorProcessing, S::Finalized},
    {62, kError, S::ErrorProcessing, S::Finalized},
};

const LifecycleTransition* find(LifecycleState start, std::uint8_t id, const std::string& label) {
  for (const auto& transition : kTransitions) {
    if (transition.start == start &&
        (label.empty() ? transition.id == id : label == transition.label)) {
      return &transition;
    }
  }
  return nullptr;
}

const char* resultLabel(ChangeResult result) {
  switch (result) {
    case ChangeResult::Success:
      return kSuccess;
    case ChangeResult::Failure:
      return kFailure;
    case ChangeResult::Error:
      break;
  }
  return kError;
}

bool isPrimary(LifecycleState state) {
  return static_cast<std::uint8_t>(state) <= static_cast<std::uint8_t>(S::Finalized);
}

}  // namespace

const char* stateLabel(LifecycleState state) {
  switch (state) {
    case S::Unknown:
      return "unknown";
    case S::Unconfigured:
      return "unconfigured";
    case S::Inactive:
      return "inactive";
    case S::Active:
      return "active";
    case S::Finalized:
      return "finalized";
    case S::Configuring:
      return "configuring";
    case S::CleaningUp:
      return "cleaningup";
    case S::ShuttingDown:
      return "shuttingdown";
    case S::Activating:
      return "activating";
    case S::Deactivating:
      return "deactivating";
    case S::ErrorProcessing:
      return "errorprocessing";
  }
  return "unknown";
}

std::vector<LifecycleState> LifecycleMachine::states() {
  return {S::Unknown,    S::Unconfigured, S::Inactive,       S::Active,
          S::Finalized,  S::Configuring,  S::CleaningUp,     S::ShuttingDown,
          S::Activating, S::Deactivating, S::ErrorProcessing};
}

std::vector<LifecycleTransition> LifecycleMachine::transitions() {
  return {std::begin(kTransitions), std::end(kTransitions)};
}

std::vector<LifecycleTransition> LifecycleMachine::availableTransitions() const {
  std::vector<LifecycleTransition> available;
  for (const auto& transition : kTransitions) {
    if (transition.start == state_) {
      available.push_back(transition);
    }
  }
  return available;
}

bool LifecycleMachine::change(std::uint8_t id, const std::string& label, const Work& work,
                              std::vector<LifecycleTransition>& taken) {
  // Only a change a client may ask for: the result transitions lead out of transition states.
  const LifecycleTransition* asked = isPrimary(state_) ? find(state_, id, label) : nullptr;
  if (asked == nullptr) {
    return false;
  }
  taken.push_back(*asked);
  state_ = asked->goal;
  const ChangeResult result = work(state_);
  const LifecycleTransition* outcome = find(state_, 0, resultLabel(result));
  taken.push_back(*outcome);
  state_ = outcome->goal;
  if (state_ == S::ErrorProcessing) {
    const LifecycleTransition* handled = find(state_, 0, resultLabel(work(state_)));
    taken.push_back(*handled);
    state_ = handled->goal;
  }
  return result == ChangeResult::Success;
}

}  // namespace node
