#include "trelvo/controller.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>

#include <tf2/LinearMath/Matrix3x3.h>
#include <tf2/LinearMath/Quaternion.h>

namespace {

constexpr double kLookAheadDistance = 0.5;  // m
constexpr useconds_t kZeroCommandPause = 2000;  // us, before each of the five zero stores
constexpr int kZeroCommandRepeats = 5;

// Yaw of an orientation by tf2's getRPY rule (first solution, 0 at the pitch singularity). A
// quaternion of length zero has no rotation; it is read as yaw 0 rather than NaN.
double yawOf(const geometry_msgs::msg::Quaternion& q) {
  if (q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w == 0.0) {
    return 0.0;
  }
  double roll = 0.0;
  double pitch = 0.0;
  double yaw = 0.0;
  tf2::Matrix3x3(tf2::Quaternion(q.x, q.y, q.z, q.w)).getRPY(roll, pitch, yaw);
  return yaw;
}

}  // namespace

Controller::Controller() {
  isActive = false;
  PIDInit0();
  isActive = true;
}

void Controller::init() {
  step = 0;
  coutt = 0;
  PIDInit0();
}

void Controller::velPublisher(double v, double w) {
  cmdVel.linear.x = v;
  cmdVel.angular.z = w;
}

void Controller::PublishZeroVW() {
  for (int i = 0; i < kZeroCommandRepeats; ++i) {
    usleep(kZeroCommandPause);
    velPublisher(0.0, 0.0);
  }
}

double Controller::getDistance(Point& a, Point& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y));
}

double Controller::getDistance(double x1, double y1, double x2, double y2) {
  return std::sqrt((x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2));
}

void Controller::setStraightCB(const Path& path) {
  if (path.poses.empty()) {
    return;
  }
  startPoint = path.poses.front().pose.position;
  endPoint = path.poses.back().pose.position;
  goal_angle = yawOf(path.poses.back().pose.orientation);
}

void Controller::getstraightCB(const Path& path) { setStraightCB(path); }

int Controller::getNextTargetPoint(double* start, double* end, double* current) {
  const double sx = start[0], sy = start[1];
  const double ex = end[0], ey = end[1];
  const double px = current[0], py = current[1];
  PlanarPoint target{0.0, 0.0};

  if (ex == sx) {
    target = sy > ey ? PlanarPoint{ex, std::max(ey, py - kLookAheadDistance)}
                     : PlanarPoint{ex, std::min(ey, py + kLookAheadDistance)};
  } else if (ey == sy) {
    target = sx > ex ? PlanarPoint{std::max(ex, px - kLookAheadDistance), ey}
                     : PlanarPoint{std::min(ex, px + kLookAheadDistance), ey};
  } else if (ex > sx) {
    // Oblique travel towards increasing x aims straight at the goal.
    target = {ex, ey};
  } else if (ex < sx) {
    const double k = (ey - sy) / (ex - sx);
    const double footX = (py - ey + k * ex + px / k) / (1 / k + k);
    const double aheadX = footX - std::fabs(kLookAheadDistance * std::cos(std::atan(k)));
    target = ex >= aheadX ? PlanarPoint{ex, ey} : PlanarPoint{aheadX, ey + k * (aheadX - ex)};
  }
  nextTargetPoint = target;
  return 0;
}
