#pragma once

// The ROS 2 distributions whose middleware the node speaks as: they lay out the ROS 2 graph
// (ros_discovery_info) differently, and only Jazzy hashes the types of its endpoints.

#include <optional>
#include <string_view>

namespace wire {

enum class RosDistro { Humble, Jazzy };

/// As ROS 2 names it: "humble", "jazzy".
std::string_view rosDistroName(RosDistro distro);

/// The distribution named `name` ("humble", "jazzy"); nothing for another name.
std::optional<RosDistro> rosDistroNamed(std::string_view name);

}  // namespace wire
