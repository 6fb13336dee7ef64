#pragma once

// Batch mode's scenarios and runs: random start and goal poses from one seed, each run
// repeatable on its own from the row that records it.

#include <cstdint>
#include <functional>
#include <vector>

#include "sim/run.hpp"
#include "sim/settings.hpp"

namespace sim {

struct BatchRun {
  int index;
  Scenario scenario;
  double startHeadingDegrees;  // the headings as drawn, exact for replaying with --start/--goal
  double goalHeadingDegrees;
  RunResult result;
};

/// `settings.count` scenarios: start and goal uniform over the disc of `settings.radius` around
/// the origin, headings uniform in [-180, 180) degrees, each with a noise seed of its own. The
/// same seed gives the same scenarios.
std::vector<BatchRun> drawScenarios(const BatchSettings& settings);

/// Runs every scenario in `jobs` worker processes, filling in its result; `onRunDone` is called
/// as each result arrives.
void runAll(std::vector<BatchRun>& runs, const RunSettings& settings, int jobs,
            const std::function<void()>& onRunDone);

}  // namespace sim
