#pragma once

// trelvo-node --ros-distro: the ROS 2 distribution whose middleware the node speaks as, so that the
// tools of that distribution list it as a node of theirs.

#include "wire/ros_distro.hpp"

namespace CLI {
class App;
}

namespace node {

inline constexpr wire::RosDistro kDefaultRosDistro = wire::RosDistro::Jazzy;

/// Adds --ros-distro humble|jazzy to `app`; after parsing, `distro` holds the distribution given,
/// and is left as it is when none is. A name of another distribution is a parse error, its message
/// naming the option and the names it takes.
void addRosDistroOption(CLI::App& app, wire::RosDistro& distro);

}  // namespace node
