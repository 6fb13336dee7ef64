#include <cmath>

#include <tf2/LinearMath/Matrix3x3.h>
#include <tf2/LinearMath/Quaternion.h>

#include "trelvo/geometry.hpp"

namespace {

// Below this, in both coordinates, an edge midpoint sits on the rectangle's centre and the axis
// through them has no direction.
constexpr float kAxisTolerance = 0.00001f;

// Sets output to rotation * (localX, localY, output's own z) + (originX, originY, 0).
void place(tf2::Vector3& output, const tf2::Matrix3x3& rotation, double localX, double localY,
           double originX, double originY) {
  const tf2::Vector3 rotated = rotation * tf2::Vector3(localX, localY, output.z());
  output.setValue(rotated.x() + originX, rotated.y() + originY, rotated.z());
}

bool isDegenerateAxis(float fromX, float fromY, float toX, float toY) {
  return std::fabs(toX - fromX) < kAxisTolerance && std::fabs(toY - fromY) < kAxisTolerance;
}

bool isWithin(double value, double bound1, double bound2) {
  if (bound1 >= bound2) {
    return bound2 <= value && value <= bound1;
  }
  return bound1 <= value && value <= bound2;
}

}  // namespace

void Geometry::generateRect(tf2::Vector3& frontMiddle, tf2::Vector3& sideMiddle,
                            tf2::Vector3& centre, const PoseStamped& fromPose,
                            const PoseStamped& toPose, const float& rectLength,
                            const float& rectWidth, const float& frontExtension) {
  const auto& from = fromPose.pose.position;
  const auto& to = toPose.pose.position;
  const double dx = to.x - from.x;
  const double dy = to.y - from.y;
  const double yaw = std::atan2(dy, dx);
  const double length = std::sqrt(dx * dx + dy * dy);
  const double unitX = dx * (1 / length);
  const double unitY = dy * (1 / length);
  const double halfExtension = 0.5f * frontExtension;
  const double originX = from.x + unitX * halfExtension;
  const double originY = from.y + unitY * halfExtension;

  const tf2::Matrix3x3 rotation(tf2::Quaternion(0.0, 0.0, std::sin(yaw / 2), std::cos(yaw / 2)));
  const float frontOffset = 0.5f * rectLength + frontExtension;
  const float halfWidth = 0.5f * rectWidth;
  place(centre, rotation, 0.0, 0.0, originX, originY);
  place(frontMiddle, rotation, frontOffset, 0.0, originX, originY);
  place(sideMiddle, rotation, 0.0, -halfWidth, originX, originY);
}

void Geometry::generateRect(tf2::Vector3& corner1, tf2::Vector3& corner2, tf2::Vector3& corner3,
                            tf2::Vector3& corner4, const PoseStamped& pose, float rectLength,
                            float rectWidth) {
  const auto& q = pose.pose.orientation;
  const tf2::Matrix3x3 rotation(tf2::Quaternion(q.x, q.y, q.z, q.w));
  const double originX = pose.pose.position.x;
  const double originY = pose.pose.position.y;
  const double halfLength = 0.5f * rectLength;
  const double halfWidth = 0.5f * rectWidth;
  place(corner1, rotation, halfLength, halfWidth, originX, originY);
  place(corner2, rotation, -halfLength, halfWidth, originX, originY);
  place(corner3, rotation, -halfLength, -halfWidth, originX, originY);
  place(corner4, rotation, halfLength, -halfWidth, originX, originY);
}

bool Geometry::checkInsideRectSimple(VECTOR2D& corner1, VECTOR2D& /*corner2*/, VECTOR2D& corner3,
                                     VECTOR2D& /*corner4*/, VECTOR2D& point) {
  return isWithin(point.x, corner1.x, corner3.x) && isWithin(point.y, corner1.y, corner3.y);
}

float Geometry::distanceBetweenTwoPoints(float x1, float y1, float x2, float y2) {
  const float dx = x2 - x1;
  const float dy = y2 - y1;
  return std::sqrt(dx * dx + dy * dy);
}

float Geometry::distanceFromPointToLine(float px, float py, float x1, float y1, float x2,
                                        float y2) {
  // The line as a x + b y + c = 0.
  const float a = y2 - y1;
  const float b = x1 - x2;
  const float c = y1 * x2 - y2 * x1;
  return std::fabs((px * a + py * b) + c) / std::sqrt(a * a + b * b);
}

bool Geometry::isCircleIntersectRectangle(float cx, float cy, float radius, float Px, float Py,
                                          float Qx, float Qy, float Rx, float Ry) {
  const float dPR = distanceBetweenTwoPoints(Px, Py, Rx, Ry);
  const float dPQ = distanceBetweenTwoPoints(Px, Py, Qx, Qy);
  if (isDegenerateAxis(Px, Py, Qx, Qy) || isDegenerateAxis(Px, Py, Rx, Ry)) {
    return false;
  }
  // Distances of the circle's centre from the two axes of the rectangle.
  const float ePQ = distanceFromPointToLine(cx, cy, Px, Py, Qx, Qy);
  const float ePR = distanceFromPointToLine(cx, cy, Px, Py, Rx, Ry);
  if (ePQ > dPR + radius || ePR > radius + dPQ) {
    return false;
  }
  if (dPR >= ePQ || dPQ >= ePR) {
    return true;
  }
  const float cornerX = ePQ - dPR;
  const float cornerY = ePR - dPQ;
  return radius * radius >= cornerX * cornerX + cornerY * cornerY;
}
