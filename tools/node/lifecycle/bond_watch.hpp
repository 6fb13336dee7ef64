#pragma once

// A managed node's side of the bond Nav2's lifecycle manager keeps with each server it activates,
// as bondcpp keeps one: bond/msg/Status messages on the topic "bond", the bond's id the node's
// name, each side known by its own random instance_id. Free of middleware: fed the manager's
// messages and the time, it says what the node publishes and whether it may command the vehicle.
//
//   none      not started (the node is not active), or started and waiting for the manager:
//             heartbeats go out, and the node drives as it would without a bond
//   formed    the manager's heartbeats (this id, another instance_id, active) arrive; each one
//             restarts the manager's heartbeat_timeout. The instance whose heartbeat formed the
//             bond is its one partner: messages of any other instance (a second manager) are
//             ignored, told at most every kIgnoredTellPeriod
//   broken    no heartbeat within the manager's heartbeat_timeout, or the manager ended its side
//             (active=false): the vehicle stops and stays stopped for this bond, as bondcpp's Dead
//             state is final; no heartbeat goes out, so that the manager sees the break too. The
//             node deactivated and activated again starts a new bond.
//   leaving   the node ended its side (deactivated, shut down): active=false at once, then every
//             kDeadPublishPeriod until the manager answers with its own or kDisconnectTimeout
//             passes, as bondcpp's AwaitSisterDeath.
//
// Heartbeats go out every heartbeat_period of the manager's messages, bondcpp's default until the
// first arrives. A node no manager bonds with keeps sending them and drives on.

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include <bond/msg/status.hpp>

namespace node {

/// bond/msg/Constants, in seconds.
inline constexpr double kDefaultHeartbeatPeriod = 1.0;
inline constexpr double kDefaultHeartbeatTimeout = 4.0;
inline constexpr double kDeadPublishPeriod = 0.05;
inline constexpr double kDisconnectTimeout = 2.0;
/// A second manager's messages are told at most this often.
inline constexpr std::chrono::seconds kIgnoredTellPeriod{10};

enum class BondState { None, Waiting, Formed, Broken, Leaving };

/// "none" (not started, waiting or left), "formed", "broken": as the node's diagnostics show it.
const char* bondText(BondState state);

class BondWatch {
 public:
  using Clock = std::chrono::steady_clock;

  /// Receives each line worth logging with the state it tells of (formed, broken).
  using Tell = std::function<void(BondState, const std::string&)>;

  /// The node's side of the bond `id`.
  BondWatch(std::string id, Tell tell);

  /// A new bond under the node's `instanceId` (the node became active): a heartbeat is due now.
  void start(std::string instanceId, Clock::time_point now);
  /// The node ends its side (it leaves the active state).
  void leave(Clock::time_point now);
  /// A message on the bond topic; those of other bonds and the node's own are ignored.
  void receive(const bond::msg::Status& status, Clock::time_point now);
  /// The status the node publishes now, if one is due; looks at the manager's heartbeats first.
  std::optional<bond::msg::Status> due(Clock::time_point now);

  BondState state() const { return state_; }
  /// While broken: no command reaches the vehicle.
  bool holdsVehicle() const { return state_ == BondState::Broken; }

 private:
  bond::msg::Status status(bool active) const;
  void breakBond(const std::string& why);
  /// Whether `status` comes from an instance other than the partner, once there is one.
  bool fromStranger(const bond::msg::Status& status, Clock::time_point now);

  std::string id_;
  Tell tell_;
  std::string instanceId_;
  std::string partner_;  // the manager's instance_id, once the bond formed
  std::optional<Clock::time_point> strangerTold_;
  BondState state_ = BondState::None;
  Clock::duration period_;
  Clock::duration timeout_;
  Clock::time_point nextStatus_{};
  Clock::time_point lastHeartbeat_{};
  Clock::time_point leftAt_{};
  bool ackDeath_ = false;  // the manager ended its side: answered once with active=false
};

}  // namespace node
