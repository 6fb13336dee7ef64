#include "sim/run/run.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <fmt/format.h>

#include "common/pose_messages.hpp"
#include "common/vehicle.hpp"
#include "sim/run/clearance_guard.hpp"
#include "sim/run/pause_clock.hpp"
#include "sim/run/scenario_path.hpp"
#include "trelvo/controller.hpp"
#include "trelvo/route.hpp"

namespace sim {
namespace {

// The legs the run measures against. A route the route unit refuses (a coordinate beyond what
// the controller takes) is never driven and runs into the time limit, measured against the
// straight line.
std::vector<trelvo::Leg> measuredLegs(const Scenario& scenario) {
  std::vector<trelvo::Leg> legs = routeLegs(scenario);
  if (legs.empty()) {
    legs.push_back({scenario.start, scenario.goal});
  }
  return legs;
}

bool withinLimit(double value) {
  return std::isfinite(value) && std::fabs(value) <= kCommandLimit;
}

// One run from its first cycle to its last: the vehicle, the follower driving the route and what
// the run measured so far.
class RunLoop {
 public:
  RunLoop(const Scenario& scenario, const RunSettings& settings, const RunHooks& hooks)
      : scenario_(scenario),
        settings_(settings),
        hooks_(hooks),
        legs_(measuredLegs(scenario)),
        vehicle_(settings.vehicle, scenario.vehicleStart.value_or(scenario.start),
                 scenario.noiseSeed),
        guard_(scenario, settings),
        phases_(hooks.onPhaseEnd) {
    follower_.receivePath(routePath(scenario));
  }

  RunResult run() {
    // Time is counted in whole cycles and whole microseconds of pauses so that it does not drift
    // over a long run.
    std::uint64_t pausedMicroseconds = 0;
    for (int cycle = 0;; ++cycle) {
      const double time = cycle * settings_.period + pausedMicroseconds * 1e-6;
      if (time > settings_.timeLimit || !step(cycle, time, pausedMicroseconds)) {
        break;
      }
    }
    phases_.finish(result_.simulatedTime, result_.finished);
    judgeEnd();
    return result_;
  }

 private:
  // One control cycle; false when the run ends with it.
  bool step(int cycle, double time, std::uint64_t& pausedMicroseconds) {
    const int leg = static_cast<int>(follower_.legIndex());
    // A leg begins with a turn on the spot, whatever state the controller ended the last one in.
    const Phase phase = legBegins_ ? Phase::FirstTurn : phaseOfStep(follower_.controller().step);
    const common::Pose2D pose = vehicle_.pose();
    const double clearance = guard_.measure(time, pose);
    result_.minClearance = std::min(result_.minClearance, clearance);
    // The controller hands out the command it stored in the cycle before; the follower sends it,
    // except on the cycle that ends a leg, where it sends the stop.
    const geometry_msgs::msg::Twist handedOut = follower_.controller().cmdVel;
    geometry_msgs::msg::Twist sent;
    const common::Pose2D measured = vehicle_.measuredPose();
    const trelvo::RouteEvent event = follower_.cycle(common::stampedPose(measured), sent);
    const std::uint64_t pause = takePause();
    result_.finished = event == trelvo::RouteEvent::RouteFinished;
    legBegins_ = event == trelvo::RouteEvent::LegReached;
    result_.cycles = cycle + 1;
    result_.simulatedTime = time;
    const trelvo::VelocityCommand command{sent.linear.x, sent.angular.z};
    const trelvo::ClearanceDecision decision =
        guard_.decide(time, pose, measured, follower_, command);

    CycleRecord record = recordOf(time, pose, phase, leg, handedOut);
    record.action = decision.action;
    record.clearance = clearance;
    phases_.cycle(leg, phase, time, record.crossTrack, record.headingError);
    if (hooks_.onCycle) {
      hooks_.onCycle(record);
    }
    if (clearance <= 0.0) {
      result_.outcome = Outcome::Contact;
      result_.contactTime = time;
      return false;
    }
    if (!withinLimit(handedOut.linear.x) || !withinLimit(handedOut.angular.z)) {
      result_.outcome = Outcome::BadCommand;
      result_.badCommand = fmt::format("linear.x {} angular.z {} at {:.3f} s", handedOut.linear.x,
                                       handedOut.angular.z, time);
      return false;
    }
    countWaiting(decision.action, command, settings_.period + pause * 1e-6);
    // While the call blocked its host, the vehicle went on under the command it had.
    if (pause > 0) {
      vehicle_.driveOn(pause * 1e-6);
      pausedMicroseconds += pause;
    }
    if (!result_.finished) {
      const trelvo::VelocityCommand allowed = trelvo::limitCommand(decision, command);
      vehicle_.apply(allowed.speed, allowed.turnRate, settings_.period);
    }
    phases_.moved(common::distanceBetween(pose, vehicle_.pose()));
    return !result_.finished;
  }

  // Standing for an obstacle is a command that would have moved the vehicle and was stopped; a
  // wait lasts from the first such cycle to the first that drives again. Cycles that command no
  // move neither begin nor end a wait.
  void countWaiting(trelvo::ClearanceAction action, const trelvo::VelocityCommand& command,
                    double duration) {
    if (command.speed == 0.0 && command.turnRate == 0.0) {
      return;
    }
    const bool waiting = action == trelvo::ClearanceAction::Stop;
    result_.waits += waiting && !waiting_ ? 1 : 0;
    waiting_ = waiting;
    result_.waitTime += waiting ? duration : 0.0;
    result_.slowTime += action == trelvo::ClearanceAction::Slow ? duration : 0.0;
  }

  CycleRecord recordOf(double time, const common::Pose2D& pose, Phase phase, int leg,
                       const geometry_msgs::msg::Twist& cmd) const {
    const Controller& controller = follower_.controller();
    const bool lineMoveGoesOn =
        phase == Phase::LineMove && controller.step == Controller::kLineMove;
    const trelvo::Leg& line = legs_[std::min<std::size_t>(leg, legs_.size() - 1)];
    return {time,
            pose,
            phase,
            leg,
            cmd.linear.x,
            cmd.angular.z,
            lineMoveGoesOn,
            controller.targetPoint.x,
            controller.targetPoint.y,
            common::wrapAngle(pose.heading - targetHeading(phase, leg)),
            common::crossTrackError(pose, line.start, line.end),
            trelvo::ClearanceAction::Go,
            0.0};
  }

  // The heading each phase steers for: along the leg's line while turning towards it and driving
  // it; in the final turn the next leg's direction, or the goal heading on the last leg.
  double targetHeading(Phase phase, int leg) const {
    if (phase != Phase::FinalTurn) {
      return lineDirection(legs_[leg]);
    }
    return leg + 1 == static_cast<int>(legs_.size()) ? scenario_.goal.heading
                                                     : legs_[leg].end.heading;
  }

  void judgeEnd() {
    const common::Pose2D& end = vehicle_.pose();
    result_.positionError = common::distanceBetween(end, scenario_.goal);
    result_.headingError = common::wrapAngle(end.heading - scenario_.goal.heading);
    result_.phases = phases_.phases();
    result_.blockedAtEnd = waiting_ && !result_.finished;
    if (result_.outcome != Outcome::BadCommand && result_.finished) {
      const bool within = result_.positionError <= settings_.positionTolerance &&
                          std::fabs(result_.headingError) <= settings_.headingTolerance;
      result_.outcome = within ? Outcome::Reached : Outcome::OutsideTolerance;
    }
  }

  const Scenario& scenario_;
  const RunSettings& settings_;
  const RunHooks& hooks_;
  const std::vector<trelvo::Leg> legs_;
  trelvo::RouteFollower follower_;
  common::Vehicle vehicle_;
  ClearanceGuard guard_;
  PhaseTracker phases_;
  bool legBegins_ = false;
  bool waiting_ = false;  // stood for an obstacle in the latest cycle that commanded a move
  RunResult result_;
};

}  // namespace

const char* outcomeKey(Outcome outcome) {
  switch (outcome) {
    case Outcome::Reached:
      return "reached";
    case Outcome::OutsideTolerance:
      return "outside_tolerance";
    case Outcome::TimeLimit:
      return "time_limit";
    case Outcome::BadCommand:
      return "bad_command";
    case Outcome::Contact:
      break;
  }
  return "contact";
}

RunResult runScenario(const Scenario& scenario, const RunSettings& settings,
                      const RunHooks& hooks) {
  return RunLoop(scenario, settings, hooks).run();
}

}  // namespace sim
