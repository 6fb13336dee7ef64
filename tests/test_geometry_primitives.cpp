#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "trelvo/geometry.hpp"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class GeometryPrimitives : public ::testing::Test {
 protected:
  Geometry::LineSegment segment(VECTOR2D from, VECTOR2D to) {
    return geometry.getLineSegment(from, to);
  }
  double gradientTo(VECTOR2D to) {
    VECTOR2D origin{0, 0};
    return geometry.getGradient(origin, to);
  }
  bool intersect(Geometry::LineSegment a, Geometry::LineSegment b) {
    return geometry.doLinesIntersect(a, b);
  }

  Geometry geometry;
  // (0, 0) -> (10, 0), built with its cached values.
  Geometry::LineSegment xAxis = segment({0, 0}, {10, 0});
};

}  // namespace

TEST_F(GeometryPrimitives, CrossAndDotProducts) {
  VECTOR2D a{2, 3};
  VECTOR2D b{5, 7};
  EXPECT_EQ(geometry.crossProduct(a, b), -1.0);
  EXPECT_EQ(geometry.crossProduct(b, a), 1.0);  // a lies clockwise of b
  EXPECT_EQ(geometry.dotProduct(a, b), 31.0);
}

TEST_F(GeometryPrimitives, GradientAlongNegativeXIsPlusPiForEitherZero) {
  EXPECT_EQ(gradientTo({-1, 0}), kPi);
  EXPECT_EQ(gradientTo({-1, -0.0}), kPi);
}

TEST_F(GeometryPrimitives, GradientOfEqualPointsIsZeroWhateverTheSignsOfZero) {
  EXPECT_EQ(gradientTo({0, 0}), 0.0);
  EXPECT_EQ(gradientTo({-0.0, 0}), 0.0);  // atan2 would give +pi here
  EXPECT_EQ(gradientTo({-0.0, -0.0}), 0.0);
}

TEST_F(GeometryPrimitives, GradientOnTheYAxisAvoidsTheDivision) {
  EXPECT_EQ(gradientTo({0, -1}), -kHalfPi);
  EXPECT_EQ(gradientTo({0, 1}), kHalfPi);
}

TEST_F(GeometryPrimitives, GradientCoversAllFourQuadrants) {
  EXPECT_EQ(gradientTo({-1, -1}), std::atan2(-1.0, -1.0));  // -3 pi / 4
  EXPECT_EQ(gradientTo({-1, 1}), std::atan2(1.0, -1.0));
  EXPECT_EQ(gradientTo({1, -1}), std::atan(-1.0));
  EXPECT_EQ(gradientTo({3, 4}), std::atan(4.0 / 3.0));
}

TEST_F(GeometryPrimitives, CorrectAngleWrapsOnceAndKeepsPlusMinusPi) {
  EXPECT_EQ(geometry.correctAngle(4), 4 - kTwoPi);
  EXPECT_EQ(geometry.correctAngle(-4), -4 + kTwoPi);
  EXPECT_EQ(geometry.correctAngle(10), 10 - kTwoPi);
  EXPECT_GT(geometry.correctAngle(10), kPi);
  EXPECT_EQ(geometry.correctAngle(kPi), kPi);
  EXPECT_EQ(geometry.correctAngle(-kPi), -kPi);
}

TEST_F(GeometryPrimitives, LineSegmentCachesDirectionAndLengths) {
  const Geometry::LineSegment s = segment({1, 2}, {4, 6});
  EXPECT_EQ(s.start.x, 1.0);
  EXPECT_EQ(s.end.y, 6.0);
  EXPECT_EQ(s.gradient, std::atan(4.0 / 3.0));
  EXPECT_EQ(s.length, 5.0);
  EXPECT_EQ(s.lengthSquared, 25.0);
  EXPECT_EQ(s.distance, 0.0);
}

TEST_F(GeometryPrimitives, DistanceToSegmentProjectsInsideOrClampsToAnEnd) {
  struct Case {
    VECTOR2D point;
    double squared;
  };
  for (Case c : {Case{{5, 3}, 9}, Case{{-3, 4}, 25}, Case{{14, -2}, 20}}) {
    EXPECT_EQ(geometry.getMinimumDistancePointToLineSquared(xAxis, c.point), c.squared);
    EXPECT_EQ(geometry.getMinimumDistancePointToLine(xAxis, c.point), std::sqrt(c.squared));
    EXPECT_EQ(xAxis.distance, std::sqrt(c.squared));
  }
}

TEST_F(GeometryPrimitives, ProjectionReadsTheCachedSquaredLength) {
  Geometry::LineSegment stale = xAxis;
  stale.lengthSquared = 400;  // t = 140 / 400 puts the nearest point at (3.5, 0)
  VECTOR2D point{14, -2};
  EXPECT_EQ(geometry.getMinimumDistancePointToLineSquared(stale, point), 10.5 * 10.5 + 4);
}

TEST_F(GeometryPrimitives, ZeroCachedLengthMeasuresFromStartButConnectsFromEnd) {
  Geometry::LineSegment unfilled;
  unfilled.start = {1, 1};
  unfilled.end = {2, 2};
  VECTOR2D point{5, 6};
  EXPECT_EQ(geometry.getMinimumDistancePointToLineSquared(unfilled, point), 41.0);
  const Geometry::LineSegment link = geometry.getMinimumDistanceLine(unfilled, point);
  EXPECT_EQ(link.start.x, 2.0);
  EXPECT_EQ(link.start.y, 2.0);
  EXPECT_EQ(link.end.x, 5.0);
  EXPECT_EQ(link.end.y, 6.0);
}

TEST_F(GeometryPrimitives, SegmentOfEqualPointsIsASinglePoint) {
  Geometry::LineSegment dot = segment({2, 2}, {2, 2});
  VECTOR2D point{5, 6};
  EXPECT_EQ(geometry.getMinimumDistancePointToLineSquared(dot, point), 25.0);
  EXPECT_EQ(geometry.getMinimumDistancePointToLine(dot, point), 5.0);
  const Geometry::LineSegment link = geometry.getMinimumDistanceLine(dot, point);
  EXPECT_EQ(link.start.x, 2.0);
  EXPECT_EQ(link.end.y, 6.0);
  EXPECT_EQ(link.gradient, std::atan(4.0 / 3.0));
  EXPECT_EQ(link.length, 5.0);
  EXPECT_EQ(link.lengthSquared, 25.0);
}

TEST_F(GeometryPrimitives, MinimumDistanceLineRunsFromThePointToTheSegment) {
  VECTOR2D above{5, 3};
  const Geometry::LineSegment drop = geometry.getMinimumDistanceLine(xAxis, above);
  EXPECT_EQ(drop.start.x, 5.0);
  EXPECT_EQ(drop.start.y, 3.0);
  EXPECT_EQ(drop.end.x, 5.0);
  EXPECT_EQ(drop.end.y, 0.0);
  EXPECT_EQ(drop.gradient, -kHalfPi);
  EXPECT_EQ(drop.length, 3.0);
  EXPECT_EQ(drop.lengthSquared, 9.0);

  VECTOR2D behind{-3, 4};
  const Geometry::LineSegment toStart = geometry.getMinimumDistanceLine(xAxis, behind);
  EXPECT_EQ(toStart.end.x, 0.0);
  EXPECT_EQ(toStart.end.y, 0.0);
  EXPECT_EQ(toStart.length, 5.0);
}

TEST_F(GeometryPrimitives, BoundingBoxOrdersTheCorners) {
  Geometry::LineSegment s = segment({4, 1}, {1, 5});
  const Geometry::LineSegment box = geometry.getBoundingBox(s);
  EXPECT_EQ(box.start.x, 1.0);
  EXPECT_EQ(box.start.y, 1.0);
  EXPECT_EQ(box.end.x, 4.0);
  EXPECT_EQ(box.end.y, 5.0);
}

TEST_F(GeometryPrimitives, BoundingBoxesThatTouchIntersect) {
  Geometry::LineSegment box1 = segment({0, 0}, {2, 2});
  Geometry::LineSegment corner = segment({2, 2}, {3, 3});
  Geometry::LineSegment apartInX = segment({2.000001, 0}, {3, 2});
  Geometry::LineSegment apartInY = segment({0, -3}, {2, -0.000001});
  EXPECT_TRUE(geometry.doBoundingBoxesIntersect(box1, corner));
  EXPECT_TRUE(geometry.doBoundingBoxesIntersect(corner, box1));
  EXPECT_FALSE(geometry.doBoundingBoxesIntersect(box1, apartInX));
  EXPECT_FALSE(geometry.doBoundingBoxesIntersect(apartInX, box1));
  EXPECT_FALSE(geometry.doBoundingBoxesIntersect(box1, apartInY));
  EXPECT_FALSE(geometry.doBoundingBoxesIntersect(apartInY, box1));
}

TEST_F(GeometryPrimitives, PointOnLineToleratesACrossProductBelowOneMillionth) {
  for (VECTOR2D on : {VECTOR2D{5, 0}, VECTOR2D{20, 0}, VECTOR2D{5, 0.99e-7}}) {
    EXPECT_TRUE(geometry.isPointOnLine(xAxis, on)) << on.x << ", " << on.y;
  }
  VECTOR2D atTolerance{5, 0.0000001};  // cross product exactly 0.000001
  EXPECT_FALSE(geometry.isPointOnLine(xAxis, atTolerance));
}

TEST_F(GeometryPrimitives, PointRightOfLineIsStrictlyClockwise) {
  VECTOR2D below{5, -1};
  VECTOR2D above{5, 1};
  VECTOR2D on{5, 0};
  EXPECT_TRUE(geometry.isPointRightOfLine(xAxis, below));
  EXPECT_FALSE(geometry.isPointRightOfLine(xAxis, above));
  EXPECT_FALSE(geometry.isPointRightOfLine(xAxis, on));
}

TEST_F(GeometryPrimitives, SegmentTouchesOrCrossesTheInfiniteLine) {
  Geometry::LineSegment farCrossing = segment({11, -1}, {11, 1});
  Geometry::LineSegment farAbove = segment({11, 1}, {12, 2});
  Geometry::LineSegment endOnLine = segment({30, 5}, {30, 0});
  EXPECT_TRUE(geometry.lineSegmentTouchesOrCrossesLine(xAxis, farCrossing));
  EXPECT_FALSE(geometry.lineSegmentTouchesOrCrossesLine(xAxis, farAbove));
  EXPECT_TRUE(geometry.lineSegmentTouchesOrCrossesLine(xAxis, endOnLine));
}

TEST_F(GeometryPrimitives, LinesIntersectTable) {
  EXPECT_TRUE(intersect(xAxis, segment({5, -1}, {5, 1})));
  EXPECT_FALSE(intersect(xAxis, segment({5, 1}, {5, 2})));
  EXPECT_TRUE(intersect(xAxis, segment({10, 0}, {12, 3})));    // shared end point
  EXPECT_FALSE(intersect(xAxis, segment({11, -1}, {11, 1})));  // crosses the line only
  EXPECT_TRUE(intersect(xAxis, segment({2, 0}, {4, 0})));      // collinear overlap
  EXPECT_FALSE(intersect(xAxis, segment({20, 0}, {30, 0})));   // collinear apart
  EXPECT_TRUE(intersect(segment({0, 0}, {4, 4}), segment({0, 4}, {4, 0})));
  // The boxes overlap and b crosses a's line beyond (2, 2), but a does not reach b's line.
  EXPECT_FALSE(intersect(segment({0, 0}, {2, 2}), segment({1, 3}, {3, 1.5})));
  EXPECT_FALSE(intersect(segment({1, 3}, {3, 1.5}), segment({0, 0}, {2, 2})));
}

TEST_F(GeometryPrimitives, NaNCoordinatesMakeEveryTestFalse) {
  VECTOR2D nanPoint{kNaN, 0};
  EXPECT_FALSE(geometry.isPointOnLine(xAxis, nanPoint));
  EXPECT_FALSE(geometry.isPointRightOfLine(xAxis, nanPoint));
  EXPECT_FALSE(intersect(xAxis, segment({kNaN, -1}, {5, 1})));
  Geometry::LineSegment nanBox = segment({kNaN, 0}, {1, 1});
  EXPECT_FALSE(geometry.doBoundingBoxesIntersect(nanBox, nanBox));
}
