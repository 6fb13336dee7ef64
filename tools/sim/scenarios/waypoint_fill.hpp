#pragma once

// Fills the straight runs between waypoints with poses a few centimetres apart, as a planner
// hands out its paths, so that a suite can drive a planner's dense path written as its corners.

#include <cstddef>
#include <optional>
#include <vector>

#include "common/pose.hpp"

namespace sim {

/// The most poses a filled route may hold.
inline constexpr std::size_t kMaxFilledPoses = 100000;

/// The waypoints with poses added evenly along each straight run between two of them, no more
/// than `spacing` (m) apart. An added pose faces along its run; the waypoints stay as they are.
/// nullopt when that would make more than kMaxFilledPoses poses.
std::optional<std::vector<common::Pose2D>> fillStraightRuns(
    const std::vector<common::Pose2D>& waypoints, double spacing);

}  // namespace sim
