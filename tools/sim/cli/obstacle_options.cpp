#include "sim/cli/obstacle_options.hpp"

#include <CLI/CLI.hpp>

#include <fmt/format.h>

#include "common/command_line.hpp"
#include "common/number_text.hpp"
#include "sim/scenarios/usage_error.hpp"
#include "sim/world/obstacle_text.hpp"

namespace sim {
namespace {

constexpr int kMaxRandomObstacles = 100;

// The batch's random obstacles come with its scenarios; a single run takes them one by one.
void checkTogether(const CLI::App& app, const GivenObstacles& given) {
  if (app.count("--random-obstacles") > 0 && app.count("--batch") == 0) {
    throw UsageError("--random-obstacles: needs --batch");
  }
  if (app.count("--obstacle") > 0 && app.count("--batch") > 0) {
    throw UsageError("--obstacle: not with --batch, whose obstacles are drawn at random");
  }
  if (given.footprint.size() % 2 != 0 || (!given.footprint.empty() && given.footprint.size() < 6)) {
    throw UsageError("--footprint: expected X,Y of three or more corners");
  }
  if (given.footprint.empty() && !(given.footprintRadius > 0.0)) {
    throw UsageError("--footprint-radius: a vehicle without --footprint needs a radius above 0");
  }
  if (beamCount({10.0, common::toRadians(given.laserFieldOfViewDegrees),
                 common::toRadians(given.laserResolutionDegrees)}) > kMaxBeams) {
    throw UsageError(fmt::format("--laser-resolution: more than {} beams", kMaxBeams));
  }
}

}  // namespace

void addObstacleOptions(CLI::App& app, GivenObstacles& given, LaserSettings& laser) {
  app.add_option("--obstacle", given.obstacles,
                 "An obstacle: circle,X,Y,R or box,X,Y,DEG,LENGTH,WIDTH, then for one that walks "
                 ",to,X,Y,SPEED,FROM (repeat for more)")
      ->type_name("SPEC")
      ->take_all();
  app.add_option("--footprint", given.footprint,
                 "The vehicle's outline, X,Y of each corner in its base frame")
      ->type_name("X,Y")
      ->expected(6, -1)
      ->delimiter(',')
      ->check(common::realCheck(common::Bound::Any));
  app.add_option("--footprint-radius", given.footprintRadius,
                 "The footprint grown by this radius; alone, a round vehicle")
      ->type_name("M")
      ->check(common::realCheck(common::Bound::NonNegative))
      ->capture_default_str();
  app.add_option("--laser-range", laser.range, "The laser's farthest return")
      ->type_name("M")
      ->check(common::realCheck(common::Bound::Positive))
      ->capture_default_str();
  app.add_option("--laser-fov", given.laserFieldOfViewDegrees, "The laser's field of view")
      ->type_name("DEG")
      ->check(CLI::Range(0.0, 360.0) & common::realCheck(common::Bound::Positive))
      ->capture_default_str();
  app.add_option("--laser-resolution", given.laserResolutionDegrees, "Angle between beams")
      ->type_name("DEG")
      ->check(common::realCheck(common::Bound::Positive))
      ->capture_default_str();
  app.add_option("--laser-rate", laser.rate, "Scans a second")
      ->type_name("HZ")
      ->check(common::realCheck(common::Bound::Positive))
      ->capture_default_str();
  app.add_option("--laser-noise", laser.noise, "Standard deviation of each range, 0 for none")
      ->type_name("M")
      ->check(common::realCheck(common::Bound::NonNegative))
      ->capture_default_str();
  app.add_option("--laser-mount", given.laserMount, "The laser's pose on the vehicle")
      ->type_name("X,Y,DEG")
      ->expected(3)
      ->delimiter(',')
      ->check(common::realCheck(common::Bound::Any));
  app.add_option("--random-obstacles", given.randomObstacles,
                 "Batch: obstacles on and beside each route, some walking across it")
      ->type_name("N")
      ->check(common::wholeNumberCheck(0, kMaxRandomObstacles))
      ->capture_default_str();
}

void applyObstacleOptions(const CLI::App& app, const GivenObstacles& given, Scenario& scenario,
                          RunSettings& run) {
  checkTogether(app, given);
  for (const std::string& text : given.obstacles) {
    auto read = obstacleFromText(text);
    if (const auto* complaint = std::get_if<std::string>(&read)) {
      throw UsageError(fmt::format("--obstacle: {}: {}", text, *complaint));
    }
    scenario.obstacles.push_back(std::get<Obstacle>(read));
  }
  run.footprint = {{}, given.footprintRadius};
  for (std::size_t i = 0; i < given.footprint.size(); i += 2) {
    run.footprint.polygon.push_back({given.footprint[i], given.footprint[i + 1]});
  }
  if (!given.footprint.empty() && app.count("--footprint-radius") == 0) {
    run.footprint.radius = 0.0;
  }
  run.laser.fieldOfView = common::toRadians(given.laserFieldOfViewDegrees);
  run.laser.resolution = common::toRadians(given.laserResolutionDegrees);
  if (!given.laserMount.empty()) {
    run.laser.mount = {given.laserMount[0], given.laserMount[1],
                       common::toRadians(given.laserMount[2])};
  }
}

}  // namespace sim
