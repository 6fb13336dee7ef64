#pragma once

// The obstacles of a single run, the vehicle's footprint and its laser on the command line, and
// the random obstacles of a batch.

#include <string>
#include <vector>

#include "sim/run/run_settings.hpp"

namespace CLI {
class App;
}

namespace sim {

/// The values as the command line gives them.
struct GivenObstacles {
  std::vector<std::string> obstacles;  // --obstacle, one text each (sim/world/obstacle_text.hpp)
  std::vector<double> footprint;       // X,Y of each corner
  double footprintRadius = kDefaultFootprintRadius;
  double laserFieldOfViewDegrees = 270.0;
  double laserResolutionDegrees = 0.5;
  std::vector<double> laserMount;  // X,Y,DEG
  int randomObstacles = 0;         // per batch scenario
};

void addObstacleOptions(CLI::App& app, GivenObstacles& given, LaserSettings& laser);

/// Puts the given values into the scenario and the run's settings; throws UsageError for an
/// obstacle it cannot read, a footprint without area and options given where they do nothing.
void applyObstacleOptions(const CLI::App& app, const GivenObstacles& given, Scenario& scenario,
                          RunSettings& run);

}  // namespace sim
