#pragma once

// A run's route as the navigation host hands it out, and the straight legs the route unit makes
// of it: the same legs the run drives, measures and draws.

#include <vector>

#include <nav_msgs/msg/path.hpp>

#include "sim/run/run_settings.hpp"
#include "trelvo/route.hpp"

namespace sim {

/// The route's poses: the waypoints, or the start and the goal.
std::vector<common::Pose2D> routePoses(const Scenario& scenario);
/// The route's poses as one path.
nav_msgs::msg::Path routePath(const Scenario& scenario);
/// The legs the route unit makes of the route; none for a route it refuses.
std::vector<trelvo::Leg> routeLegs(const Scenario& scenario);
/// The direction (rad) of a leg's line; 0 for a leg on the spot, which has none.
double lineDirection(const trelvo::Leg& leg);
/// The length (m) of the route the vehicle has to drive: from where it starts to the end of the
/// first leg, then along the others.
double routeLength(const Scenario& scenario);

}  // namespace sim
