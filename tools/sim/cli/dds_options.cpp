#include "sim/cli/dds_options.hpp"

#include <CLI/CLI.hpp>

#include <stdexcept>

#include <fmt/format.h>

#include "common/command_line.hpp"
#include "sim/scenarios/usage_error.hpp"
#include "wire/participant.hpp"
#include "wire/topic_names.hpp"

namespace sim {
namespace {

constexpr const char* kGroup = "Vehicle on DDS";
constexpr double kMaxOdometryRate = 1000.0;  // Hz

// Options of the closed-loop runs that mean nothing to a vehicle driven from outside.
// The obstacles, the laser and the footprint act only in the closed loop so far.
constexpr const char* kClosedLoopOnly[] = {
    "--batch",           "--radius",      "--suite",
    "--junit",           "--jobs",        "--out",
    "--no-plot",         "--goal",        "--period",
    "--obstacle",        "--footprint",   "--footprint-radius",
    "--laser-range",     "--laser-fov",   "--laser-resolution",
    "--laser-rate",      "--laser-noise", "--laser-mount",
    "--random-obstacles"};
constexpr const char* kDdsOnly[] = {"--namespace", "--domain", "--stamped", "--odom-rate",
                                    "--duration"};
// Options that judge a route's end: on DDS only the route of --waypoints ends.
constexpr const char* kRouteEndOnly[] = {"--time-limit", "--position-tolerance",
                                         "--heading-tolerance"};

CLI::Validator odometryRateCheck() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        if (const auto complaint = common::realComplaint(text, common::Bound::Positive)) {
          return *complaint;
        }
        return std::stod(text) <= kMaxOdometryRate
                   ? std::string()
                   : fmt::format("must be at most {} Hz, got '{}'", kMaxOdometryRate, text);
      },
      "");
}

bool given(const CLI::App& app, const char* name) {
  const CLI::Option* option = app.get_option_no_throw(name);
  return option != nullptr && option->count() > 0;
}

void checkCombinations(const CLI::App& app) {
  if (!given(app, "--dds")) {
    for (const char* name : kDdsOnly) {
      if (given(app, name)) {
        throw UsageError(std::string(name) + ": needs --dds");
      }
    }
    return;
  }
  for (const char* name : kClosedLoopOnly) {
    if (given(app, name)) {
      throw UsageError(std::string(name) +
                       ": not with --dds, whose vehicle is driven from outside in real time");
    }
  }
  if (given(app, "--waypoints")) {
    if (given(app, "--duration")) {
      throw UsageError("--duration: not with --waypoints, which end at the goal or the time limit");
    }
    return;
  }
  for (const char* name : kRouteEndOnly) {
    if (given(app, name)) {
      throw UsageError(std::string(name) +
                       ": with --dds, needs --waypoints; without a route the vehicle runs until "
                       "stopped");
    }
  }
}

}  // namespace

void addDdsOptions(CLI::App& app, std::optional<DdsSettings>& dds) {
  // The values land here and move into `dds` once the command line turns out to ask for --dds.
  auto settings = std::make_shared<DdsSettings>();
  app.add_flag("--dds",
               "Run the vehicle alone, in real time, on a ROS 2 network: it takes cmd_vel and "
               "publishes odom, and publishes --waypoints as a path on plan")
      ->group(kGroup);
  app.add_option("--namespace", settings->nameSpace, "Puts the topics under /NAME/")
      ->type_name("NAME")
      ->check(common::rosNameCheck(
          "namespace", [](const std::string& text) { wire::ddsTopicName(text, "cmd_vel"); }))
      ->group(kGroup);
  app.add_option("--domain", settings->domain, "DDS domain id (default: ROS_DOMAIN_ID, else 0)")
      ->type_name("ID")
      ->check(common::wholeNumberCheck(0, wire::kLargestDomain))
      ->group(kGroup);
  app.add_flag("--stamped", settings->stamped,
               "Takes cmd_vel as geometry_msgs/msg/TwistStamped instead of Twist")
      ->group(kGroup);
  app.add_option("--odom-rate", settings->odometryRate,
                 "Vehicle steps and odometry messages per second")
      ->type_name("HZ")
      ->check(odometryRateCheck())
      ->capture_default_str()
      ->group(kGroup);
  app.add_option("--duration", settings->duration, "Stop after this much wall time")
      ->type_name("S")
      ->check(common::realCheck(common::Bound::Positive))
      ->group(kGroup);
  app.parse_complete_callback([&app, &dds, settings] {
    checkCombinations(app);
    if (!given(app, "--dds")) {
      return;
    }
    if (!given(app, "--domain")) {
      try {
        settings->domain = wire::domainFromEnvironment();
      } catch (const std::invalid_argument& error) {
        throw UsageError(error.what());
      }
    }
    settings->startGiven = given(app, "--start");
    dds = *settings;
  });
}

}  // namespace sim
