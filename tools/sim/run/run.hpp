#pragma once

// One closed-loop run: the simulator plays the navigation host of a Controller, driven leg by leg
// through the route unit (trelvo::RouteFollower). It hands the follower the route (start -> goal,
// or the waypoints), then once per control period gives it the vehicle's measured pose, applies
// the command it sends for one period, and stops on the cycle that finishes the route's last leg,
// or at the time limit.

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "common/pose.hpp"
#include "sim/run/phase_tracker.hpp"
#include "sim/run/run_settings.hpp"
#include "trelvo/clearance.hpp"

namespace sim {

/// The controller's commands must stay finite and within this bound (m/s and rad/s).
inline constexpr double kCommandLimit = 0.5;

/// What happened in one control cycle, as the CSV trace records it.
struct CycleRecord {
  double time;                     // s since the start of the run
  common::Pose2D pose;             // the true pose at that time
  Phase phase;                     // the state the controller acted in during this cycle
  int leg;                         // the route's leg driven in this cycle, from 0
  double v;                        // forward speed handed out, m/s
  double w;                        // turn rate handed out, rad/s
  bool hasLookAhead;               // the controller published a look-ahead point in this cycle
  double lookAheadX;               // m
  double lookAheadY;               // m
  double headingError;             // rad, heading minus the phase's target heading, wrapped
  double crossTrack;               // m, signed distance from the leg's line, positive to the left
  trelvo::ClearanceAction action;  // what the clearance check made of the command sent
  double clearance;  // m, the footprint's smallest gap to an obstacle; infinity without any
};

enum class Outcome {
  Reached,           // finished within the position and heading tolerances
  OutsideTolerance,  // finished, but too far from the goal pose
  TimeLimit,         // not finished within the time limit
  BadCommand,        // a handed-out command was non-finite or beyond the limit
  Contact,           // the vehicle's footprint touched an obstacle
};

/// "reached", "outside_tolerance", "time_limit", "bad_command", "contact".
const char* outcomeKey(Outcome outcome);

struct RunResult {
  Outcome outcome = Outcome::TimeLimit;
  bool finished = false;  // the controller reported the route's last leg finished
  int cycles = 0;
  double simulatedTime = 0.0;  // s, at the last cycle
  double positionError = 0.0;  // m, final distance to the goal point
  double headingError = 0.0;   // rad, final heading minus goal heading, wrapped
  std::vector<PhaseStats> phases;
  std::string badCommand;  // the offending command, for BadCommand
  // Obstacles: the smallest gap between footprint and obstacle over the run (infinity without
  // any); how often and how long the vehicle stood for one (a command it was not allowed to
  // drive), how long it drove slowed, and whether it stood for one at the end.
  double minClearance = std::numeric_limits<double>::infinity();
  int waits = 0;
  double waitTime = 0.0;  // s
  double slowTime = 0.0;  // s
  bool blockedAtEnd = false;
  double contactTime = 0.0;  // s, for Contact
};

inline bool succeeded(const RunResult& result) {
  return result.outcome == Outcome::Reached;
}

struct RunHooks {
  std::function<void(const CycleRecord&)> onCycle;
  std::function<void(const PhaseStats&)> onPhaseEnd;
};

RunResult runScenario(const Scenario& scenario, const RunSettings& settings,
                      const RunHooks& hooks = {});

}  // namespace sim
