#pragma once

// A batch scenario's random obstacles: circles and boxes standing on the straight line from start
// to goal or beside it, and people walking across it at random times. None is put where the
// vehicle stands or turns at the start or the goal, so a run never starts in contact.

#include <random>
#include <vector>

#include "sim/run/run_settings.hpp"

namespace sim {

/// How far (m) beside the line a standing obstacle may be drawn.
inline constexpr double kBesideTheLine = 1.5;
/// A walker starts and ends this far (m) to either side of the line.
inline constexpr double kWalkerStart = 2.5;

/// `count` obstacles for the route of `scenario`, clear by `reach` (m, the farthest point of the
/// footprint from the vehicle's centre) of the start and the goal.
std::vector<Obstacle> drawObstacles(std::mt19937_64& random, const Scenario& scenario, int count,
                                    double reach);

/// The farthest point (m) of a footprint from the vehicle's centre.
double reachOf(const trelvo::Footprint& footprint);

}  // namespace sim
