#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "trelvo/geometry.hpp"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kExact = 1e-12;
constexpr double kSixDecimals = 1e-6;

Geometry::PoseStamped poseAt(double x, double y, double z = 0.0) {
  Geometry::PoseStamped pose;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.position.z = z;
  return pose;
}

Geometry::PoseStamped poseWithYaw(double x, double y, double yaw) {
  Geometry::PoseStamped pose = poseAt(x, y);
  pose.pose.orientation.z = std::sin(yaw / 2);
  pose.pose.orientation.w = std::cos(yaw / 2);
  return pose;
}

#define EXPECT_XY_NEAR(vector, expectedX, expectedY, tolerance) \
  do {                                                          \
    EXPECT_NEAR((vector).x(), (expectedX), (tolerance));        \
    EXPECT_NEAR((vector).y(), (expectedY), (tolerance));        \
  } while (0)

class GeometryRectangles : public ::testing::Test {
 protected:
  // First overload with outputs whose incoming z is 0.
  void alongDirection(const Geometry::PoseStamped& from, const Geometry::PoseStamped& to,
                      float rectLength, float rectWidth, float frontExtension) {
    frontMiddle.setValue(0, 0, 0);
    sideMiddle.setValue(0, 0, 0);
    centre.setValue(0, 0, 0);
    geometry.generateRect(frontMiddle, sideMiddle, centre, from, to, rectLength, rectWidth,
                          frontExtension);
  }
  // Second overload with outputs whose incoming z is 0.
  void around(const Geometry::PoseStamped& pose, float rectLength, float rectWidth) {
    for (tf2::Vector3* corner : {&corner1, &corner2, &corner3, &corner4}) {
      corner->setValue(0, 0, 0);
    }
    geometry.generateRect(corner1, corner2, corner3, corner4, pose, rectLength, rectWidth);
  }
  // A point given in the frame of the circle-test rectangle (along PQ, along the left normal).
  struct Circle {
    float x;
    float y;
  };
  Circle inRectangleFrame(double along, double left) {
    const double c = std::cos(kPi / 6);
    const double s = std::sin(kPi / 6);
    return {static_cast<float>(along * c - left * s), static_cast<float>(along * s + left * c)};
  }
  // P = (0, 0), Q = 2 (cos 30, sin 30), R = (sin 30, -cos 30), tested with Q and R both ways.
  void expectCircleTest(double along, double left, float radius, bool expected) {
    const Circle circle = inRectangleFrame(along, left);
    const float qx = static_cast<float>(2 * std::cos(kPi / 6));
    const float qy = static_cast<float>(2 * std::sin(kPi / 6));
    const float rx = static_cast<float>(std::sin(kPi / 6));
    const float ry = static_cast<float>(-std::cos(kPi / 6));
    EXPECT_EQ(geometry.isCircleIntersectRectangle(circle.x, circle.y, radius, 0, 0, qx, qy, rx, ry),
              expected)
        << along << ", " << left << " radius " << radius;
    EXPECT_EQ(geometry.isCircleIntersectRectangle(circle.x, circle.y, radius, 0, 0, rx, ry, qx, qy),
              expected)
        << along << ", " << left << " radius " << radius << " with Q and R swapped";
  }

  Geometry geometry;
  tf2::Vector3 frontMiddle, sideMiddle, centre;
  tf2::Vector3 corner1, corner2, corner3, corner4;
};

}  // namespace

TEST_F(GeometryRectangles, AlongDirectionCentreSitsHalfTheExtensionAhead) {
  alongDirection(poseAt(0, 0), poseAt(10, 0), 4, 2, 1);
  EXPECT_XY_NEAR(centre, 0.5, 0, kExact);
  EXPECT_XY_NEAR(frontMiddle, 3.5, 0, kExact);
  EXPECT_XY_NEAR(sideMiddle, 0.5, -1, kExact);

  alongDirection(poseAt(0, 0), poseAt(0, 10), 4, 2, 1);
  EXPECT_XY_NEAR(centre, 0, 0.5, kExact);
  EXPECT_XY_NEAR(frontMiddle, 0, 3.5, kExact);
  EXPECT_XY_NEAR(sideMiddle, 1, 0.5, kExact);
}

TEST_F(GeometryRectangles, AlongAnObliqueDirectionSideMiddleIsOnTheRight) {
  alongDirection(poseAt(1, 2), poseAt(4, 6), 4, 2, 0);
  EXPECT_XY_NEAR(centre, 1, 2, kExact);
  EXPECT_XY_NEAR(frontMiddle, 2.2, 3.6, kExact);
  EXPECT_XY_NEAR(sideMiddle, 1.8, 1.4, kExact);
}

TEST_F(GeometryRectangles, AlongDirectionIgnoresPoseOrientationsAndPassesIncomingZ) {
  Geometry::PoseStamped from = poseWithYaw(0, 0, 1.0);
  Geometry::PoseStamped to = poseWithYaw(10, 0, -2.0);
  to.pose.position.z = 9;
  frontMiddle.setValue(0, 0, 3);
  sideMiddle.setValue(0, 0, -4);
  centre.setValue(0, 0, 7);
  geometry.generateRect(frontMiddle, sideMiddle, centre, from, to, 4, 2, 1);
  EXPECT_XY_NEAR(frontMiddle, 3.5, 0, kExact);
  EXPECT_EQ(frontMiddle.z(), 3.0);
  EXPECT_EQ(sideMiddle.z(), -4.0);
  EXPECT_EQ(centre.z(), 7.0);
}

TEST_F(GeometryRectangles, FrontOffsetIsSummedInSinglePrecision) {
  // 0.5f + 1e-8f rounds to 0.5f; in double the front would sit 1e-8 further out.
  alongDirection(poseAt(0, 0), poseAt(10, 0), 1.0f, 2.0f, 1e-8f);
  EXPECT_EQ(frontMiddle.x(), centre.x() + 0.5);
}

TEST_F(GeometryRectangles, AlongDirectionBetweenEqualPositionsIsNaN) {
  alongDirection(poseAt(3, 3), poseAt(3, 3), 4, 2, 1);
  for (const tf2::Vector3* output : {&frontMiddle, &sideMiddle, &centre}) {
    EXPECT_TRUE(std::isnan(output->x()));
    EXPECT_TRUE(std::isnan(output->y()));
  }
}

TEST_F(GeometryRectangles, CornersRunCounterClockwiseFromFrontLeft) {
  around(poseWithYaw(0, 0, 0), 4, 2);
  EXPECT_XY_NEAR(corner1, 2, 1, kExact);
  EXPECT_XY_NEAR(corner2, -2, 1, kExact);
  EXPECT_XY_NEAR(corner3, -2, -1, kExact);
  EXPECT_XY_NEAR(corner4, 2, -1, kExact);
}

TEST_F(GeometryRectangles, CornersTurnWithTheYaw) {
  around(poseWithYaw(0, 0, kPi / 2), 4, 2);
  EXPECT_XY_NEAR(corner1, -1, 2, kExact);
  EXPECT_XY_NEAR(corner2, -1, -2, kExact);
  EXPECT_XY_NEAR(corner3, 1, -2, kExact);
  EXPECT_XY_NEAR(corner4, 1, 2, kExact);

  around(poseWithYaw(5, 7, kPi / 6), 4, 2);
  EXPECT_XY_NEAR(corner1, 6.232051, 8.866025, kSixDecimals);
  EXPECT_XY_NEAR(corner2, 2.767949, 6.866025, kSixDecimals);
  EXPECT_XY_NEAR(corner3, 3.767949, 5.133975, kSixDecimals);
  EXPECT_XY_NEAR(corner4, 7.232051, 7.133975, kSixDecimals);
}

TEST_F(GeometryRectangles, RolledPoseRotatesAllAxesWithoutAddingItsZ) {
  Geometry::PoseStamped rolled = poseAt(1, 2, 5);
  rolled.pose.orientation.x = std::sin(kPi / 4);
  rolled.pose.orientation.w = std::cos(kPi / 4);
  around(rolled, 4, 2);
  EXPECT_NEAR(corner1.x(), 3, kExact);
  EXPECT_NEAR(corner1.y(), 2, kExact);
  EXPECT_NEAR(corner1.z(), 1, kExact);
}

TEST_F(GeometryRectangles, OrientationOfAnyLengthRotatesAsItsUnitForm) {
  // A quarter turn with squared norm 2: the scale 2 / 2 keeps every product exact.
  Geometry::PoseStamped quarterTurn = poseAt(0, 0);
  quarterTurn.pose.orientation.z = 1;
  quarterTurn.pose.orientation.w = 1;
  around(quarterTurn, 4, 2);
  EXPECT_EQ(corner1.x(), -1.0);
  EXPECT_EQ(corner1.y(), 2.0);
  EXPECT_EQ(corner3.x(), 1.0);
  EXPECT_EQ(corner3.y(), -2.0);
}

TEST_F(GeometryRectangles, ZeroOrientationGivesNaNCorners) {
  Geometry::PoseStamped zero = poseAt(1, 1);
  zero.pose.orientation.w = 0;
  around(zero, 4, 2);
  EXPECT_TRUE(std::isnan(corner1.x()));
  EXPECT_TRUE(std::isnan(corner4.y()));
}

TEST_F(GeometryRectangles, InsideSimpleUsesTheBoxOfCornersOneAndThreeInclusive) {
  VECTOR2D low{0, 0};
  VECTOR2D high{4, 3};
  VECTOR2D ignored{kNaN, kNaN};
  for (VECTOR2D inside : {VECTOR2D{2, 1}, VECTOR2D{4, 3}, VECTOR2D{0, 0}}) {
    EXPECT_TRUE(geometry.checkInsideRectSimple(low, ignored, high, ignored, inside));
    EXPECT_TRUE(geometry.checkInsideRectSimple(high, ignored, low, ignored, inside));
  }
  for (VECTOR2D outside : {VECTOR2D{5, 1}, VECTOR2D{2, -1}, VECTOR2D{kNaN, 1}}) {
    EXPECT_FALSE(geometry.checkInsideRectSimple(low, ignored, high, ignored, outside));
    EXPECT_FALSE(geometry.checkInsideRectSimple(high, ignored, low, ignored, outside));
  }
}

TEST_F(GeometryRectangles, PlainDistances) {
  EXPECT_EQ(geometry.distanceBetweenTwoPoints(1, 1, 4, 5), 5.0f);
  EXPECT_EQ(geometry.distanceFromPointToLine(0, 5, 0, 0, 10, 0), 5.0f);
  EXPECT_EQ(geometry.distanceFromPointToLine(0, -5, 0, 0, 10, 0), 5.0f);
  EXPECT_EQ(geometry.distanceFromPointToLine(7, 1, 3, 3, 3, 8), 4.0f);
  EXPECT_TRUE(std::isnan(geometry.distanceFromPointToLine(0, 5, 1, 1, 1, 1)));
}

TEST_F(GeometryRectangles, CircleBeyondTheFrontEdgeByLessThanItsRadiusIntersects) {
  expectCircleTest(2.5, 0, 0.6f, true);
  expectCircleTest(2.5, 0, 0.4f, false);
  expectCircleTest(0, -1.5, 0.6f, true);  // beyond the right edge
  expectCircleTest(0, -1.5, 0.4f, false);
}

TEST_F(GeometryRectangles, CircleNearACornerUsesTheCornerDistance) {
  expectCircleTest(2.3, 1.3, 0.5f, true);  // 0.18 <= 0.25
  expectCircleTest(2.3, 1.3, 0.4f, false);
  expectCircleTest(-2.3, -1.3, 0.5f, true);
}

TEST_F(GeometryRectangles, CircleInsideIntersects) {
  expectCircleTest(0.5, 0.5, 0.1f, true);
}

TEST_F(GeometryRectangles, CircleTouchingAnEdgeOrACornerIntersects) {
  // Axis-aligned, so every distance is exact: P = (0, 0), Q = (2, 0), R = (0, -1).
  EXPECT_TRUE(geometry.isCircleIntersectRectangle(0, 1.5f, 0.5f, 0, 0, 2, 0, 0, -1));
  EXPECT_FALSE(geometry.isCircleIntersectRectangle(0, 1.5f, 0.49f, 0, 0, 2, 0, 0, -1));
  EXPECT_TRUE(geometry.isCircleIntersectRectangle(5, 5, 5, 0, 0, 2, 0, 0, -1));  // 16 + 9 = 25
  EXPECT_FALSE(geometry.isCircleIntersectRectangle(5, 5, 4.99f, 0, 0, 2, 0, 0, -1));
  EXPECT_TRUE(geometry.isCircleIntersectRectangle(5, 5, 5, 0, 0, 0, -1, 2, 0));
}

TEST_F(GeometryRectangles, AxisOfZeroLengthAnswersFalse) {
  EXPECT_FALSE(geometry.isCircleIntersectRectangle(0, 0, 5, 1, 1, 1, 1, 1, 3));
  EXPECT_FALSE(geometry.isCircleIntersectRectangle(0, 0, 5, 1, 1, 3, 1, 1, 1));
  EXPECT_FALSE(geometry.isCircleIntersectRectangle(0, 0, 5, 1, 1, 1.000001f, 1, 1, 3));
  EXPECT_FALSE(geometry.isCircleIntersectRectangle(0, 0, 5, 1, 1, 3, 1, 1, 1.000001f));
  EXPECT_TRUE(geometry.isCircleIntersectRectangle(0, 0, 5, 1, 1, 1.01f, 1, 1, 3));
}
