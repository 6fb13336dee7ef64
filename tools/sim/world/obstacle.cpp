#include "sim/world/obstacle.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sim {
namespace {

Point2D centreOf(const Obstacle& obstacle, double walked) {
  const Point2D from{obstacle.at.x, obstacle.at.y};
  if (!obstacle.walk) {
    return from;
  }
  const Point2D& to = obstacle.walk->to;
  const double length = std::hypot(to.x - from.x, to.y - from.y);
  if (length == 0.0) {
    return from;
  }
  const double share = std::min(walked / length, 1.0);
  return {from.x + share * (to.x - from.x), from.y + share * (to.y - from.y)};
}

double reachOf(const Obstacle& obstacle) {
  return obstacle.shape == ObstacleShape::Circle ? obstacle.radius
                                                 : std::hypot(obstacle.length, obstacle.width) / 2;
}

}  // namespace

Outline outlineAt(const Obstacle& obstacle, const Point2D& centre) {
  if (obstacle.shape == ObstacleShape::Circle) {
    return {{centre}, obstacle.radius};
  }
  const double l = obstacle.length / 2;
  const double w = obstacle.width / 2;
  return placed({{{l, w}, {-l, w}, {-l, -w}, {l, -w}}, 0.0},
                {centre.x, centre.y, obstacle.at.heading});
}

ObstacleField::ObstacleField(std::vector<Obstacle> obstacles)
    : obstacles_(std::move(obstacles)), walked_(obstacles_.size(), 0.0) {
  for (const Obstacle& obstacle : obstacles_) {
    outlines_.push_back(outlineAt(obstacle, centreOf(obstacle, 0.0)));
  }
}

void ObstacleField::advance(double time, const Outline& vehicle) {
  for (std::size_t i = 0; i < obstacles_.size(); ++i) {
    const std::optional<Walk>& walk = obstacles_[i].walk;
    if (!walk || time <= walk->from) {
      continue;
    }
    const double step = walk->speed * (time - std::max(time_, walk->from));
    const Obstacle& obstacle = obstacles_[i];
    // The way ahead is swept by the walker's circumscribed circle, so that a walk that grazes a
    // corner of the vehicle halts too.
    const Outline ahead{{centreOf(obstacle, walked_[i]),
                         centreOf(obstacle, walked_[i] + step + kWalkerDistance)},
                        reachOf(obstacle)};
    if (gapBetween(ahead, vehicle) > 0.0) {
      walked_[i] += step;
      outlines_[i] = outlineAt(obstacle, centreOf(obstacle, walked_[i]));
    }
  }
  time_ = std::max(time_, time);
}

double ObstacleField::clearance(const Outline& vehicle) const {
  double smallest = std::numeric_limits<double>::infinity();
  for (const Outline& outline : outlines_) {
    smallest = std::min(smallest, gapBetween(vehicle, outline));
  }
  return smallest;
}

}  // namespace sim
