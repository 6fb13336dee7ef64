// trelvo-node --ros-distro: which ROS 2 distribution's tools list the node.

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "node/ros_args/ros_distro_option.hpp"

namespace {

// The distribution a command line gives, starting from the node's default.
wire::RosDistro parsed(std::vector<std::string> arguments) {
  CLI::App app;
  wire::RosDistro distro = node::kDefaultRosDistro;
  node::addRosDistroOption(app, distro);
  arguments.insert(arguments.begin(), "trelvo-node");
  std::vector<const char*> argv;
  for (const auto& argument : arguments) {
    argv.push_back(argument.c_str());
  }
  app.parse(static_cast<int>(argv.size()), argv.data());
  return distro;
}

TEST(NodeRosDistro, JazzyUnlessHumbleIsAskedFor) {
  EXPECT_EQ(parsed({}), wire::RosDistro::Jazzy);
  EXPECT_EQ(parsed({"--ros-distro", "jazzy"}), wire::RosDistro::Jazzy);
  EXPECT_EQ(parsed({"--ros-distro", "humble"}), wire::RosDistro::Humble);
  EXPECT_EQ(parsed({"--ros-distro=humble"}), wire::RosDistro::Humble);
}

TEST(NodeRosDistro, AnotherDistributionIsRefusedNamingTheOnesTaken) {
  for (const char* other : {"foxy", "Humble", "", "rolling"}) {
    try {
      parsed({"--ros-distro", other});
      ADD_FAILURE() << "accepted '" << other << "'";
    } catch (const CLI::ParseError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find("--ros-distro"), std::string::npos) << message;
      EXPECT_NE(message.find("humble or jazzy"), std::string::npos) << message;
    }
  }
}

}  // namespace
