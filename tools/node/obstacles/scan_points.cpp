#include "node/obstacles/scan_points.hpp"

#include <cmath>

namespace node {

std::vector<trelvo::Point2D> scanReturns(const sensor_msgs::msg::LaserScan& scan) {
  std::vector<trelvo::Point2D> points;
  points.reserve(scan.ranges.size());
  for (std::size_t i = 0; i < scan.ranges.size(); ++i) {
    const double range = scan.ranges[i];
    if (!std::isfinite(range) || range < scan.range_min || range > scan.range_max) {
      continue;
    }
    const double angle =
        static_cast<double>(scan.angle_min) + static_cast<double>(i) * scan.angle_increment;
    points.push_back({range * std::cos(angle), range * std::sin(angle)});
  }
  return points;
}

std::vector<trelvo::Point2D> scanInBase(const sensor_msgs::msg::LaserScan& scan,
                                        const geometry_msgs::msg::Transform& sensorInBase) {
  const auto& q = sensorInBase.rotation;
  const auto& t = sensorInBase.translation;
  // The first two rows of the rotation matrix of q: a point (x, y, 0) maps to x·c0 + y·c1.
  const double xx = 1.0 - 2.0 * (q.y * q.y + q.z * q.z);
  const double xy = 2.0 * (q.x * q.y - q.z * q.w);
  const double yx = 2.0 * (q.x * q.y + q.z * q.w);
  const double yy = 1.0 - 2.0 * (q.x * q.x + q.z * q.z);
  std::vector<trelvo::Point2D> points = scanReturns(scan);
  for (auto& point : points) {
    point = {t.x + xx * point.x + xy * point.y, t.y + yx * point.x + yy * point.y};
  }
  return points;
}

}  // namespace node
