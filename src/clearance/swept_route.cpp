#include "swept_route.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trelvo {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// A turn this close to half a circle may go either way round.
constexpr double kEitherWayRound = M_PI - 1e-9;  // rad

// `p` seen from a frame at `origin` turned to the heading with this cosine and sine.
Point2D intoFrame(Point2D p, Point2D origin, double cos, double sin) {
  const double dx = p.x - origin.x;
  const double dy = p.y - origin.y;
  return {cos * dx + sin * dy, -sin * dx + cos * dy};
}

Point2D rotated(Point2D p, double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  return {c * p.x - s * p.y, s * p.x + c * p.y};
}

}  // namespace

SweptRoute::SweptRoute(const RouteAhead& route, const VelocityCommand& command, double reach)
    : reach_(reach) {
  const Point2D origin{0.0, 0.0};
  addTurn(origin, 0.0, 0.0, 0.0);  // the footprint where it stands
  if (route.corners.empty() && !route.finalHeading) {
    if (command.speed != 0.0) {
      addLeg(origin, command.speed > 0.0 ? 0.0 : M_PI, reach, 0.0);
    }
    if (command.turnRate != 0.0) {
      addTurn(origin, 0.0, M_PI, 0.0);
    }
    return;
  }
  Point2D position = origin;
  double heading = 0.0;
  double along = 0.0;
  for (const Point2D corner : route.corners) {
    if (along > reach) {
      return;
    }
    const double length = std::hypot(corner.x - position.x, corner.y - position.y);
    if (length == 0.0) {
      continue;
    }
    const double legHeading = std::atan2(corner.y - position.y, corner.x - position.x);
    addTurn(position, heading, std::remainder(legHeading - heading, 2 * M_PI), along);
    addLeg(position, legHeading, length, along);
    position = corner;
    heading = legHeading;
    along += length;
  }
  if (route.finalHeading && along <= reach) {
    addTurn(position, heading, std::remainder(*route.finalHeading - heading, 2 * M_PI), along);
  }
}

void SweptRoute::addLeg(Point2D start, double heading, double length, double along) {
  legs_.push_back({start, std::cos(heading), std::sin(heading), length, along});
}

void SweptRoute::addTurn(Point2D pivot, double heading, double angle, double along) {
  turns_.push_back({pivot, std::cos(heading), std::sin(heading), angle,
                    std::fabs(angle) >= kEitherWayRound, along});
}

double SweptRoute::contact(const RoundedHull& shape, Point2D p) const {
  double first = kInfinity;
  for (const Turn& turn : turns_) {
    if (turn.along < first && turnMeets(turn, shape, p)) {
      first = turn.along;
    }
  }
  for (const Leg& leg : legs_) {
    if (leg.along < first) {
      first = std::min(first, legContact(leg, shape, p));
    }
  }
  return first <= reach_ ? first : kInfinity;
}

double SweptRoute::legContact(const Leg& leg, const RoundedHull& shape, Point2D p) const {
  const Point2D q = intoFrame(p, leg.start, leg.cos, leg.sin);
  const std::optional<Span> chord = shape.chord(q.y);
  if (!chord) {
    return kInfinity;
  }
  // The footprint covers q while the vehicle is t along the leg with q.x - t within the chord.
  const double first = std::max(0.0, q.x - chord->upper);
  const double last = std::min(leg.length, q.x - chord->lower);
  return first <= last ? leg.along + first : kInfinity;
}

bool SweptRoute::turnMeets(const Turn& turn, const RoundedHull& shape, Point2D p) const {
  const Point2D q = intoFrame(p, turn.pivot, turn.cos, turn.sin);
  if (!(std::hypot(q.x, q.y) <= shape.reach())) {
    return false;
  }
  // Turned by phi, the footprint covers q when q turned back by phi lies in it: q's circle from
  // q back through the turn's angle must meet the footprint.
  if (turn.whole) {
    const Point2D opposite{-q.x, -q.y};
    return shape.meets({q, opposite}) || shape.meets({opposite, q});
  }
  const Point2D back = rotated(q, -turn.angle);
  return turn.angle >= 0.0 ? shape.meets({back, q}) : shape.meets({q, back});
}

}  // namespace trelvo
