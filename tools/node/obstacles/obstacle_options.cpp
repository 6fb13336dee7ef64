#include "node/obstacles/obstacle_options.hpp"

#include <CLI/CLI.hpp>

#include <stdexcept>

#include "common/command_line.hpp"
#include "node/obstacles/footprint_text.hpp"
#include "wire/topic_names.hpp"

namespace node {
namespace {

constexpr const char* kObstacleGroup = "Obstacles (off unless --scan-topic is given)";
constexpr double kLargestRadius = 10.0;    // m
constexpr double kShortestTimeout = 0.01;  // s
constexpr double kLongestTimeout = 600.0;  // s

}  // namespace

void addObstacleOptions(CLI::App& app, ObstacleOptions& options) {
  app.add_option("--scan-topic", options.scanTopics,
                 "Takes obstacles from sensor_msgs/msg/LaserScan on this topic (repeatable) and "
                 "stops or slows the vehicle for those on its route ahead")
      ->type_name("NAME")
      ->group(kObstacleGroup)
      ->check(common::rosNameCheck("topic name",
                                   [](const std::string& text) { wire::ddsTopicName("", text); }));
  auto* footprint = app.add_option("--footprint", options.footprint,
                                   "The vehicle's outline in its base frame, as Nav2 writes it: "
                                   "'[[0.5, 0.3], [0.5, -0.3], [-0.5, -0.3], [-0.5, 0.3]]'")
                        ->type_name("POLYGON")
                        ->group(kObstacleGroup)
                        ->check(CLI::Validator(
                            [](std::string& text) {
                              try {
                                parseFootprint(text);
                                return std::string();
                              } catch (const std::invalid_argument& error) {
                                return std::string(error.what());
                              }
                            },
                            ""));
  app.add_option("--robot-radius", options.robotRadius,
                 "The vehicle's radius about its base frame's origin, for a round vehicle")
      ->type_name("M")
      ->group(kObstacleGroup)
      ->check(common::realRangeCheck(0.0, kLargestRadius, "m"))
      ->excludes(footprint);
  app.add_option("--source-timeout", options.sourceTimeout,
                 "A source silent this long while a route is under way stops the vehicle")
      ->type_name("S")
      ->group(kObstacleGroup)
      ->check(common::realRangeCheck(kShortestTimeout, kLongestTimeout, "s"))
      ->capture_default_str();
  app.add_option("--blocked-timeout", options.blockedTimeout,
                 "A follow_path goal stopped this long for an obstacle ends ABORTED with "
                 "NO_VALID_CONTROL (106); a plain route waits on")
      ->type_name("S")
      ->group(kObstacleGroup)
      ->check(common::realRangeCheck(kShortestTimeout, kLongestTimeout, "s"))
      ->capture_default_str();
}

void checkObstacleOptions(const ObstacleOptions& options) {
  if (!options.scanTopics.empty() && options.footprint.empty() && options.robotRadius <= 0.0) {
    throw std::invalid_argument(
        "--scan-topic needs the vehicle's outline: --footprint or --robot-radius");
  }
}

}  // namespace node
