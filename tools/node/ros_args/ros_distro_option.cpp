#include "node/ros_args/ros_distro_option.hpp"

#include <CLI/CLI.hpp>

#include <string>

namespace node {

void addRosDistroOption(CLI::App& app, wire::RosDistro& distro) {
  const auto known = CLI::Validator(
      [](std::string& text) {
        return wire::rosDistroNamed(text)
                   ? std::string()
                   : "'" + text + "' is no ROS 2 distribution this node speaks as: humble or jazzy";
      },
      "");
  app.add_option_function<std::string>(
         "--ros-distro",
         [&distro](const std::string& text) { distro = *wire::rosDistroNamed(text); },
         "Speaks as the middleware of this ROS 2 distribution, so that its tools list the node: "
         "humble or jazzy (default: " +
             std::string(wire::rosDistroName(kDefaultRosDistro)) + ")")
      ->type_name("NAME")
      ->check(known);
}

}  // namespace node
