#pragma once

// A laser scan as obstacle points in the vehicle's base frame. Each range is a return along the
// ray at angle_min + i·angle_increment in the scan's frame; a range that is not finite or lies
// outside [range_min, range_max] is no return and gives no point. The sensor's mounting (its
// static transform, base <- sensor) carries each point into the base frame, where the point is
// laid on the ground plane: its height is dropped.

#include <vector>

#include <geometry_msgs/msg/transform.hpp>
#include <sensor_msgs/msg/laser_scan.hpp>

#include "trelvo/clearance.hpp"

namespace node {

/// The scan's returns in its own frame (m).
std::vector<trelvo::Point2D> scanReturns(const sensor_msgs::msg::LaserScan& scan);

/// The scan's returns in the base frame, `sensorInBase` mapping the scan's frame into it.
std::vector<trelvo::Point2D> scanInBase(const sensor_msgs::msg::LaserScan& scan,
                                        const geometry_msgs::msg::Transform& sensorInBase);

}  // namespace node
