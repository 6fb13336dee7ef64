#include <algorithm>
#include <cmath>

#include "angle_constants.hpp"
#include "trelvo/geometry.hpp"

namespace {

// Bound on |cross product| (length x distance from the line, so an area) for a point on a line.
constexpr double kOnLineCrossTolerance = 0.000001;

VECTOR2D difference(const VECTOR2D& a, const VECTOR2D& b) {
  return {a.x - b.x, a.y - b.y};
}

// Nearest point of the segment to p, from the cached lengthSquared (which must not be 0).
VECTOR2D nearestPointOnSegment(const Geometry::LineSegment& segment, const VECTOR2D& p) {
  const VECTOR2D& s = segment.start;
  const VECTOR2D d = difference(segment.end, s);
  const double t = ((p.x - s.x) * d.x + (p.y - s.y) * d.y) / segment.lengthSquared;
  if (t > 1) {
    return {s.x + d.x, s.y + d.y};
  }
  if (t < 0) {
    return s;
  }
  return {s.x + t * d.x, s.y + t * d.y};
}

}  // namespace

double Geometry::crossProduct(VECTOR2D& a, VECTOR2D& b) {
  return a.x * b.y - b.x * a.y;
}

double Geometry::dotProduct(VECTOR2D& a, VECTOR2D& b) {
  return a.x * b.x + a.y * b.y;
}

double Geometry::getDistance(VECTOR2D& a, VECTOR2D& b) {
  return std::sqrt(getDistanceSquared(a, b));
}

double Geometry::getDistanceSquared(VECTOR2D& a, VECTOR2D& b) {
  const double dx = a.x - b.x;
  const double dy = a.y - b.y;
  return dx * dx + dy * dy;
}

double Geometry::getGradient(VECTOR2D& from, VECTOR2D& to) {
  const double dx = to.x - from.x;
  const double dy = to.y - from.y;
  if (dx == 0) {
    if (dy > 0) {
      return kHalfPi;
    }
    if (dy < 0) {
      return -kHalfPi;
    }
    return 0.0;
  }
  const double theta = std::atan(dy / dx);
  if (dy == 0 && dx < 0) {
    return kPi;
  }
  if (dy > 0 && dx < 0) {
    return theta + kPi;
  }
  if (dy < 0 && dx < 0) {
    return theta - kPi;
  }
  return theta;
}

double Geometry::correctAngle(double angle) {
  if (angle > kPi) {
    return angle - kTwoPi;
  }
  if (angle < -kPi) {
    return angle + kTwoPi;
  }
  return angle;
}

Geometry::LineSegment Geometry::getLineSegment(VECTOR2D& from, VECTOR2D& to) {
  LineSegment segment;
  segment.start = from;
  segment.end = to;
  segment.gradient = getGradient(from, to);
  segment.length = getDistance(from, to);
  segment.lengthSquared = getDistanceSquared(from, to);
  return segment;
}

double Geometry::getMinimumDistancePointToLineSquared(LineSegment& segment, VECTOR2D& point) {
  if (segment.lengthSquared == 0) {
    return getDistanceSquared(segment.start, point);
  }
  VECTOR2D nearest = nearestPointOnSegment(segment, point);
  return getDistanceSquared(nearest, point);
}

double Geometry::getMinimumDistancePointToLine(LineSegment& segment, VECTOR2D& point) {
  segment.distance = std::sqrt(getMinimumDistancePointToLineSquared(segment, point));
  return segment.distance;
}

Geometry::LineSegment Geometry::getMinimumDistanceLine(LineSegment& segment, VECTOR2D& point) {
  if (segment.lengthSquared == 0) {
    return getLineSegment(segment.end, point);
  }
  VECTOR2D nearest = nearestPointOnSegment(segment, point);
  return getLineSegment(point, nearest);
}

Geometry::LineSegment Geometry::getBoundingBox(LineSegment& segment) {
  LineSegment box;
  box.start = {std::min(segment.start.x, segment.end.x), std::min(segment.start.y, segment.end.y)};
  box.end = {std::max(segment.start.x, segment.end.x), std::max(segment.start.y, segment.end.y)};
  return box;
}

bool Geometry::doBoundingBoxesIntersect(LineSegment& box1, LineSegment& box2) {
  return box2.end.x >= box1.start.x && box1.end.x >= box2.start.x && box2.end.y >= box1.start.y &&
         box1.end.y >= box2.start.y;
}

bool Geometry::isPointOnLine(LineSegment& segment, VECTOR2D& point) {
  VECTOR2D direction = difference(segment.end, segment.start);
  VECTOR2D offset = difference(point, segment.start);
  return std::fabs(crossProduct(direction, offset)) < kOnLineCrossTolerance;
}

bool Geometry::isPointRightOfLine(LineSegment& segment, VECTOR2D& point) {
  VECTOR2D direction = difference(segment.end, segment.start);
  VECTOR2D offset = difference(point, segment.start);
  return crossProduct(direction, offset) < 0;
}

bool Geometry::lineSegmentTouchesOrCrossesLine(LineSegment& a, LineSegment& b) {
  if (isPointOnLine(a, b.start) || isPointOnLine(a, b.end)) {
    return true;
  }
  const bool startRight = isPointRightOfLine(a, b.start);
  const bool endRight = isPointRightOfLine(a, b.end);
  return startRight != endRight;
}

bool Geometry::doLinesIntersect(LineSegment& a, LineSegment& b) {
  LineSegment boxA = getBoundingBox(a);
  LineSegment boxB = getBoundingBox(b);
  return doBoundingBoxesIntersect(boxA, boxB) && lineSegmentTouchesOrCrossesLine(a, b) &&
         lineSegmentTouchesOrCrossesLine(b, a);
}
