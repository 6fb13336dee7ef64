#pragma once

#include <vector>

#include "rounded_hull.hpp"
#include "trelvo/clearance.hpp"

namespace trelvo {

/// The route ahead as the motions the vehicle makes, each at its distance along the route: turns
/// on the spot (the footprint rotating about the corner, taking no distance) and straight legs.
/// Motions that start beyond `reach` (m along the route) are left out.
class SweptRoute {
 public:
  SweptRoute(const RouteAhead& route, const VelocityCommand& command, double reach);

  /// How far along the route (m) `shape`, carried along it, first covers `p`; infinity when it
  /// does not within the reach.
  double contact(const RoundedHull& shape, Point2D p) const;

 private:
  // Drives `length` m from `start` along `heading`.
  struct Leg {
    Point2D start;
    double cos;
    double sin;
    double length;
    double along;
  };
  // Turns on the spot at `pivot` from `heading` by `angle` (rad, counter-clockwise positive); a
  // whole turn covers the full circle, for a turn of half a circle whose way round is not known.
  struct Turn {
    Point2D pivot;
    double cos;
    double sin;
    double angle;
    bool whole;
    double along;
  };

  void addLeg(Point2D start, double heading, double length, double along);
  void addTurn(Point2D pivot, double heading, double angle, double along);
  double legContact(const Leg& leg, const RoundedHull& shape, Point2D p) const;
  bool turnMeets(const Turn& turn, const RoundedHull& shape, Point2D p) const;

  double reach_;
  std::vector<Leg> legs_;
  std::vector<Turn> turns_;
};

}  // namespace trelvo
