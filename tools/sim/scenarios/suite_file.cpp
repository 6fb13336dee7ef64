#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

#include <fmt/format.h>

#include "common/number_text.hpp"
#include "sim/run/scenario_path.hpp"
#include "sim/scenarios/obstacle_fields.hpp"
#include "sim/scenarios/part_reader.hpp"
#include "sim/scenarios/suite.hpp"
#include "sim/scenarios/usage_error.hpp"
#include "sim/scenarios/waypoint_fill.hpp"
#include "trelvo/route.hpp"

namespace sim {
namespace {

const Fields kTopFields = {"defaults", "scenarios"};
const Fields kScenarioFields = {"name",          "start",  "goal",      "waypoints", "spacing",
                                "vehicle_start", "period", "vehicle",   "noise",     "pass",
                                "footprint",     "laser",  "clearance", "obstacles"};
const Fields kVehicleFields = {"mode", "width", "max_accel", "max_turn_accel"};
const Fields kNoiseFields = {"xy", "heading", "seed"};
const Fields kPassFields = {"position_tolerance", "heading_tolerance",  "time_limit",
                            "max_cross_track",    "max_distance_ratio", "first_turn_on_the_spot",
                            "min_clearance",      "ends_blocked",       "waits",
                            "undisturbed"};
// Only a scenario has these; the defaults hold what scenarios share.
const Fields kOwnFields = {"name",    "start",         "goal",     "waypoints",
                           "spacing", "vehicle_start", "obstacles"};

void applyVehicle(const PartReader& in, const YAML::Node& group, common::VehicleSettings& vehicle) {
  in.checkMapping(group, "vehicle", kVehicleFields);
  if (const YAML::Node mode = group["mode"]) {
    const std::string name = in.word(mode, "vehicle.mode");
    if (name != "unicycle" && name != "differential") {
      in.complain(mode, "vehicle.mode",
                  "unknown mode '" + name + "' (use unicycle or differential)");
    }
    vehicle.kind =
        name == "unicycle" ? common::VehicleKind::Unicycle : common::VehicleKind::Differential;
  }
  if (const YAML::Node width = group["width"]) {
    vehicle.width = in.real(width, "vehicle.width", common::Bound::Positive);
  }
  if (const YAML::Node accel = group["max_accel"]) {
    vehicle.maxAccel = in.real(accel, "vehicle.max_accel", common::Bound::NonNegative);
  }
  if (const YAML::Node accel = group["max_turn_accel"]) {
    vehicle.maxTurnAccel = in.real(accel, "vehicle.max_turn_accel", common::Bound::NonNegative);
  }
}

void applyNoise(const PartReader& in, const YAML::Node& group, SuiteScenario& into) {
  in.checkMapping(group, "noise", kNoiseFields);
  common::VehicleSettings& vehicle = into.settings.vehicle;
  if (const YAML::Node xy = group["xy"]) {
    vehicle.noiseXY = in.real(xy, "noise.xy", common::Bound::NonNegative);
  }
  if (const YAML::Node heading = group["heading"]) {
    vehicle.noiseHeading =
        common::toRadians(in.real(heading, "noise.heading", common::Bound::NonNegative));
  }
  if (const YAML::Node seed = group["seed"]) {
    into.scenario.noiseSeed = in.whole(seed, "noise.seed");
  }
}

void applyPass(const PartReader& in, const YAML::Node& group, SuiteScenario& into) {
  in.checkMapping(group, "pass", kPassFields);
  RunSettings& run = into.settings;
  PassCriteria& pass = into.criteria;
  if (const YAML::Node value = group["position_tolerance"]) {
    run.positionTolerance = in.real(value, "pass.position_tolerance", common::Bound::Positive);
  }
  if (const YAML::Node value = group["heading_tolerance"]) {
    run.headingTolerance =
        common::toRadians(in.real(value, "pass.heading_tolerance", common::Bound::Positive));
  }
  if (const YAML::Node value = group["time_limit"]) {
    run.timeLimit = in.real(value, "pass.time_limit", common::Bound::Positive);
  }
  if (const YAML::Node value = group["max_cross_track"]) {
    pass.maxCrossTrack = in.real(value, "pass.max_cross_track", common::Bound::NonNegative);
  }
  if (const YAML::Node value = group["max_distance_ratio"]) {
    pass.maxDistanceRatio = in.real(value, "pass.max_distance_ratio", common::Bound::Positive);
  }
  if (const YAML::Node value = group["first_turn_on_the_spot"]) {
    pass.firstTurnOnTheSpot = in.flag(value, "pass.first_turn_on_the_spot");
  }
  if (const YAML::Node value = group["min_clearance"]) {
    pass.minClearance = in.real(value, "pass.min_clearance", common::Bound::NonNegative);
  }
  if (const YAML::Node value = group["ends_blocked"]) {
    pass.endsBlocked = in.flag(value, "pass.ends_blocked");
  }
  if (const YAML::Node value = group["waits"]) {
    pass.waits = in.flag(value, "pass.waits");
  }
  if (const YAML::Node value = group["undisturbed"]) {
    pass.undisturbed = in.flag(value, "pass.undisturbed");
  }
}

// Applies the fields present in `node` (a scenario or the defaults) over `into`.
void applyFields(const PartReader& in, const YAML::Node& node, SuiteScenario& into) {
  if (const YAML::Node period = node["period"]) {
    into.settings.period = in.real(period, "period", common::Bound::Positive);
  }
  if (const YAML::Node group = node["vehicle"]) {
    applyVehicle(in, group, into.settings.vehicle);
  }
  if (const YAML::Node group = node["noise"]) {
    applyNoise(in, group, into);
  }
  if (const YAML::Node group = node["pass"]) {
    applyPass(in, group, into);
  }
  if (const YAML::Node group = node["footprint"]) {
    applyFootprint(in, group, into.settings.footprint);
  }
  if (const YAML::Node group = node["laser"]) {
    applyLaser(in, group, into.settings.laser);
  }
  if (const YAML::Node group = node["clearance"]) {
    applyClearance(in, group, into.settings.clearance);
  }
}

// waypoints: two or more poses, the straight runs between them filled every `spacing` metres
// when the scenario sets one.
void readWaypoints(const PartReader& in, const YAML::Node& node, Scenario& scenario) {
  const YAML::Node list = node["waypoints"];
  for (const char* field : {"start", "goal"}) {
    if (node[field]) {
      in.complain(list, "waypoints",
                  "not with start or goal: the first waypoint is the start, the last the goal");
    }
  }
  if (!list.IsSequence() || list.size() < 2) {
    in.complain(list, "waypoints", "expected a list of two or more [x, y, heading in degrees]");
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    scenario.waypoints.push_back(in.pose(list[i], fmt::format("waypoints[{}]", i)));
  }
  if (const YAML::Node spacing = node["spacing"]) {
    const auto filled =
        fillStraightRuns(scenario.waypoints, in.real(spacing, "spacing", common::Bound::Positive));
    if (!filled) {
      in.complain(spacing, "spacing",
                  fmt::format("fills the route with more than {} poses", kMaxFilledPoses));
    }
    scenario.waypoints = *filled;
  }
  scenario.start = scenario.waypoints.front();
  scenario.goal = scenario.waypoints.back();
}

// The route: a start and a goal, or waypoints.
void readRoute(const PartReader& in, const YAML::Node& node, Scenario& scenario) {
  if (node["waypoints"]) {
    readWaypoints(in, node, scenario);
    return;
  }
  if (node["spacing"]) {
    in.complain(node["spacing"], "spacing", "only with waypoints, whose straight runs it fills");
  }
  for (const char* field : {"start", "goal"}) {
    if (!node[field]) {
      in.complain(node, field, "missing");
    }
  }
  scenario.start = in.pose(node["start"], "start");
  scenario.goal = in.pose(node["goal"], "goal");
}

// What the fields cannot say one by one.
void checkWhole(const PartReader& in, const YAML::Node& node, const SuiteScenario& scenario) {
  const RunSettings& run = scenario.settings;
  if (run.period > run.timeLimit) {
    in.complain(node, "period", "the control period is longer than the time limit");
  }
  if (run.timeLimit / run.period > kMaxCyclesPerRun) {
    in.complain(node, "period",
                fmt::format("more than {} cycles fit in the time limit", kMaxCyclesPerRun));
  }
  const Scenario& s = scenario.scenario;
  if (s.waypoints.empty() && s.start.x == 0.0 && s.start.y == 0.0 && s.goal.x == 0.0 &&
      s.goal.y == 0.0) {
    // The controller reads a path from the origin to the origin as no path at all.
    in.complain(node["goal"], "goal",
                "start and goal both at the origin give the controller no path");
  }
  if (scenario.criteria.maxDistanceRatio && routeLength(s) == 0.0) {
    in.complain(node["goal"], "pass.max_distance_ratio",
                "the vehicle starts at the goal position, so there is no straight-line distance");
  }
}

// The whole file; a folder, or anything else that cannot be read, is refused.
std::string textOf(const std::filesystem::path& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    throw UsageError("--suite: cannot read " + path.string() + ": it is a folder");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw UsageError("--suite: cannot read " + path.string() + ": " + std::strerror(errno));
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    throw UsageError("--suite: cannot read " + path.string());
  }
  return text.str();
}

SuiteScenario readScenario(const std::string& file, const YAML::Node& node, int number,
                           const SuiteScenario& defaults, std::set<std::string>& names) {
  PartReader in(file, fmt::format("scenario {}", number));
  in.expectMapping(node, "", kScenarioFields);
  SuiteScenario scenario = defaults;
  scenario.line = node.Mark().line + 1;
  const YAML::Node name = node["name"];
  if (!name) {
    in.complain(node, "name", "missing");
  }
  scenario.name = in.word(name, "name");
  if (scenario.name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                      "0123456789_-") != std::string::npos) {
    // Names become file names and test-case names.
    in.complain(name, "name", "'" + scenario.name + "' may hold only letters, digits, '-' and '_'");
  }
  in.rename("scenario '" + scenario.name + "'");
  in.checkMapping(node, "", kScenarioFields);
  if (!names.insert(scenario.name).second) {
    in.complain(name, "name", "a scenario of that name comes earlier in the file");
  }
  readRoute(in, node, scenario.scenario);
  if (const YAML::Node vehicleStart = node["vehicle_start"]) {
    scenario.scenario.vehicleStart = in.pose(vehicleStart, "vehicle_start");
  }
  if (const YAML::Node list = node["obstacles"]) {
    scenario.scenario.obstacles = readObstacles(in, list);
  }
  applyFields(in, node, scenario);
  checkWhole(in, node, scenario);
  return scenario;
}

}  // namespace

Suite readSuite(const std::filesystem::path& path) {
  const std::string file = path.string();
  YAML::Node root;
  try {
    root = YAML::Load(textOf(path));
  } catch (const YAML::ParserException& error) {
    throw UsageError(fmt::format("{}:{}: {}", file, error.mark.line + 1, error.msg));
  }
  PartReader top(file, "");
  top.checkMapping(root, "", kTopFields);

  SuiteScenario defaults{};
  defaults.scenario.noiseSeed = 1;
  if (const YAML::Node node = root["defaults"]) {
    PartReader in(file, "defaults");
    in.checkMapping(node, "", kScenarioFields);
    for (const std::string& own : kOwnFields) {
      if (node[own]) {
        in.complain(node[own], own, "belongs to a scenario, not to the defaults");
      }
    }
    applyFields(in, node, defaults);
  }
  const YAML::Node list = root["scenarios"];
  if (!list || !list.IsSequence() || list.size() == 0) {
    top.complain(list ? list : root, "scenarios", "expected a list of one or more scenarios");
  }
  Suite suite{path.stem().string(), {}};
  std::set<std::string> names;
  int number = 0;
  for (const YAML::Node& node : list) {
    suite.scenarios.push_back(readScenario(file, node, ++number, defaults, names));
  }
  return suite;
}

}  // namespace sim
