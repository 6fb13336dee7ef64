#pragma once

// The fields of a suite file that set the obstacles, the vehicle's footprint, its laser and the
// clearance check:
//
//   footprint: {radius: 0.3}  or  {polygon: [[x, y], ...], radius: 0.02}
//   laser: {range: 10, field_of_view: 270, resolution: 0.5, rate: 20, noise: 0.01,
//           mount: [x, y, heading in degrees]}
//   clearance: {stop_margin, deceleration, slowdown_distance, slowdown_ratio,
//               time_before_collision, min_points}
//   obstacles:
//     - {shape: circle, at: [x, y], radius: 0.25}
//     - {shape: box, at: [x, y, heading in degrees], size: [length, width]}
//     and, for one that walks: to: [x, y], speed: m/s, from: s into the run

#include <vector>

#include "sim/scenarios/part_reader.hpp"
#include "sim/world/laser.hpp"
#include "sim/world/obstacle.hpp"
#include "trelvo/clearance.hpp"

namespace sim {

void applyFootprint(const PartReader& in, const YAML::Node& group, trelvo::Footprint& footprint);
void applyLaser(const PartReader& in, const YAML::Node& group, LaserSettings& laser);
void applyClearance(const PartReader& in, const YAML::Node& group,
                    trelvo::ClearanceSettings& clearance);
std::vector<Obstacle> readObstacles(const PartReader& in, const YAML::Node& list);

}  // namespace sim
