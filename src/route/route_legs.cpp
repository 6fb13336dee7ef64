#include "trelvo/route.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include <fmt/format.h>
#include <tf2/LinearMath/Matrix3x3.h>
#include <tf2/LinearMath/Quaternion.h>

namespace trelvo {
namespace {

struct Point {
  double x;
  double y;
};

bool isUsablePosition(const geometry_msgs::msg::Point& p) {
  return isWithinReach(p.x) && isWithinReach(p.y) && std::isfinite(p.z);
}

bool hasUsablePositions(const nav_msgs::msg::Path& path) {
  for (const auto& pose : path.poses) {
    if (!isUsablePosition(pose.pose.position)) {
      return false;
    }
  }
  return true;
}

// A segment ready to measure many points against. Squared distances spare the square roots of
// the hot loops; coordinates of at most 1e9 m are far from overflowing a double when squared.
class Segment {
 public:
  Segment(Point a, Point b) : a_(a), dx_(b.x - a.x), dy_(b.y - a.y) {
    // A segment so short that the inverse of its squared length overflows is measured as the
    // point it nearly is.
    const double inverse = 1.0 / (dx_ * dx_ + dy_ * dy_);
    inverseLengthSquared_ = std::isfinite(inverse) ? inverse : 0.0;
  }

  double squaredDistance(Point p) const {
    const double along = ((p.x - a_.x) * dx_ + (p.y - a_.y) * dy_) * inverseLengthSquared_;
    const double t = std::clamp(along, 0.0, 1.0);
    const double ex = p.x - (a_.x + t * dx_);
    const double ey = p.y - (a_.y + t * dy_);
    return ex * ex + ey * ey;
  }
  double distance(Point p) const { return std::sqrt(squaredDistance(p)); }

 private:
  Point a_;
  double dx_;
  double dy_;
  double inverseLengthSquared_;
};

double squaredDistanceBetween(Point a, Point b) {
  return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
}

double distanceBetween(Point a, Point b) {
  return std::sqrt(squaredDistanceBetween(a, b));
}

// The path's positions without repeats: a pose within kSamePosition of the one kept before it.
std::vector<Point> distinctPositions(const nav_msgs::msg::Path& path) {
  std::vector<Point> points;
  points.reserve(path.poses.size());
  for (const auto& pose : path.poses) {
    const Point p{pose.pose.position.x, pose.pose.position.y};
    if (points.empty() ||
        squaredDistanceBetween(p, points.back()) > kSamePosition * kSamePosition) {
      points.push_back(p);
    }
  }
  return points;
}

struct Furthest {
  std::size_t index;  // 0: none beyond the limit
  double squaredDistance;
};

// The point in [begin, end) furthest from the segment, if one lies beyond `limit` (squared).
Furthest furthestFrom(const Segment& segment, const std::vector<Point>& points, std::size_t begin,
                      std::size_t end, double limit) {
  Furthest furthest{0, limit};
  for (std::size_t i = begin; i < end; ++i) {
    const double d = segment.squaredDistance(points[i]);
    if (d > furthest.squaredDistance) {
      furthest = {i, d};
    }
  }
  return furthest;
}

// Douglas-Peucker splits a run at its furthest point. On a path that swings back and forth many
// times, that point can lie next to an end of run after run, and the splits would cost O(n^2)
// (seconds for 100 000 poses). Once the distances measured pass kWorkPerPoint for each point,
// a run is split at its furthest point within its middle half, where it has one beyond the
// tolerance, which halves it. Planner paths of a few dozen corners never come near.
constexpr std::size_t kWorkPerPoint = 8;

// Douglas-Peucker over the whole path: a run of points that does not fit the segment from its
// first to its last point is split at the point furthest from that segment, which becomes a
// corner. A split point lies further than the tolerance from the segment, and so from both its
// ends: no leg comes out shorter than the tolerance. Returns the corners' indices in order, the
// first and last point among them.
std::vector<std::size_t> douglasPeucker(const std::vector<Point>& points, double tolerance) {
  std::vector<bool> isCorner(points.size(), false);
  isCorner.front() = true;
  isCorner.back() = true;
  const std::size_t workBudget = kWorkPerPoint * points.size();
  std::size_t work = 0;
  std::vector<std::pair<std::size_t, std::size_t>> runs{{0, points.size() - 1}};
  while (!runs.empty()) {
    const auto [first, last] = runs.back();
    runs.pop_back();
    const Segment segment(points[first], points[last]);
    const double limit = tolerance * tolerance;
    const std::size_t quarter = (last - first) / 4;
    const std::size_t middleBegin = std::max(first + 1, first + quarter);
    const std::size_t middleEnd = std::min(last, last - quarter + 1);
    const Furthest head = furthestFrom(segment, points, first + 1, middleBegin, limit);
    const Furthest middle = furthestFrom(segment, points, middleBegin, middleEnd, limit);
    const Furthest tail = furthestFrom(segment, points, middleEnd, last, limit);
    work += last - first;
    std::size_t split = middle.index;
    if (work <= workBudget || split == 0) {
      double furthest = middle.squaredDistance;
      for (const Furthest& candidate : {head, tail}) {
        if (candidate.squaredDistance > furthest) {
          furthest = candidate.squaredDistance;
          split = candidate.index;
        }
      }
    }
    if (split != 0) {
      isCorner[split] = true;
      runs.emplace_back(first, split);
      runs.emplace_back(split, last);
    }
  }
  std::vector<std::size_t> corners;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (isCorner[i]) {
      corners.push_back(i);
    }
  }
  return corners;
}

// A planner that replans from where the vehicle stands, measured with some noise, often starts its
// path with a jog of a few centimetres back to the line it drives. Such a first leg, shorter than
// kShortLeg tolerances, is dropped when every one of its points lies within the tolerance of the
// next leg: the vehicle goes straight on to the next corner instead of turning round twice.
constexpr double kShortLeg = 2.0;

void dropJogAtTheStart(const std::vector<Point>& points, std::vector<std::size_t>& corners,
                       double tolerance) {
  if (corners.size() < 3 ||
      distanceBetween(points[corners[0]], points[corners[1]]) >= kShortLeg * tolerance) {
    return;
  }
  const Segment nextLeg(points[corners[1]], points[corners[2]]);
  for (std::size_t i = 0; i < corners[1]; ++i) {
    if (nextLeg.distance(points[i]) > tolerance) {
      return;
    }
  }
  corners.erase(corners.begin());
}

}  // namespace

double goalYaw(const geometry_msgs::msg::Quaternion& q) {
  if (!(std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w))) {
    return NAN;
  }
  if (q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w == 0.0) {
    return 0.0;  // no rotation at all
  }
  double roll = 0.0;
  double pitch = 0.0;
  double yaw = 0.0;
  tf2::Matrix3x3(tf2::Quaternion(q.x, q.y, q.z, q.w)).getRPY(roll, pitch, yaw);
  return yaw;
}

std::string positionProblem(double x, double y, double z) {
  const std::pair<const char*, double> coordinates[] = {{"x", x}, {"y", y}, {"z", z}};
  for (const auto& [name, value] : coordinates) {
    if (!std::isfinite(value)) {
      return fmt::format("{} = {} is not finite", name, value);
    }
  }
  for (const auto& [name, value] : {coordinates[0], coordinates[1]}) {
    if (!isWithinReach(value)) {
      return fmt::format("{} = {} m lies beyond {} m", name, value, kLargestCoordinate);
    }
  }
  return {};
}

std::string refusalReason(const nav_msgs::msg::Path& path) {
  const std::size_t count = path.poses.size();
  for (std::size_t i = 0; i < count; ++i) {
    const auto& p = path.poses[i].pose.position;
    const std::string problem = positionProblem(p.x, p.y, p.z);
    if (!problem.empty()) {
      return fmt::format("pose {} of {}: {}", i + 1, count, problem);
    }
  }
  if (count > 0 && !std::isfinite(goalYaw(path.poses.back().pose.orientation))) {
    const auto& q = path.poses.back().pose.orientation;
    return fmt::format("the goal orientation ({}, {}, {}, {}) gives no heading", q.x, q.y, q.z,
                       q.w);
  }
  return {};
}

std::optional<std::vector<Leg>> makeLegs(const nav_msgs::msg::Path& path, double cornerTolerance) {
  if (path.poses.empty()) {
    return std::vector<Leg>{};
  }
  const double goalHeading = goalYaw(path.poses.back().pose.orientation);
  if (!std::isfinite(goalHeading) || !hasUsablePositions(path)) {
    return std::nullopt;
  }
  const std::vector<Point> points = distinctPositions(path);
  std::vector<std::size_t> corners = douglasPeucker(points, cornerTolerance);
  dropJogAtTheStart(points, corners, cornerTolerance);
  std::vector<Leg> legs;
  legs.reserve(corners.size());
  for (std::size_t k = 0; k + 1 < corners.size(); ++k) {
    const Point start = points[corners[k]];
    const Point end = points[corners[k + 1]];
    legs.push_back({{start.x, start.y, 0.0}, {end.x, end.y, 0.0}});
  }
  if (legs.empty()) {  // one position: a turn on the spot
    legs.push_back({{points[0].x, points[0].y, 0.0}, {points[0].x, points[0].y, 0.0}});
  }
  for (Leg& leg : legs) {
    const bool onTheSpot = leg.start.x == leg.end.x && leg.start.y == leg.end.y;
    leg.start.heading =
        onTheSpot ? goalHeading : std::atan2(leg.end.y - leg.start.y, leg.end.x - leg.start.x);
  }
  for (std::size_t i = 0; i + 1 < legs.size(); ++i) {
    legs[i].end.heading = legs[i + 1].start.heading;
  }
  legs.back().end.heading = goalHeading;
  return legs;
}

}  // namespace trelvo
