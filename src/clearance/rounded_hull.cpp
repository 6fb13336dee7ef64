#include "rounded_hull.hpp"

#include <algorithm>
#include <cmath>

namespace trelvo {
namespace {

double cross(Point2D a, Point2D b) {
  return a.x * b.y - a.y * b.x;
}
double dot(Point2D a, Point2D b) {
  return a.x * b.x + a.y * b.y;
}
Point2D minus(Point2D a, Point2D b) {
  return {a.x - b.x, a.y - b.y};
}

// Whether `u`'s direction lies within the arc's angles (an arc of at most half a turn).
bool withinAngles(const Arc& arc, Point2D u) {
  const Point2D middle{arc.from.x + arc.to.x, arc.from.y + arc.to.y};
  return cross(arc.from, u) >= 0.0 && cross(u, arc.to) >= 0.0 && dot(u, middle) >= 0.0;
}

double squaredDistanceToSegment(Point2D p, Point2D a, Point2D b) {
  const Point2D d = minus(b, a);
  const Point2D ap = minus(p, a);
  const double length2 = dot(d, d);
  const double t = length2 > 0.0 ? std::clamp(dot(ap, d) / length2, 0.0, 1.0) : 0.0;
  const Point2D offset{ap.x - t * d.x, ap.y - t * d.y};
  return dot(offset, offset);
}

double distanceToArc(Point2D p, const Arc& arc) {
  if (withinAngles(arc, p)) {
    return std::fabs(std::hypot(p.x, p.y) - std::hypot(arc.from.x, arc.from.y));
  }
  return std::min(std::hypot(p.x - arc.from.x, p.y - arc.from.y),
                  std::hypot(p.x - arc.to.x, p.y - arc.to.y));
}

bool segmentCrossesArc(Point2D a, Point2D b, const Arc& arc) {
  const Point2D d = minus(b, a);
  const double length2 = dot(d, d);
  if (length2 == 0.0) {
    return false;
  }
  // |a + t d|^2 = rho^2, for t in [0, 1]
  const double half = dot(a, d);
  const double constant = dot(a, a) - dot(arc.from, arc.from);
  const double discriminant = half * half - length2 * constant;
  if (discriminant < 0.0) {
    return false;
  }
  const double root = std::sqrt(discriminant);
  for (const double t : {(-half - root) / length2, (-half + root) / length2}) {
    if (t >= 0.0 && t <= 1.0 && withinAngles(arc, {a.x + t * d.x, a.y + t * d.y})) {
      return true;
    }
  }
  return false;
}

// Adds to `span` where the segment a-b meets the line y = `y`.
void widenBySegment(Point2D a, Point2D b, double y, std::optional<Span>& span) {
  if ((a.y > y && b.y > y) || (a.y < y && b.y < y)) {
    return;
  }
  const auto widen = [&span](double x) {
    span = span ? Span{std::min(span->lower, x), std::max(span->upper, x)} : Span{x, x};
  };
  if (a.y == b.y) {
    widen(a.x);
    widen(b.x);
  } else {
    widen(a.x + (y - a.y) / (b.y - a.y) * (b.x - a.x));
  }
}

}  // namespace

std::vector<Point2D> convexHull(std::vector<Point2D> points) {
  const auto before = [](Point2D a, Point2D b) { return a.x < b.x || (a.x == b.x && a.y < b.y); };
  std::sort(points.begin(), points.end(), before);
  points.erase(std::unique(points.begin(), points.end(),
                           [](Point2D a, Point2D b) { return a.x == b.x && a.y == b.y; }),
               points.end());
  if (points.size() < 3) {
    return points;
  }
  // Andrew's monotone chain: the lower chain left to right, then the upper one back.
  std::vector<Point2D> hull(2 * points.size());
  std::size_t count = 0;
  // Points in line stay: a turn that underflows to zero must not drop a vertex of the footprint.
  const auto turnsLeft = [&hull, &count](Point2D p) {
    return cross(minus(hull[count - 1], hull[count - 2]), minus(p, hull[count - 2])) >= 0.0;
  };
  for (const Point2D p : points) {
    while (count >= 2 && !turnsLeft(p)) {
      --count;
    }
    hull[count++] = p;
  }
  const std::size_t lowerCount = count + 1;
  for (auto p = points.rbegin() + 1; p != points.rend(); ++p) {
    while (count >= lowerCount && !turnsLeft(*p)) {
      --count;
    }
    hull[count++] = *p;
  }
  hull.resize(count - 1);  // the last one repeats the first
  return hull;
}

RoundedHull::RoundedHull(const std::vector<Point2D>& vertices, double radius)
    : hull_(convexHull(vertices)), radius_(radius + kBoundarySlack) {
  lowest_ = highest_ = reach_ = 0.0;
  for (std::size_t i = 0; i < hull_.size(); ++i) {
    const Point2D v = hull_[i];
    lowest_ = i == 0 ? v.y : std::min(lowest_, v.y);
    highest_ = i == 0 ? v.y : std::max(highest_, v.y);
    reach_ = std::max(reach_, std::hypot(v.x, v.y));
  }
  lowest_ -= radius_;
  highest_ += radius_;
  reach_ += radius_;
  if (hull_.size() < 2) {
    return;
  }
  for (std::size_t i = 0; i < hull_.size(); ++i) {
    const Point2D a = hull_[i];
    const Point2D b = hull_[(i + 1) % hull_.size()];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    // Outward is to the right of a counter-clockwise edge.
    const Point2D out{(b.y - a.y) / length * radius_, -(b.x - a.x) / length * radius_};
    outline_.push_back({{a.x + out.x, a.y + out.y}, {b.x + out.x, b.y + out.y}});
  }
}

double area(const std::vector<Point2D>& hull) {
  double twice = 0.0;
  for (std::size_t i = 0; i < hull.size(); ++i) {
    twice += cross(hull[i], hull[(i + 1) % hull.size()]);
  }
  return twice / 2.0;
}

bool RoundedHull::contains(Point2D p) const {
  if (hull_.empty()) {
    return false;
  }
  const std::size_t n = hull_.size();
  bool insideHull = n >= 3;
  for (std::size_t i = 0; i < n && insideHull; ++i) {
    insideHull = cross(minus(hull_[(i + 1) % n], hull_[i]), minus(p, hull_[i])) >= 0.0;
  }
  if (insideHull) {
    return true;
  }
  const double radius2 = radius_ * radius_;
  for (std::size_t i = 0; i < n; ++i) {
    if (squaredDistanceToSegment(p, hull_[i], hull_[(i + 1) % n]) <= radius2) {
      return true;
    }
  }
  return false;
}

std::optional<Span> RoundedHull::chord(double y) const {
  std::optional<Span> span;
  if (y < lowest_ || y > highest_) {
    return span;
  }
  for (const Point2D v : hull_) {
    const double dy = y - v.y;
    const double across2 = radius_ * radius_ - dy * dy;
    if (across2 >= 0.0) {
      const double across = std::sqrt(across2);
      widenBySegment({v.x - across, y}, {v.x + across, y}, y, span);
    }
  }
  for (const Edge& edge : outline_) {
    widenBySegment(edge.from, edge.to, y, span);
  }
  return span;
}

bool RoundedHull::meets(const Arc& arc) const {
  if (contains(arc.from) || contains(arc.to)) {
    return true;
  }
  for (const Edge& edge : outline_) {
    if (segmentCrossesArc(edge.from, edge.to, arc)) {
      return true;
    }
  }
  for (const Point2D v : hull_) {
    if (distanceToArc(v, arc) <= radius_) {
      return true;
    }
  }
  return false;
}

}  // namespace trelvo
