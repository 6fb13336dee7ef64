#pragma once

// Planner-like paths and a RouteFollower driving a unicycle in closed loop at 20 Hz, for the
// route tests and the replan measurements: no DDS, no wall clock.

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include <geometry_msgs/msg/twist.hpp>
#include <nav_msgs/msg/path.hpp>

#include "controller_fixtures.hpp"
#include "trelvo/route.hpp"

namespace trelvo_test {

using XY = std::pair<double, double>;

inline nav_msgs::msg::Path pathThrough(const std::vector<XY>& points, double goalYaw = 0.0) {
  nav_msgs::msg::Path path;
  for (const auto& [x, y] : points) {
    path.poses.push_back(planarPose(x, y, 0.0));
  }
  path.poses.back() = planarPose(points.back().first, points.back().second, goalYaw);
  return path;
}

/// A planner's path: a pose every `spacing` metres along straight runs between the corners.
inline std::vector<XY> densePoints(const std::vector<XY>& corners, double spacing = 0.05) {
  std::vector<XY> points{corners.front()};
  for (std::size_t i = 1; i < corners.size(); ++i) {
    const auto [x0, y0] = corners[i - 1];
    const auto [x1, y1] = corners[i];
    const int steps = static_cast<int>(std::ceil(std::hypot(x1 - x0, y1 - y0) / spacing));
    for (int k = 1; k <= steps; ++k) {
      points.emplace_back(x0 + (x1 - x0) * k / steps, y0 + (y1 - y0) * k / steps);
    }
  }
  return points;
}

/// A grid planner's path from (0, 0) towards `degrees`: steps of one cell along x or y, each
/// the one that stays nearer the straight line, `steps` steps in all.
inline std::vector<XY> stairStep(double degrees, int steps, double cell = 0.05) {
  const double nx = -std::sin(radians(degrees));
  const double ny = std::cos(radians(degrees));
  std::vector<XY> points{{0.0, 0.0}};
  long cx = 0;
  long cy = 0;
  for (int i = 0; i < steps; ++i) {
    const double offX = std::fabs(((cx + 1) * nx + cy * ny) * cell);
    const double offY = std::fabs((cx * nx + (cy + 1) * ny) * cell);
    (offX <= offY ? cx : cy) += 1;
    points.emplace_back(cx * cell, cy * cell);
  }
  return points;
}

/// Where a planner's frame lies in the frame the vehicle drives in: turned by `rotation` (rad),
/// then moved by (x, y).
struct PlannerFrame {
  double x = 0.0;
  double y = 0.0;
  double rotation = 0.0;

  XY toDrive(const XY& p) const {
    return {x + p.first * std::cos(rotation) - p.second * std::sin(rotation),
            y + p.first * std::sin(rotation) + p.second * std::cos(rotation)};
  }
  XY toPlanner(double px, double py) const {
    const double dx = px - x;
    const double dy = py - y;
    return {dx * std::cos(rotation) + dy * std::sin(rotation),
            -dx * std::sin(rotation) + dy * std::cos(rotation)};
  }
};

/// A path as it arrives from a planner in another frame: each point moved into the driving
/// frame, given `noise` (m) of uniform error in x and y, and rounded to the millimetre.
inline nav_msgs::msg::Path arrivingPath(const std::vector<XY>& points, const PlannerFrame& frame,
                                        double goalYaw, double noise, std::mt19937& random) {
  std::uniform_real_distribution<double> error(-noise, noise);
  std::vector<XY> moved;
  for (const XY& p : points) {
    const auto [x, y] = frame.toDrive(p);
    moved.emplace_back(std::round((x + error(random)) * 1000) / 1000,
                       std::round((y + error(random)) * 1000) / 1000);
  }
  return pathThrough(moved, goalYaw + frame.rotation);
}

inline constexpr double kRoutePeriod = 0.05;  // s: 20 Hz

/// A follower driving a unicycle. Counts the stops (a zero command after one that was not), the
/// largest turn on the spot (rad) and the metres driven, and records the events.
struct RouteDrive {
  trelvo::RouteFollower follower;
  Unicycle vehicle{0, 0, 0};
  double noise = 0.0;  // m, of the measured position
  geometry_msgs::msg::Twist cmd;
  std::vector<trelvo::RouteEvent> events;
  std::vector<geometry_msgs::msg::Twist> legEndCommands;
  int cycles = 0;
  int stops = 0;
  double metres = 0.0;
  double turnOnTheSpot = 0.0;
  double largestTurnOnTheSpot = 0.0;

  /// The pose a localisation measures: within `noise` of the vehicle's, varying every cycle.
  geometry_msgs::msg::PoseStamped measured() const {
    return planarPose(vehicle.x + noise * std::sin(cycles * 1.7),
                      vehicle.y + noise * std::cos(cycles * 2.3), vehicle.yaw);
  }
  trelvo::RouteEvent step() {
    const geometry_msgs::msg::Twist before = cmd;
    const trelvo::RouteEvent event = follower.cycle(measured(), cmd);
    vehicle.apply(cmd, kRoutePeriod);
    ++cycles;
    metres += std::fabs(cmd.linear.x) * kRoutePeriod;
    if (cmd == geometry_msgs::msg::Twist{} && !(before == geometry_msgs::msg::Twist{})) {
      ++stops;
    }
    if (event != trelvo::RouteEvent::None) {
      events.push_back(event);
    }
    if (event == trelvo::RouteEvent::LegReached || event == trelvo::RouteEvent::RouteFinished) {
      legEndCommands.push_back(cmd);
    }
    turnOnTheSpot =
        cmd.linear.x == 0.0 ? turnOnTheSpot + std::fabs(cmd.angular.z) * kRoutePeriod : 0.0;
    largestTurnOnTheSpot = std::max(largestTurnOnTheSpot, turnOnTheSpot);
    return event;
  }
};

/// The L of the replan figures: 3 m east, then 2 m north, goal heading 90 degrees, in a planner
/// frame turned 30 degrees and moved by (2, 1).
inline const std::vector<XY> kReplanL{{0, 0}, {3, 0}, {3, 2}};
inline constexpr PlannerFrame kReplanFrame{2.0, 1.0, 30.0 / 180.0 * M_PI};

/// A planner's replan of the L from where the vehicle is measured: through the corner while the
/// vehicle has not reached it, then to the goal.
inline std::vector<XY> lFrom(const XY& vehicle) {
  std::vector<XY> corners{vehicle};
  if (vehicle.first < kReplanL[1].first - 0.03 && vehicle.second < 0.1) {
    corners.push_back(kReplanL[1]);
  }
  corners.push_back(kReplanL[2]);
  return densePoints(corners);
}

/// A grid planner's replan of a stair-step path from where the vehicle is measured: that
/// position, then the path's poses from the first one ahead of the vehicle.
inline std::vector<XY> stairStepFrom(const std::vector<XY>& stairs, const XY& vehicle) {
  const double dx = stairs.back().first - stairs.front().first;
  const double dy = stairs.back().second - stairs.front().second;
  const auto along = [&](const XY& p) { return p.first * dx + p.second * dy; };
  auto ahead = std::find_if(stairs.begin(), stairs.end(),
                            [&](const XY& p) { return along(p) > along(vehicle); });
  std::vector<XY> points{vehicle};
  points.insert(points.end(), ahead, stairs.end());
  if (points.size() == 1) {
    points.push_back(stairs.back());
  }
  return points;
}

inline constexpr int kReplanCycles = 20;  // 1 Hz at 20 Hz

inline XY measuredIn(const RouteDrive& drive, const PlannerFrame& frame) {
  const auto& p = drive.measured().pose.position;
  return frame.toPlanner(p.x, p.y);
}

/// Drives the L in its turned frame to its goal (or for `cycleLimit` cycles), the path sent once
/// or again every second from where the vehicle is measured, each with `noise` on every pose.
inline void driveTurnedL(RouteDrive& drive, double noise, bool replans, int cycleLimit = 1200) {
  const PlannerFrame& frame = kReplanFrame;
  std::mt19937 random(29);
  const XY start = frame.toDrive(kReplanL.front());
  drive.vehicle = {start.first, start.second, frame.rotation};
  const double goalYaw = M_PI / 2;
  drive.follower.receivePath(arrivingPath(densePoints(kReplanL), frame, goalYaw, noise, random));
  bool finished = false;
  while (!finished && drive.cycles < cycleLimit) {
    if (replans && drive.cycles > 0 && drive.cycles % kReplanCycles == 0) {
      drive.follower.receivePath(
          arrivingPath(lFrom(measuredIn(drive, frame)), frame, goalYaw, noise, random));
    }
    finished = drive.step() == trelvo::RouteEvent::RouteFinished;
  }
}

/// Drives a grid planner's stair-step along 20 degrees (1931 poses) for `cycles` cycles, the path
/// sent once or again every second from where the vehicle is measured, with `noise` on every pose.
inline void driveStairStep(RouteDrive& drive, double noise, bool replans, int cycles = 600) {
  constexpr double kDegrees = 20.0;
  const std::vector<XY> stairs = stairStep(kDegrees, 1930);
  const PlannerFrame frame{};
  std::mt19937 random(29);
  drive.vehicle = {0.0, 0.0, radians(kDegrees)};
  drive.follower.receivePath(arrivingPath(stairs, frame, radians(kDegrees), noise, random));
  while (drive.cycles < cycles) {
    if (replans && drive.cycles > 0 && drive.cycles % kReplanCycles == 0) {
      drive.follower.receivePath(arrivingPath(stairStepFrom(stairs, measuredIn(drive, frame)),
                                              frame, radians(kDegrees), noise, random));
    }
    drive.step();
  }
}

}  // namespace trelvo_test
