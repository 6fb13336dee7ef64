#pragma once

// Judges a suite scenario's run against its pass criteria, and keeps each measured figure.

#include <string>
#include <vector>

#include "sim/run/run.hpp"
#include "sim/scenarios/suite.hpp"

namespace sim {

/// A vehicle that moves less than this during the first turn turned on the spot.
inline constexpr double kOnTheSpotTravel = 0.01;  // m
/// ... and it must face along the line within this when the line move starts.
inline constexpr double kFacingTheLine = 10.0 * M_PI / 180.0;  // rad

/// One measured figure and whether it broke its criterion.
struct Measure {
  double value;  // NaN when the run gives no such figure
  bool failed = false;
};

struct Verdict {
  bool passed = true;
  Measure positionError;              // m, final distance to the goal point
  Measure headingError;               // deg, final heading minus goal heading
  Measure time;                       // s of simulated time to the last cycle
  Measure crossTrack;                 // m, largest of the line move
  Measure distanceRatio;              // travelled over straight-line distance to the goal
  Measure firstTurnTravel;            // m travelled during the first turn
  Measure lineStartOffset;            // deg off the line at the first cycle of the line move
  std::vector<std::string> failures;  // one phrase per broken criterion
};

Verdict judge(const SuiteScenario& scenario, const RunResult& result);

}  // namespace sim
