#include "sim/scenarios/batch.hpp"

#include <cmath>
#include <random>

#include "sim/scenarios/random_obstacles.hpp"

namespace sim {
namespace {

struct PlanarDraw {
  double x;
  double y;
  double headingDegrees;
};

PlanarDraw drawPose(std::mt19937_64& random, double radius) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_real_distribution<double> degrees(-180.0, 180.0);
  // The square root spreads the points evenly over the disc rather than crowding its centre.
  const double r = radius * std::sqrt(unit(random));
  const double bearing = 2.0 * M_PI * unit(random);
  return {r * std::cos(bearing), r * std::sin(bearing), degrees(random)};
}

}  // namespace

std::vector<BatchRun> drawScenarios(const BatchSettings& settings, double reach) {
  std::mt19937_64 random(settings.seed);
  std::vector<BatchRun> runs;
  runs.reserve(settings.count);
  for (int i = 0; i < settings.count; ++i) {
    const PlanarDraw start = drawPose(random, settings.radius);
    const PlanarDraw goal = drawPose(random, settings.radius);
    const std::uint64_t noiseSeed = random();
    Scenario scenario{{start.x, start.y, common::toRadians(start.headingDegrees)},
                      {goal.x, goal.y, common::toRadians(goal.headingDegrees)},
                      noiseSeed};
    scenario.obstacles = drawObstacles(random, scenario, settings.obstacles, reach);
    runs.push_back({i, scenario, start.headingDegrees, goal.headingDegrees, RunResult{}});
  }
  return runs;
}

}  // namespace sim
