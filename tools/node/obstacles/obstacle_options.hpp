#pragma once

// The obstacle sources and the vehicle's outline on the command line: off unless a source is
// named.

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace node {

struct ObstacleOptions {
  std::vector<std::string> scanTopics;  // sensor_msgs/msg/LaserScan in; empty: obstacles off
  std::string footprint;                // Nav2's text: "[[x, y], ...]"; empty: robotRadius
  double robotRadius = 0.0;             // m, a round vehicle
  double sourceTimeout = 0.5;           // s a source may be silent before the vehicle stops
  double blockedTimeout = 10.0;         // s a goal may stand before an obstacle before it aborts
};

void addObstacleOptions(CLI::App& app, ObstacleOptions& options);

/// Refuses sources without an outline: throws std::invalid_argument.
void checkObstacleOptions(const ObstacleOptions& options);

}  // namespace node
