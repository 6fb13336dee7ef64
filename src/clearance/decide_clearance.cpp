#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "rounded_hull.hpp"
#include "swept_route.hpp"
#include "trelvo/clearance.hpp"

namespace trelvo {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

bool isUsableLength(double metres) {
  return metres >= 0.0 && isWithinReach(metres);
}

bool isUsablePoint(Point2D p) {
  return isWithinReach(p.x) && isWithinReach(p.y);
}

// Coordinates nearer zero than this (m) are zero: the hull's products of them would underflow.
constexpr double kNearestNonZero = 1e-100;

double snapped(double coordinate) {
  return std::fabs(coordinate) < kNearestNonZero ? 0.0 : coordinate;
}

// The footprint's vertices; a round footprint is its radius about the base origin.
std::vector<Point2D> vertices(const Footprint& footprint) {
  std::vector<Point2D> result;
  for (const Point2D v : footprint.polygon) {
    result.push_back({snapped(v.x), snapped(v.y)});
  }
  if (result.empty()) {
    result.push_back({0.0, 0.0});
  }
  return result;
}

// A footprint of finite size with an area: a vehicle of no size would never be in doubt.
bool isUsable(const Footprint& footprint) {
  if (!isUsableLength(footprint.radius) ||
      !std::all_of(footprint.polygon.begin(), footprint.polygon.end(), isUsablePoint)) {
    return false;
  }
  return footprint.radius > 0.0 || area(convexHull(vertices(footprint))) > 0.0;
}

bool isUsable(const ClearanceSettings& settings) {
  return isUsableLength(settings.stop_margin) && settings.deceleration > 0.0 &&
         std::isfinite(settings.deceleration) && isUsableLength(settings.slowdown_distance) &&
         settings.slowdown_ratio >= 0.0 && settings.slowdown_ratio <= 1.0 &&
         settings.time_before_collision >= 0.0 && std::isfinite(settings.time_before_collision);
}

bool isUsable(const RouteAhead& route) {
  return std::all_of(route.corners.begin(), route.corners.end(), isUsablePoint) &&
         (!route.finalHeading || std::isfinite(*route.finalHeading));
}

// The points of one zone: how many, and the one the footprint meets first along the route.
struct ZoneCount {
  std::size_t points = 0;
  Point2D nearest{0.0, 0.0};
  double distance = kInfinity;

  void add(Point2D p, double along) {
    ++points;
    if (along < distance) {
      nearest = p;
      distance = along;
    }
  }
};

ClearanceDecision decided(ClearanceAction action, double speed, ClearanceZone zone,
                          const ZoneCount& count) {
  return {action, speed, zone, count.nearest, count.distance};
}

}  // namespace

ClearanceDecision decideClearance(const Footprint& footprint, const RouteAhead& route,
                                  const VelocityCommand& command,
                                  const std::vector<Point2D>& points,
                                  const ClearanceSettings& settings) {
  if (!isUsable(footprint) || !isUsable(settings) || !isUsable(route) ||
      !std::isfinite(command.speed) || !std::isfinite(command.turnRate)) {
    return {};
  }
  const double speed = std::fabs(command.speed);
  const std::size_t minPoints = std::max<std::size_t>(settings.min_points, 1);
  // v^2 / 2a in an order that cannot make inf / inf of a huge speed and deceleration.
  const double stopDistance = speed * (speed / settings.deceleration) / 2.0 + settings.stop_margin;
  // The approach zone binds only on contacts nearer than the command's speed travels in its time.
  const double approachDistance = speed * settings.time_before_collision;

  const RoundedHull padded(vertices(footprint), footprint.radius + settings.stop_margin);
  const RoundedHull bare(vertices(footprint), footprint.radius);
  const SweptRoute swept(route, command,
                         std::max({stopDistance, settings.slowdown_distance, approachDistance}));

  ZoneCount stop;
  ZoneCount slowdown;
  ZoneCount approach;
  std::vector<double> approachContacts;
  for (const Point2D p : points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
      continue;
    }
    const double stopContact = swept.contact(padded, p);
    if (stopContact <= stopDistance) {
      stop.add(p, stopContact);
    }
    const double contact = swept.contact(bare, p);
    if (contact <= settings.slowdown_distance) {
      slowdown.add(p, contact);
    }
    if (contact < approachDistance) {
      approach.add(p, contact);
      approachContacts.push_back(contact);
    }
  }

  if (stop.points >= minPoints) {
    return decided(ClearanceAction::Stop, 0.0, ClearanceZone::Stop, stop);
  }
  double slowSpeed = speed;
  ClearanceZone zone = ClearanceZone::None;
  const ZoneCount* reason = nullptr;
  if (slowdown.points >= minPoints && settings.slowdown_ratio * speed < slowSpeed) {
    slowSpeed = settings.slowdown_ratio * speed;
    zone = ClearanceZone::Slowdown;
    reason = &slowdown;
  }
  if (approach.points >= minPoints) {
    // The footprint holds min_points points once it reaches the min_points-th nearest contact.
    const auto nth = approachContacts.begin() + static_cast<std::ptrdiff_t>(minPoints - 1);
    std::nth_element(approachContacts.begin(), nth, approachContacts.end());
    const double approachSpeed = *nth / settings.time_before_collision;
    if (approachSpeed < slowSpeed) {
      slowSpeed = approachSpeed;
      zone = ClearanceZone::Approach;
      reason = &approach;
    }
  }
  if (reason == nullptr) {
    return {ClearanceAction::Go, speed, ClearanceZone::None, std::nullopt, kInfinity};
  }
  return decided(ClearanceAction::Slow, slowSpeed, zone, *reason);
}

VelocityCommand limitCommand(const ClearanceDecision& decision, const VelocityCommand& command) {
  if (decision.action == ClearanceAction::Stop || !std::isfinite(command.speed) ||
      !std::isfinite(command.turnRate)) {
    return {0.0, 0.0};
  }
  if (decision.action == ClearanceAction::Go || std::fabs(command.speed) <= decision.speed) {
    return command;
  }
  return {std::copysign(decision.speed, command.speed),
          command.turnRate * (decision.speed / std::fabs(command.speed))};
}

}  // namespace trelvo
