#pragma once

// A route of many poses as straight legs for a turn-line-turn vehicle: poses that stay within a
// corridor around one straight line merge into one leg, and the vehicle turns on the spot at
// each corner.

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include <nav_msgs/msg/path.hpp>

#include "common/pose.hpp"

namespace common {

/// How far (m) a pose may lie from its leg's straight line.
inline constexpr double kCornerTolerance = 0.05;
/// A pose within this distance (m) of the previous kept position repeats it and is skipped.
inline constexpr double kSamePosition = 0.001;
/// The coordinates (m) beyond which the controller refuses a position as corrupted.
inline constexpr double kLargestCoordinate = 1e9;

/// Whether the controller takes a position with this x or y: finite and within kLargestCoordinate.
inline bool isWithinReach(double coordinate) {
  return std::fabs(coordinate) <= kLargestCoordinate;
}

/// One straight run of a route. start.heading is the leg's direction; end.heading is the heading
/// to stand at when the leg ends: the next leg's direction, or the goal heading on the last leg.
struct Leg {
  Pose2D start;
  Pose2D end;
};

/// The legs of a path, in order, each starting where the one before ends. nullopt: the path is
/// refused as the controller refuses one (a pose with a non-finite coordinate or x or y beyond
/// kLargestCoordinate, or a goal orientation without a finite yaw). An empty path has no legs. A
/// path whose poses all lie at one position is one leg from it to itself: a turn on the spot to
/// the goal heading.
///
/// No leg is shorter than the corner tolerance unless it is the only one: a vehicle that turns on
/// the spot at every corner must not turn round for a jog of a few centimetres. A short jog in
/// the middle stays inside its neighbours' corridor; one at the goal ends the leg before at the
/// goal (its poses then lie within twice the tolerance of that leg); one at the start, shorter
/// than twice the tolerance and within the tolerance of the next leg, is dropped, so that the
/// route starts at the next corner (a replan from a vehicle measured a few centimetres off its
/// line). Every pose lies within the tolerance of its leg otherwise. O(n) in the poses.
std::optional<std::vector<Leg>> makeLegs(const nav_msgs::msg::Path& path,
                                         double cornerTolerance = kCornerTolerance);

/// Why makeLegs refuses `path`, for a log line: "pose 2 of 3: y = inf is not finite"; empty when
/// it takes the path.
std::string refusalReason(const nav_msgs::msg::Path& path);

/// Why the controller refuses a position with these coordinates, for a log line: "x = nan is not
/// finite", "y = 2e+09 m lies beyond 1e9 m"; empty when it takes it.
std::string positionProblem(double x, double y, double z);

/// The goal heading (rad) of an orientation as the controller reads it (tf2's getRPY yaw; an
/// all-zero quaternion reads as 0). NaN where it has none: a non-finite component, or a length
/// whose square underflows.
double goalYaw(const geometry_msgs::msg::Quaternion& orientation);

}  // namespace common
