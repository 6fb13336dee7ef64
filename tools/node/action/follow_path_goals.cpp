#include "node/action/follow_path_goals.hpp"

#include <algorithm>

#include <fmt/format.h>

namespace node {
namespace {

bool isZero(const GoalId& id) {
  return std::all_of(id.begin(), id.end(), [](std::uint8_t byte) { return byte == 0; });
}

bool isZero(const builtin_interfaces::msg::Time& stamp) {
  return stamp.sec == 0 && stamp.nanosec == 0;
}

bool notAfter(const builtin_interfaces::msg::Time& a, const builtin_interfaces::msg::Time& b) {
  return a.sec < b.sec || (a.sec == b.sec && a.nanosec <= b.nanosec);
}

bool terminal(GoalStatus status) {
  return status == GoalStatus::Succeeded || status == GoalStatus::Canceled ||
         status == GoalStatus::Aborted;
}

}  // namespace

bool FollowPathGoals::accept(const GoalId& id, const builtin_interfaces::msg::Time& stamp,
                             nav_msgs::msg::Path path, bool active, GoalClock::time_point now) {
  const bool known =
      std::any_of(goals_.begin(), goals_.end(), [&](const Goal& goal) { return goal.id == id; });
  if (!active || known) {
    return false;
  }
  if (Goal* replaced = running()) {
    end(*replaced, {GoalStatus::Aborted, FollowPathError::None, "replaced by a newer goal"}, now,
        false);
  }
  Goal goal;
  goal.id = id;
  goal.accepted = stamp;
  goals_.push_back(std::move(goal));
  path_ = std::move(path);
  pathOwed_ = true;
  statusChanged_ = true;
  return true;
}

CancelAnswer FollowPathGoals::cancel(const GoalId& id, const builtin_interfaces::msg::Time& stamp,
                                     GoalClock::time_point now) {
  CancelAnswer answer;
  const bool anyId = isZero(id);
  const bool anyTime = isZero(stamp);
  for (Goal& goal : goals_) {
    const bool named = !anyId && goal.id == id;
    if (named && terminal(goal.status)) {
      answer.code = CancelCode::GoalTerminated;
    }
    const bool chosen = named || (anyId && anyTime) || (!anyTime && notAfter(goal.accepted, stamp));
    if (chosen && !terminal(goal.status)) {
      end(goal, {GoalStatus::Canceled, FollowPathError::None, "cancelled"}, now, true);
      answer.canceling.push_back(goal);
    }
  }
  if (!answer.canceling.empty()) {
    answer.code = CancelCode::None;
  } else if (answer.code != CancelCode::GoalTerminated) {
    // A request for every goal, or those before a stamp, that finds none to cancel is no error.
    const bool known =
        std::any_of(goals_.begin(), goals_.end(), [&](const Goal& goal) { return goal.id == id; });
    answer.code = !anyId && !known ? CancelCode::UnknownGoal : CancelCode::None;
  }
  return answer;
}

void FollowPathGoals::halt(const std::string& why, GoalClock::time_point now,
                           FollowPathError error) {
  if (Goal* goal = running()) {
    end(*goal, {GoalStatus::Aborted, error, why}, now, true);
  }
}

std::optional<nav_msgs::msg::Path> FollowPathGoals::takePath() {
  return std::exchange(path_, std::nullopt);
}

bool FollowPathGoals::awaitingPath() const {
  return executing() != nullptr && pathOwed_;
}

void FollowPathGoals::pathOutcome(const Handover& outcome, GoalClock::time_point now) {
  Goal* goal = running();
  if (goal == nullptr || !pathOwed_) {
    return;
  }
  pathOwed_ = false;
  switch (outcome.kind) {
    case Handover::Kind::Driven:
      return;
    case Handover::Kind::Empty:
      end(*goal, {GoalStatus::Aborted, FollowPathError::InvalidPath, "the path is empty"}, now,
          true);
      return;
    case Handover::Kind::Refused:
      end(*goal,
          {GoalStatus::Aborted, FollowPathError::InvalidPath, "path refused: " + outcome.reason},
          now, true);
      return;
    case Handover::Kind::NoTransform:
      end(*goal, {GoalStatus::Aborted, FollowPathError::TfError, outcome.reason}, now, true);
      return;
  }
}

std::optional<Feedback> FollowPathGoals::cycleEnded(const GoalCycle& cycle,
                                                    GoalClock::time_point now) {
  Goal* goal = running();
  if (goal == nullptr || pathOwed_) {
    return std::nullopt;
  }
  if (cycle.routeFinished) {
    end(*goal, {GoalStatus::Succeeded, FollowPathError::None, ""}, now, false);
    return std::nullopt;
  }
  if (cycle.stall) {
    end(*goal, {GoalStatus::Aborted, FollowPathError::FailedToMakeProgress, *cycle.stall}, now,
        true);
    return std::nullopt;
  }
  if (cycle.blocked) {
    end(*goal, {GoalStatus::Aborted, FollowPathError::NoValidControl, *cycle.blocked}, now, true);
    return std::nullopt;
  }
  if (!cycle.poseLost) {
    poseLostSince_.reset();
  } else if (failureTolerance_) {
    poseLostSince_ = poseLostSince_.value_or(now);
    if (now - *poseLostSince_ >= *failureTolerance_) {
      end(*goal,
          {GoalStatus::Aborted, FollowPathError::TfError,
           fmt::format("{}, for {:.2f} s: past the failure tolerance of {:.2f} s", *cycle.poseLost,
                       std::chrono::duration<double>(now - *poseLostSince_).count(),
                       std::chrono::duration<double>(*failureTolerance_).count())},
          now, true);
      return std::nullopt;
    }
  }
  if (!cycle.distanceToGoal) {
    return std::nullopt;
  }
  return Feedback{goal->id, *cycle.distanceToGoal, cycle.speed};
}

std::optional<GoalResult> FollowPathGoals::result(const GoalId& id) const {
  const auto goal =
      std::find_if(goals_.begin(), goals_.end(), [&](const Goal& known) { return known.id == id; });
  if (goal == goals_.end()) {
    return GoalResult{};
  }
  if (!goal->ended) {
    return std::nullopt;
  }
  return goal->result;
}

void FollowPathGoals::expire(GoalClock::time_point now) {
  const auto kept = std::remove_if(goals_.begin(), goals_.end(), [&](const Goal& goal) {
    return goal.ended && now - *goal.ended >= kResultKept;
  });
  if (kept != goals_.end()) {
    goals_.erase(kept, goals_.end());
    statusChanged_ = true;
  }
}

const Goal* FollowPathGoals::executing() const {
  return const_cast<FollowPathGoals*>(this)->running();
}

Goal* FollowPathGoals::running() {
  for (Goal& goal : goals_) {
    if (!terminal(goal.status)) {
      return &goal;
    }
  }
  return nullptr;
}

void FollowPathGoals::end(Goal& goal, GoalResult result, GoalClock::time_point now, bool stop) {
  goal.status = result.status;
  goal.result = result;
  goal.ended = now;
  ended_.emplace_back(goal.id, std::move(result));
  statusChanged_ = true;
  pathOwed_ = false;
  poseLostSince_.reset();
  if (stop) {
    stop_ = true;
    path_.reset();
  }
}

std::string goalIdText(const GoalId& id) {
  std::string text;
  for (std::size_t i = 0; i < id.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) {
      text += '-';
    }
    text += fmt::format("{:02x}", id[i]);
  }
  return text;
}

}  // namespace node
