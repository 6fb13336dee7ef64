#pragma once

// A suite: named scenarios, each with its own vehicle, noise and pass criteria, kept in a YAML
// file and rerun whenever the library or the vehicle changes.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sim/run/run_settings.hpp"

namespace sim {

/// What a suite scenario must meet beyond reaching its goal pose within the tolerances and the
/// time limit of its RunSettings (or, with endsBlocked, instead of it).
struct PassCriteria {
  std::optional<double> maxCrossTrack;     // m, largest cross-track error of each leg's line move
  std::optional<double> maxDistanceRatio;  // travelled over the route's length (routeLength)
  bool firstTurnOnTheSpot = false;         // each leg's first turn faces its line without moving
  std::optional<double> minClearance = std::nullopt;  // m, never closer to an obstacle
  bool endsBlocked = false;  // instead of reaching the goal, stands for an obstacle at the end
  bool waits = false;        // stands for an obstacle at least once (and still reaches the goal)
  bool undisturbed = false;  // never slows down nor stands for an obstacle
};

struct SuiteScenario {
  std::string name;
  int line;  // where the scenario starts in its file
  Scenario scenario;
  RunSettings settings;
  PassCriteria criteria;
};

struct Suite {
  std::string name;  // the file name without its folder and extension
  std::vector<SuiteScenario> scenarios;
};

/// Reads a suite file. Throws UsageError with one line naming the file and line, the scenario
/// and the field at fault.
Suite readSuite(const std::filesystem::path& file);

}  // namespace sim
