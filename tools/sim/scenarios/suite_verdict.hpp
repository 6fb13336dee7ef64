#pragma once

// Judges a suite scenario's run against its pass criteria, and keeps each measured figure. The
// criteria of a line move and a first turn hold for every leg of the route, and a route shows its
// worst leg's figures; the end's hold for the route's end. A reason that belongs to one leg of
// several names it ("leg 2 of 3: ..."). A scenario that expects to end blocked passes where the
// time limit finds the vehicle standing for an obstacle, untouched.

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
  Measure crossTrack;                 // m, largest of any leg's line move
  Measure distanceRatio;              // travelled over the route's length (routeLength)
  Measure firstTurnTravel;            // m travelled during a leg's first turn, the most
  Measure lineStartOffset;            // deg off the line at the first cycle of a leg's line
                                      // move, the furthest
  Measure clearance;                  // m, the footprint's smallest gap to an obstacle
  Measure waited;                     // s stood for obstacles
  std::vector<std::string> failures;  // one phrase per broken criterion
};

Verdict judge(const SuiteScenario& scenario, const RunResult& result);

}  // namespace sim
