#pragma once

// Batch mode's scenarios and runs: random start and goal poses from one seed, each run
// repeatable on its own from the row that records it.

#include <cstdint>
#include <vector>

#include "sim/run/run.hpp"
#include "sim/run/run_settings.hpp"

namespace sim {

struct BatchSettings {
  int count;
  double radius;  // m: start and goal lie within this distance of the origin
  std::uint64_t seed;
  int obstacles = 0;  // random obstacles in each scenario
};

struct BatchRun {
  int index;
  Scenario scenario;
  double startHeadingDegrees;  // the headings as drawn, exact for replaying with --start/--goal
  double goalHeadingDegrees;
  RunResult result;
};

/// `settings.count` scenarios: start and goal uniform over the disc of `settings.radius` around
/// the origin, headings uniform in [-180, 180) degrees, each with a noise seed of its own and
/// `settings.obstacles` random obstacles kept clear by `reach` (m) of start and goal. The same
/// seed gives the same scenarios.
std::vector<BatchRun> drawScenarios(const BatchSettings& settings, double reach = 0.0);

}  // namespace sim
