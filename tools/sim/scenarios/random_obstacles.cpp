#include "sim/scenarios/random_obstacles.hpp"

#include <algorithm>
#include <cmath>

namespace sim {
namespace {

// Sizes (m) and speeds (m/s) of what stands and walks in an aisle: from a box to a pallet, a
// person, walking slowly to briskly.
constexpr double kSmallest = 0.1;
constexpr double kLargest = 1.2;
constexpr double kPersonRadius = 0.25;
constexpr double kSlowest = 0.3;
constexpr double kFastest = 1.5;
constexpr double kLatestCrossing = 30.0;  // s into the run
// Room (m) left between an obstacle and the vehicle standing at the start or the goal.
constexpr double kRoomAtTheEnds = 0.1;
constexpr int kTriesPerObstacle = 100;

double uniform(std::mt19937_64& random, double low, double high) {
  return std::uniform_real_distribution<double>(low, high)(random);
}

Obstacle drawStanding(std::mt19937_64& random, const common::Pose2D& along, double side) {
  Obstacle obstacle;
  const Point2D centre{along.x - side * std::sin(along.heading),
                       along.y + side * std::cos(along.heading)};
  obstacle.at = {centre.x, centre.y, uniform(random, -M_PI, M_PI)};
  if (uniform(random, 0.0, 1.0) < 0.5) {
    obstacle.shape = ObstacleShape::Circle;
    obstacle.radius = uniform(random, kSmallest, kLargest) / 2;
  } else {
    obstacle.shape = ObstacleShape::Box;
    obstacle.length = uniform(random, kSmallest, kLargest);
    obstacle.width = uniform(random, kSmallest, kLargest);
  }
  return obstacle;
}

Obstacle drawWalker(std::mt19937_64& random, const common::Pose2D& along) {
  const double side = uniform(random, 0.0, 1.0) < 0.5 ? -1.0 : 1.0;
  const double nx = -std::sin(along.heading) * side * kWalkerStart;
  const double ny = std::cos(along.heading) * side * kWalkerStart;
  Obstacle walker;
  walker.radius = kPersonRadius;
  walker.at = {along.x + nx, along.y + ny, 0.0};
  walker.walk = Walk{{along.x - nx, along.y - ny},
                     uniform(random, kSlowest, kFastest),
                     uniform(random, 0.0, kLatestCrossing)};
  return walker;
}

// Clear of the vehicle turning on the spot at `end`, where it starts or its walk ends.
bool clearOf(const Obstacle& obstacle, const common::Pose2D& end, double reach) {
  const Outline sweep{{{end.x, end.y}}, reach + kRoomAtTheEnds};
  const Point2D from{obstacle.at.x, obstacle.at.y};
  if (gapBetween(outlineAt(obstacle, from), sweep) <= 0.0) {
    return false;
  }
  return !obstacle.walk || gapBetween(outlineAt(obstacle, obstacle.walk->to), sweep) > 0.0;
}

}  // namespace

double reachOf(const trelvo::Footprint& footprint) {
  double reach = 0.0;
  for (const Point2D& p : footprint.polygon) {
    reach = std::max(reach, std::hypot(p.x, p.y));
  }
  return reach + footprint.radius;
}

std::vector<Obstacle> drawObstacles(std::mt19937_64& random, const Scenario& scenario, int count,
                                    double reach) {
  const common::Pose2D& start = scenario.start;
  const common::Pose2D& goal = scenario.goal;
  const double heading = std::atan2(goal.y - start.y, goal.x - start.x);
  std::vector<Obstacle> obstacles;
  for (int i = 0; i < count; ++i) {
    for (int attempt = 0; attempt < kTriesPerObstacle; ++attempt) {
      const double share = uniform(random, 0.0, 1.0);
      const common::Pose2D along{start.x + share * (goal.x - start.x),
                                 start.y + share * (goal.y - start.y), heading};
      // One in three walks across; of the rest, half stand on the line and half beside it.
      const double kind = uniform(random, 0.0, 3.0);
      const Obstacle obstacle =
          kind < 1.0
              ? drawWalker(random, along)
              : drawStanding(random, along,
                             kind < 2.0 ? 0.0 : uniform(random, -kBesideTheLine, kBesideTheLine));
      if (clearOf(obstacle, start, reach) && clearOf(obstacle, goal, reach)) {
        obstacles.push_back(obstacle);
        break;
      }
    }
  }
  return obstacles;
}

}  // namespace sim
