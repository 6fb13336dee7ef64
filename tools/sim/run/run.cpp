#include "sim/run/run.hpp"

#include <cmath>
#include <cstdint>

#include <fmt/format.h>

#include "common/vehicle.hpp"
#include "sim/run/pause_clock.hpp"
#include "trelvo/controller.hpp"

namespace sim {
namespace {

geometry_msgs::msg::PoseStamped stampedPose(const common::Pose2D& pose) {
  geometry_msgs::msg::PoseStamped stamped;
  stamped.pose.position.x = pose.x;
  stamped.pose.position.y = pose.y;
  stamped.pose.orientation.z = std::sin(pose.heading / 2);
  stamped.pose.orientation.w = std::cos(pose.heading / 2);
  return stamped;
}

nav_msgs::msg::Path straightPath(const common::Pose2D& start, const common::Pose2D& goal) {
  nav_msgs::msg::Path path;
  path.poses.push_back(stampedPose(start));
  path.poses.push_back(stampedPose(goal));
  return path;
}

bool withinLimit(double value) {
  return std::isfinite(value) && std::fabs(value) <= kCommandLimit;
}

// The heading each phase steers for: along the path line while turning towards it and driving
// it, the goal heading in the final turn.
double targetHeading(Phase phase, const Scenario& scenario) {
  if (phase == Phase::FinalTurn) {
    return scenario.goal.heading;
  }
  return std::atan2(scenario.goal.y - scenario.start.y, scenario.goal.x - scenario.start.x);
}

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
      break;
  }
  return "bad_command";
}

RunResult runScenario(const Scenario& scenario, const RunSettings& settings,
                      const RunHooks& hooks) {
  Controller controller;
  controller.setStraightCB(straightPath(scenario.start, scenario.goal));
  common::Vehicle vehicle(settings.vehicle, scenario.vehicleStart.value_or(scenario.start),
                          scenario.noiseSeed);
  PhaseTracker phases(hooks.onPhaseEnd);
  RunResult result;

  // Time is counted in whole cycles and whole microseconds of pauses so that it does not drift
  // over a long run.
  std::uint64_t pausedMicroseconds = 0;
  for (int cycle = 0;; ++cycle) {
    const double time = cycle * settings.period + pausedMicroseconds * 1e-6;
    if (time > settings.timeLimit) {
      break;
    }
    const Phase phase = phaseOfStep(controller.step);
    const common::Pose2D pose = vehicle.pose();
    geometry_msgs::msg::Twist cmd;
    result.finished = controller.getVelocityCommands(stampedPose(vehicle.measuredPose()), cmd);
    const std::uint64_t pause = takePause();
    result.cycles = cycle + 1;
    result.simulatedTime = time;

    const bool lineMoveGoesOn =
        phase == Phase::LineMove && controller.step == Controller::kLineMove;
    const CycleRecord record{time,
                             pose,
                             phase,
                             cmd.linear.x,
                             cmd.angular.z,
                             lineMoveGoesOn,
                             controller.targetPoint.x,
                             controller.targetPoint.y,
                             common::wrapAngle(pose.heading - targetHeading(phase, scenario)),
                             common::crossTrackError(pose, scenario.start, scenario.goal)};
    phases.cycle(phase, time, record.crossTrack, record.headingError);
    if (hooks.onCycle) {
      hooks.onCycle(record);
    }
    if (!withinLimit(cmd.linear.x) || !withinLimit(cmd.angular.z)) {
      result.outcome = Outcome::BadCommand;
      result.badCommand =
          fmt::format("linear.x {} angular.z {} at {:.3f} s", cmd.linear.x, cmd.angular.z, time);
      break;
    }
    // While the call blocked its host, the vehicle went on under the command it had.
    if (pause > 0) {
      vehicle.driveOn(pause * 1e-6);
      pausedMicroseconds += pause;
    }
    if (!result.finished) {
      vehicle.apply(cmd.linear.x, cmd.angular.z, settings.period);
    }
    phases.moved(common::distanceBetween(pose, vehicle.pose()));
    if (result.finished) {
      break;
    }
  }
  phases.finish(result.simulatedTime, result.finished);

  const common::Pose2D& end = vehicle.pose();
  result.positionError = common::distanceBetween(end, scenario.goal);
  result.headingError = common::wrapAngle(end.heading - scenario.goal.heading);
  result.phases = phases.phases();
  if (result.outcome != Outcome::BadCommand && result.finished) {
    const bool within = result.positionError <= settings.positionTolerance &&
                        std::fabs(result.headingError) <= settings.headingTolerance;
    result.outcome = within ? Outcome::Reached : Outcome::OutsideTolerance;
  }
  return result;
}

}  // namespace sim
