#pragma once

#include <optional>
#include <vector>

#include "trelvo/clearance.hpp"

namespace trelvo {

/// An interval of x (m), lower <= upper.
struct Span {
  double lower;
  double upper;
};

/// An arc of the circle about the origin through `from`, counter-clockwise from `from` to `to`
/// (both on the circle), at most half a turn.
struct Arc {
  Point2D from;
  Point2D to;
};

/// A footprint's shape: the convex hull of its vertices grown by a radius. A circle is one vertex
/// grown by its radius, a padded polygon its hull grown by the padding. Its boundary is made of
/// the hull's edges pushed out by the radius and of arcs about the vertices; every test below
/// works on those pieces and is exact up to kBoundarySlack, which it adds to the radius so that
/// rounding never lets a point on the boundary slip out.
class RoundedHull {
 public:
  static constexpr double kBoundarySlack = 1e-6;  // m

  RoundedHull(const std::vector<Point2D>& vertices, double radius);

  bool contains(Point2D p) const;
  /// Where the line y = `y` runs inside the shape; nullopt when it misses it.
  std::optional<Span> chord(double y) const;
  bool meets(const Arc& arc) const;
  /// The largest distance of the shape from the origin (m).
  double reach() const { return reach_; }

 private:
  struct Edge {
    Point2D from;
    Point2D to;
  };

  std::vector<Point2D> hull_;  // counter-clockwise
  std::vector<Edge> outline_;  // the hull's edges pushed out by the radius
  double radius_;
  double lowest_;   // the shape's least y
  double highest_;  // the shape's greatest y
  double reach_;
};

/// The convex hull of `points`, counter-clockwise, without repeated vertices; points on its edges
/// are kept. Points in one line give that line there and back.
std::vector<Point2D> convexHull(std::vector<Point2D> points);

/// The area (m^2) of a counter-clockwise polygon.
double area(const std::vector<Point2D>& hull);

}  // namespace trelvo
