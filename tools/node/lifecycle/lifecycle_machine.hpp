#pragma once

// ROS 2's lifecycle of a managed node, as rcl_lifecycle's default state machine defines it: the
// primary states (unconfigured, inactive, active, finalized), the transition states each change
// passes through (configuring, activating, ...), and the transitions between them with the ids
// and labels of lifecycle_msgs. A change asked for (configure, activate, ...) leads from a primary
// state into its transition state; there the change's work runs, and its result (success, failure,
// error) leads on, an error through errorprocessing, as rclcpp_lifecycle drives it:
//
//   unconfigured --configure--> configuring --success--> inactive     (failure: unconfigured)
//   inactive     --cleanup----> cleaningup  --success--> unconfigured (failure: inactive)
//   inactive     --activate---> activating  --success--> active       (failure: inactive)
//   active       --deactivate-> deactivating --success-> inactive     (failure: active)
//   any of those three --shutdown--> shuttingdown --success or failure--> finalized
//   a transition state --error--> errorprocessing --success--> unconfigured (else: finalized)

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace node {

/// lifecycle_msgs/msg/State's ids.
enum class LifecycleState : std::uint8_t {
  Unknown = 0,
  Unconfigured = 1,
  Inactive = 2,
  Active = 3,
  Finalized = 4,
  Configuring = 10,
  CleaningUp = 11,
  ShuttingDown = 12,
  Activating = 13,
  Deactivating = 14,
  ErrorProcessing = 15,
};

/// lifecycle_msgs/msg/Transition's ids of the changes a client asks for.
namespace transition_id {
inline constexpr std::uint8_t kConfigure = 1;
inline constexpr std::uint8_t kCleanup = 2;
inline constexpr std::uint8_t kActivate = 3;
inline constexpr std::uint8_t kDeactivate = 4;
inline constexpr std::uint8_t kUnconfiguredShutdown = 5;
inline constexpr std::uint8_t kInactiveShutdown = 6;
inline constexpr std::uint8_t kActiveShutdown = 7;
}  // namespace transition_id

/// rcl_lifecycle's label of a state: "unconfigured", "configuring", ...
const char* stateLabel(LifecycleState state);

/// One transition: lifecycle_msgs/msg/TransitionDescription, and what transition_event announces.
struct LifecycleTransition {
  std::uint8_t id;
  const char* label;  // "configure", ..., "shutdown"; "transition_success", ... for results
  LifecycleState start;
  LifecycleState goal;
};

/// What a change's work reports, as rclcpp_lifecycle's CallbackReturn.
enum class ChangeResult { Success, Failure, Error };

class LifecycleMachine {
 public:
  /// The work of a change, called in its transition state (configuring, ..., errorprocessing for
  /// the handling of an error).
  using Work = std::function<ChangeResult(LifecycleState transitionState)>;

  /// A machine in `initial`: unconfigured for a managed node.
  explicit LifecycleMachine(LifecycleState initial = LifecycleState::Unconfigured)
      : state_(initial) {}

  LifecycleState state() const { return state_; }

  /// Every state, as get_available_states lists them: the primary states, then the transition
  /// states.
  static std::vector<LifecycleState> states();
  /// Every transition, as get_transition_graph lists them.
  static std::vector<LifecycleTransition> transitions();
  /// The transitions that leave the current state, as get_available_transitions lists them.
  std::vector<LifecycleTransition> availableTransitions() const;

  /// Takes the transition `label` from the current state, or, when `label` is empty, the one of
  /// `id`, as rclcpp_lifecycle's change_state reads a request. True when the change's work
  /// succeeded; false when no such transition leaves the current state (nothing happens), or the
  /// work failed or erred. Each transition taken is appended to `taken`, in order.
  bool change(std::uint8_t id, const std::string& label, const Work& work,
              std::vector<LifecycleTransition>& taken);

 private:
  LifecycleState state_;
};

}  // namespace node
