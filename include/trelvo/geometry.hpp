#pragma once

// Plane geometry toolbox for hosts: points, segments with cached derived values, distances and
// direction angles, point-to-segment projection, segment intersection, nearest-element searches
// over the object's own lists, and vehicle-sized rectangles placed from poses.
//
// Degenerate input follows IEEE arithmetic; nothing reports an error. NaN coordinates make every
// boolean test false. Angles are radians.

#include <map>
#include <utility>
#include <vector>

#include <tf2/LinearMath/Vector3.h>
#include <geometry_msgs/msg/pose_stamped.hpp>

#include "trelvo/export.hpp"

/// A point or a displacement in the plane. Holds exactly two doubles, so a sequence of them is a
/// contiguous array of x, y pairs.
struct VECTOR2D {
  double x = 0.0;
  double y = 0.0;
};
static_assert(sizeof(VECTOR2D) == 2 * sizeof(double), "VECTOR2D arrays are plain x, y pairs");

class TRELVO_API Geometry {
 public:
  using PoseStamped = geometry_msgs::msg::PoseStamped;

  /// A segment start -> end with values derived from its points. gradient, length and
  /// lengthSquared must agree with start and end as getLineSegment computes them: the projections
  /// read the cached lengthSquared and treat a zero there as a single point. A bounding box uses
  /// only start (minimum corner) and end (maximum corner).
  struct LineSegment {
    VECTOR2D start;
    VECTOR2D end;
    double gradient = 0.0;       // direction angle start -> end, as getGradient gives it
    double length = 0.0;         // |end - start|
    double lengthSquared = 0.0;  // |end - start|^2
    double distance = 0.0;       // distance to the latest query point, set by the projection
  };

  Geometry() = default;
  /// Copying or moving takes over the lists only: the indexes of the target start empty (their
  /// entries would point into the source's lists), and a move empties the source's indexes too.
  Geometry(const Geometry& other);
  Geometry(Geometry&& other) noexcept;
  Geometry& operator=(const Geometry& other);
  Geometry& operator=(Geometry&& other) noexcept;

  // ---- Primitives: they read only their arguments ---------------------------------------------

  /// a.x * b.y - b.x * a.y; positive when b lies counter-clockwise of a.
  double crossProduct(VECTOR2D& a, VECTOR2D& b);
  /// a.x * b.x + a.y * b.y.
  double dotProduct(VECTOR2D& a, VECTOR2D& b);
  /// sqrt((a.x - b.x)^2 + (a.y - b.y)^2).
  double getDistance(VECTOR2D& a, VECTOR2D& b);
  /// (a.x - b.x)^2 + (a.y - b.y)^2.
  double getDistanceSquared(VECTOR2D& a, VECTOR2D& b);
  /// Direction angle from -> to in (-pi, pi]: atan2(dy, dx), except that equal points give 0 and
  /// a direction along the negative x axis gives +pi whatever the sign of a zero dy.
  double getGradient(VECTOR2D& from, VECTOR2D& to);
  /// One wrap step: above pi minus 2 pi, below -pi plus 2 pi; +-pi stay. An angle more than one
  /// turn out stays out of (-pi, pi].
  double correctAngle(double angle);
  /// Segment from -> to with gradient, length and lengthSquared filled; distance left at 0.
  LineSegment getLineSegment(VECTOR2D& from, VECTOR2D& to);

  /// Squared distance from point to the segment. The nearest point is start + t * (end - start)
  /// with t = ((point - start) . (end - start)) / lengthSquared, start for t < 0 and
  /// start + (end - start) for t > 1. A cached lengthSquared of exactly 0 measures to start.
  double getMinimumDistancePointToLineSquared(LineSegment& segment, VECTOR2D& point);
  /// Square root of the above, also stored in segment.distance.
  double getMinimumDistancePointToLine(LineSegment& segment, VECTOR2D& point);
  /// The connecting segment: point -> nearest point of the segment, or, for a cached
  /// lengthSquared of exactly 0, segment.end -> point (the opposite direction).
  LineSegment getMinimumDistanceLine(LineSegment& segment, VECTOR2D& point);

  /// Axis-aligned box of the segment: start = (min x, min y), end = (max x, max y); the other
  /// members are 0.
  LineSegment getBoundingBox(LineSegment& segment);
  /// True when the boxes overlap or touch (all four edge comparisons inclusive).
  bool doBoundingBoxesIntersect(LineSegment& box1, LineSegment& box2);
  /// True when |cross(end - start, point - start)| < 1e-6: the infinite line, with a tolerance on
  /// the cross product, so it tightens as the segment grows.
  bool isPointOnLine(LineSegment& segment, VECTOR2D& point);
  /// True when cross(end - start, point - start) < 0: point lies clockwise of start -> end.
  bool isPointRightOfLine(LineSegment& segment, VECTOR2D& point);
  /// True when segment b touches or crosses the infinite line through a.
  bool lineSegmentTouchesOrCrossesLine(LineSegment& a, LineSegment& b);
  /// True when the segments touch, cross or overlap (bounding boxes first, then both line tests).
  bool doLinesIntersect(LineSegment& a, LineSegment& b);

  // ---- Searches over the lists ------------------------------------------------------------------

  /// The nearest element of points; ties go to the last in list order. Rebuilds
  /// pointsByDistance. A one-element list is returned at once with the index left empty. Points
  /// at a NaN distance are left out of the index; null when no point is left (or the list is
  /// empty).
  VECTOR2D* getNearestPoint(VECTOR2D& query);
  /// The nearest element of lineSegments, as getNearestPoint, with the distance of
  /// getMinimumDistancePointToLine, which also writes every segment's distance. A one-element
  /// list is returned at once, its distance untouched.
  LineSegment* getNearestLine(VECTOR2D& query);
  /// Index of the element of points at this address (identity, not coordinates), or -1. A
  /// one-element list answers 0 without comparing.
  int searchAPoint(VECTOR2D* candidate);
  /// The segment after current, the last one followed by the first (a closed chain). A
  /// one-element list answers its element without comparing; null for an empty list or an
  /// address that is not one of the list's elements.
  LineSegment* getNextLineSegment(LineSegment* current);

  // ---- Rectangles and circles -------------------------------------------------------------------

  /// Rectangle along the direction fromPose -> toPose (their orientations are ignored): centre
  /// half of frontExtension ahead of fromPose, frontMiddle the middle of the front edge
  /// (0.5 * rectLength + frontExtension ahead of the centre), sideMiddle the middle of the
  /// right-hand edge (0.5 * rectWidth to the right). Each output's incoming z is rotated with it
  /// (about z only, so it passes through) and no translation is added to it. Equal positions give
  /// NaN x and y.
  void generateRect(tf2::Vector3& frontMiddle, tf2::Vector3& sideMiddle, tf2::Vector3& centre,
                    const PoseStamped& fromPose, const PoseStamped& toPose, const float& rectLength,
                    const float& rectWidth, const float& frontExtension);
  /// Corners of a rectangle around the pose, counter-clockwise from the front left: local
  /// (+a, +b), (-a, +b), (-a, -b), (+a, -b) with a = 0.5 * rectLength, b = 0.5 * rectWidth,
  /// rotated by the full orientation (normalised) and moved by the pose's x and y. Each output's
  /// incoming z is rotated with it; the pose's z is not added. A zero quaternion gives NaN.
  void generateRect(tf2::Vector3& corner1, tf2::Vector3& corner2, tf2::Vector3& corner3,
                    tf2::Vector3& corner4, const PoseStamped& pose, float rectLength,
                    float rectWidth);
  /// True when point lies in the axis-aligned box spanned by corner1 and corner3 (bounds
  /// inclusive); corner2 and corner4 are ignored.
  bool checkInsideRectSimple(VECTOR2D& corner1, VECTOR2D& corner2, VECTOR2D& corner3,
                             VECTOR2D& corner4, VECTOR2D& point);
  /// Single precision sqrt((x2 - x1)^2 + (y2 - y1)^2).
  float distanceBetweenTwoPoints(float x1, float y1, float x2, float y2);
  /// Single precision distance from (px, py) to the infinite line through (x1, y1), (x2, y2):
  /// |(px (y2 - y1) + py (x1 - x2)) + (y1 x2 - y2 x1)| / sqrt((y2 - y1)^2 + (x1 - x2)^2).
  float distanceFromPointToLine(float px, float py, float x1, float y1, float x2, float y2);
  /// Circle (cx, cy, radius) against the rectangle with centre P and edge midpoints Q and R as the
  /// first generateRect gives them (Q and R may be swapped). Touching intersects. An axis P -> Q
  /// or P -> R with both coordinate differences below 1e-5 has no direction: the answer is false.
  bool isCircleIntersectRectangle(float cx, float cy, float radius, float Px, float Py, float Qx,
                                  float Qy, float Rx, float Ry);

  // ---- The object's state -----------------------------------------------------------------------

  std::vector<VECTOR2D> points;           // filled by the host
  std::vector<LineSegment> lineSegments;  // filled by the host, derived members filled
  /// Distance to the latest getNearestPoint query -> element of points, ascending.
  std::map<double, VECTOR2D*> pointsByDistance;
  /// Distance to the latest getNearestLine query -> element of lineSegments, ascending.
  std::map<double, LineSegment*> linesByDistance;

 private:
  // Each element's (distance, list position), sorted by distance so that an index is built in
  // key order, and the sort's working storage. Kept between searches to reuse their capacity.
  std::vector<std::pair<double, int>> distanceOrder;
  std::vector<std::pair<double, int>> distanceOrderScratch;
};
