#pragma once

// The goals of the follow_path action, kept as Nav2's controller server keeps them and with the
// states rcl_action gives them. One goal executes at a time: a new goal takes over the route and
// the one it replaces ends ABORTED, without a stop, so that a path refreshed by the planner drives
// on as a replan of the route under way. A goal ends SUCCEEDED when its route is finished, CANCELED
// when cancelled, and ABORTED with one of Jazzy's error codes when its path cannot be driven or the
// vehicle makes no progress; the node stops the vehicle whenever a goal ends other than by a
// newer one. Ended goals keep their results for kResultKept.
//
// Nothing here knows DDS: the node's services and topics carry what this decides.

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <builtin_interfaces/msg/time.hpp>
#include <nav_msgs/msg/path.hpp>

#include "node/drive/handover.hpp"

namespace node {

using GoalClock = std::chrono::steady_clock;
using GoalId = std::array<std::uint8_t, 16>;

/// action_msgs/msg/GoalStatus.
enum class GoalStatus : std::int8_t {
  Unknown = 0,
  Accepted = 1,
  Executing = 2,
  Canceling = 3,
  Succeeded = 4,
  Canceled = 5,
  Aborted = 6,
};

/// Jazzy's FollowPath result error codes that the node gives.
enum class FollowPathError : std::uint16_t {
  None = 0,
  Unknown = 100,
  InvalidController = 101,
  TfError = 102,
  InvalidPath = 103,
  FailedToMakeProgress = 105,
  NoValidControl = 106,
};

/// action_msgs/srv/CancelGoal's return codes.
enum class CancelCode : std::int8_t {
  None = 0,
  Rejected = 1,
  UnknownGoal = 2,
  GoalTerminated = 3,
};

struct GoalResult {
  GoalStatus status = GoalStatus::Unknown;
  FollowPathError error = FollowPathError::None;
  std::string message;
};

struct Goal {
  GoalId id{};
  builtin_interfaces::msg::Time accepted;  // the time the acceptance was stamped with
  GoalStatus status = GoalStatus::Executing;
  GoalResult result;  // once ended
  std::optional<GoalClock::time_point> ended;
};

struct CancelAnswer {
  CancelCode code = CancelCode::None;
  std::vector<Goal> canceling;  // the goals the request ended
};

/// What a control cycle did, for the goal under way.
struct GoalCycle {
  bool routeFinished = false;            // the route driven has reached its last leg's end
  std::optional<std::string> stall;      // the vehicle stalled in this cycle, and how
  std::optional<double> distanceToGoal;  // m along the route still to drive
  double speed = 0.0;                    // m/s of the command sent
  std::optional<std::string> poseLost;   // no fresh pose in this cycle, and why
  std::optional<std::string> blocked;    // held by an obstacle past the blocked timeout, where
};

struct Feedback {
  GoalId id{};
  double distanceToGoal = 0.0;
  double speed = 0.0;
};

inline constexpr std::chrono::seconds kResultKept{10};

/// How long a goal waits for fresh poses before it ends ABORTED with TF_ERROR (Nav2's
/// failure_tolerance): long enough for a 2 Hz localisation, whose poses may each come a little
/// past the pose timeout, short enough for the navigator to recover soon after a source stops.
inline constexpr std::chrono::seconds kDefaultFailureTolerance{1};

class FollowPathGoals {
 public:
  /// `failureTolerance`: how long the goal under way may go without a fresh pose; nothing: for
  /// ever; zero: not one cycle.
  explicit FollowPathGoals(
      std::optional<GoalClock::duration> failureTolerance = kDefaultFailureTolerance)
      : failureTolerance_(failureTolerance) {}

  /// A goal asked for with `id` and `path`: accepted, and driven from the next cycle, while the
  /// node is `active` and no goal of that id is known. The goal under way ends ABORTED.
  bool accept(const GoalId& id, const builtin_interfaces::msg::Time& stamp,
              nav_msgs::msg::Path path, bool active, GoalClock::time_point now);
  /// A cancel request as rcl_action reads one: a zero id and a zero stamp cancel every goal, a
  /// zero id every goal accepted at or before `stamp`, an id that goal (and with a stamp, those
  /// accepted at or before it too). The goals ended are CANCELED at once.
  CancelAnswer cancel(const GoalId& id, const builtin_interfaces::msg::Time& stamp,
                      GoalClock::time_point now);
  /// The node stopped commanding the vehicle (not active, its bond broken), or cannot drive the
  /// goal (`error`), for `why`: the goal under way ends ABORTED.
  void halt(const std::string& why, GoalClock::time_point now,
            FollowPathError error = FollowPathError::None);

  /// The path of the goal accepted last, once, for the drive.
  std::optional<nav_msgs::msg::Path> takePath();
  /// A goal ended other than by a newer goal since the last call: the vehicle stops.
  bool takeStop() { return std::exchange(stop_, false); }
  /// Whether the drive still owes the outcome of the goal's path.
  bool awaitingPath() const;
  /// The drive took, or refused, the path of the goal under way.
  void pathOutcome(const Handover& outcome, GoalClock::time_point now);
  /// A control cycle ended: the goal under way succeeds or fails by it; its feedback when it goes
  /// on.
  std::optional<Feedback> cycleEnded(const GoalCycle& cycle, GoalClock::time_point now);

  /// The goal's result once it ended; nothing while it runs; a result of status Unknown for a goal
  /// not known (never accepted, or its result dropped).
  std::optional<GoalResult> result(const GoalId& id) const;
  /// The goals that ended since the last call, for the results asked before they did.
  std::vector<std::pair<GoalId, GoalResult>> takeEnded() { return std::exchange(ended_, {}); }
  /// Drops the results kept longer than kResultKept.
  void expire(GoalClock::time_point now);

  /// Every goal known, for the status array; `statusChanged` since the last takeStatusChanged.
  const std::vector<Goal>& goals() const { return goals_; }
  bool takeStatusChanged() { return std::exchange(statusChanged_, false); }
  /// The goal under way, if any.
  const Goal* executing() const;

 private:
  Goal* running();
  void end(Goal& goal, GoalResult result, GoalClock::time_point now, bool stop);

  std::vector<Goal> goals_;  // in the order accepted
  std::optional<nav_msgs::msg::Path> path_;
  bool pathOwed_ = false;  // the running goal's path has not yet reached the drive
  bool stop_ = false;
  bool statusChanged_ = false;
  std::vector<std::pair<GoalId, GoalResult>> ended_;
  std::optional<GoalClock::duration> failureTolerance_;
  std::optional<GoalClock::time_point> poseLostSince_;  // of the goal under way
};

/// The goal id as rclcpp prints a UUID: 32 hex digits in groups 8-4-4-4-12.
std::string goalIdText(const GoalId& id);

}  // namespace node
