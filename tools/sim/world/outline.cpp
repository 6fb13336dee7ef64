#include "sim/world/outline.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sim {
namespace {

struct Segment {
  Point2D a;
  Point2D b;
};

double cross(const Point2D& o, const Point2D& a, const Point2D& b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

double pointToSegment(const Point2D& p, const Segment& s) {
  const double dx = s.b.x - s.a.x;
  const double dy = s.b.y - s.a.y;
  const double lengthSquared = dx * dx + dy * dy;
  const double t =
      lengthSquared > 0.0
          ? std::clamp(((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / lengthSquared, 0.0, 1.0)
          : 0.0;
  return std::hypot(p.x - (s.a.x + t * dx), p.y - (s.a.y + t * dy));
}

bool crosses(const Segment& s, const Segment& t) {
  const double d1 = cross(s.a, s.b, t.a);
  const double d2 = cross(s.a, s.b, t.b);
  const double d3 = cross(t.a, t.b, s.a);
  const double d4 = cross(t.a, t.b, s.b);
  return ((d1 > 0.0 && d2 < 0.0) || (d1 < 0.0 && d2 > 0.0)) &&
         ((d3 > 0.0 && d4 < 0.0) || (d3 < 0.0 && d4 > 0.0));
}

double segmentToSegment(const Segment& s, const Segment& t) {
  if (crosses(s, t)) {
    return 0.0;
  }
  return std::min({pointToSegment(s.a, t), pointToSegment(s.b, t), pointToSegment(t.a, s),
                   pointToSegment(t.b, s)});
}

// The core's edges: a point is an edge of no length, a polygon's last edge closes it.
std::vector<Segment> edgesOf(const std::vector<Point2D>& core) {
  if (core.size() < 3) {
    return {{core.front(), core.back()}};
  }
  std::vector<Segment> edges;
  for (std::size_t i = 0; i < core.size(); ++i) {
    edges.push_back({core[i], core[(i + 1) % core.size()]});
  }
  return edges;
}

// Even-odd crossings of a ray towards +x; a core of fewer than three points holds no area.
bool encloses(const std::vector<Point2D>& core, const Point2D& p) {
  if (core.size() < 3) {
    return false;
  }
  bool inside = false;
  for (const Segment& e : edgesOf(core)) {
    if ((e.a.y > p.y) != (e.b.y > p.y) &&
        p.x < e.a.x + (p.y - e.a.y) * (e.b.x - e.a.x) / (e.b.y - e.a.y)) {
      inside = !inside;
    }
  }
  return inside;
}

double coreDistance(const Outline& a, const Outline& b) {
  if (encloses(a.core, b.core.front()) || encloses(b.core, a.core.front())) {
    return 0.0;
  }
  double nearest = std::numeric_limits<double>::infinity();
  for (const Segment& s : edgesOf(a.core)) {
    for (const Segment& t : edgesOf(b.core)) {
      nearest = std::min(nearest, segmentToSegment(s, t));
    }
  }
  return nearest;
}

std::optional<double> rayToCircle(const Point2D& centre, double radius, const Point2D& origin,
                                  const Point2D& direction) {
  const double ox = origin.x - centre.x;
  const double oy = origin.y - centre.y;
  const double along = ox * direction.x + oy * direction.y;
  const double c = ox * ox + oy * oy - radius * radius;
  if (c <= 0.0) {
    return 0.0;
  }
  const double discriminant = along * along - c;
  if (along >= 0.0 || discriminant < 0.0) {
    return std::nullopt;
  }
  return -along - std::sqrt(discriminant);
}

std::optional<double> rayToSegment(const Segment& s, const Point2D& origin,
                                   const Point2D& direction) {
  const Point2D edge{s.b.x - s.a.x, s.b.y - s.a.y};
  const double denominator = direction.x * edge.y - direction.y * edge.x;
  if (denominator == 0.0) {
    return std::nullopt;
  }
  const Point2D toStart{s.a.x - origin.x, s.a.y - origin.y};
  const double t = (toStart.x * edge.y - toStart.y * edge.x) / denominator;
  const double u = (toStart.x * direction.y - toStart.y * direction.x) / denominator;
  if (t < 0.0 || u < 0.0 || u > 1.0) {
    return std::nullopt;
  }
  return t;
}

}  // namespace

Outline placed(const Outline& outline, const common::Pose2D& pose) {
  const double c = std::cos(pose.heading);
  const double s = std::sin(pose.heading);
  Outline moved{{}, outline.radius};
  for (const Point2D& p : outline.core) {
    moved.core.push_back({pose.x + c * p.x - s * p.y, pose.y + s * p.x + c * p.y});
  }
  return moved;
}

Outline outlineOf(const trelvo::Footprint& footprint) {
  if (footprint.polygon.empty()) {
    return {{{0.0, 0.0}}, footprint.radius};
  }
  return {footprint.polygon, footprint.radius};
}

double gapBetween(const Outline& a, const Outline& b) {
  return coreDistance(a, b) - a.radius - b.radius;
}

std::optional<double> rayHit(const Outline& outline, const Point2D& origin,
                             const Point2D& direction) {
  if (outline.core.size() == 1) {
    return rayToCircle(outline.core.front(), outline.radius, origin, direction);
  }
  if (encloses(outline.core, origin)) {
    return 0.0;
  }
  std::optional<double> nearest;
  for (const Segment& edge : edgesOf(outline.core)) {
    const std::optional<double> hit = rayToSegment(edge, origin, direction);
    if (hit && (!nearest || *hit < *nearest)) {
      nearest = hit;
    }
  }
  return nearest;
}

}  // namespace sim
