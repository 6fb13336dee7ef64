#include "sim/cli/options.hpp"

#include <CLI/CLI.hpp>

#include <limits>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "common/command_line.hpp"
#include "common/number_text.hpp"
#include "sim/workers/workers.hpp"
#include "trelvo/route.hpp"

namespace sim {
namespace {

// Defaults of the embedded scenario: the vehicle starts at the origin facing away from the goal,
// which lies a few metres off at another heading, so that all three phases of a run show.
constexpr double kDefaultStart[] = {0.0, 0.0, 180.0};  // m, m, degrees
constexpr double kDefaultGoal[] = {4.0, 2.0, 90.0};    // m, m, degrees
constexpr std::uint64_t kDefaultSeed = 1;
constexpr double kDefaultBatchRadius = 5.0;  // m
constexpr int kMaxBatchCount = 1000000;
constexpr int kMaxJobs = 1024;
constexpr std::size_t kPoseValues = 3;  // X, Y and heading of a pose on the command line

common::Pose2D poseFrom(const double* xyDegrees) {
  return {xyDegrees[0], xyDegrees[1], common::toRadians(xyDegrees[2])};
}

// The values as the command line gives them, before they become Options.
struct Given {
  std::vector<double> start{std::begin(kDefaultStart), std::end(kDefaultStart)};
  std::vector<double> goal{std::begin(kDefaultGoal), std::end(kDefaultGoal)};
  std::vector<double> waypoints;  // X,Y,DEG of each pose, one after the other
  std::string mode = "unicycle";
  double noiseHeadingDegrees = 0.0;
  double headingToleranceDegrees = common::toDegrees(RunSettings{}.headingTolerance);
  std::uint64_t seed = kDefaultSeed;
  int batchCount = 0;
  double batchRadius = kDefaultBatchRadius;
  bool noPlot = false;
  GivenObstacles obstacles;
};

// Pose options take any number of values from CLI11, which would count them in numbers;
// checkPoseCounts counts them in poses.
CLI::Option* addPose(CLI::App& app, const std::string& name, std::vector<double>& xyDegrees,
                     const std::string& what) {
  return app.add_option(name, xyDegrees, what)
      ->expected(1, -1)
      ->delimiter(',')
      ->check(common::realCheck(common::Bound::Any));
}

// The route of a single run.
void addRouteOptions(CLI::App& app, Given& given) {
  addPose(app, "--start", given.start, "Start pose X,Y,HEADING");
  addPose(app, "--goal", given.goal, "Goal pose X,Y,HEADING");
  app.add_option("--waypoints", given.waypoints,
                 "A route of two or more poses instead of start and goal: the first is the "
                 "start, the last the goal")
      ->type_name("X,Y,DEG")
      ->expected(1, -1)
      ->delimiter(',')
      ->check(common::realCheck(common::Bound::Any));
  app.get_option("--waypoints")->excludes("--start")->excludes("--goal");
}

void addVehicleOptions(CLI::App& app, Given& given, common::VehicleSettings& vehicle) {
  app.add_option("--width", vehicle.width, "Distance between the drive wheels (differential)")
      ->type_name("M")
      ->check(common::realCheck(common::Bound::Positive))
      ->capture_default_str();
  app.add_option("--max-accel", vehicle.maxAccel, "Forward acceleration limit, 0 for none")
      ->type_name("M/S2")
      ->check(common::realCheck(common::Bound::NonNegative))
      ->capture_default_str();
  app.add_option("--max-turn-accel", vehicle.maxTurnAccel,
                 "Turn-rate acceleration limit, 0 for none")
      ->type_name("RAD/S2")
      ->check(common::realCheck(common::Bound::NonNegative))
      ->capture_default_str();
  app.add_option("--noise-xy", vehicle.noiseXY,
                 "Standard deviation of the measured position, 0 for none")
      ->type_name("M")
      ->check(common::realCheck(common::Bound::NonNegative))
      ->capture_default_str();
  app.add_option("--noise-heading", given.noiseHeadingDegrees,
                 "Standard deviation of the measured heading, 0 for none")
      ->type_name("DEG")
      ->check(common::realCheck(common::Bound::NonNegative))
      ->capture_default_str();
  app.add_option("--seed", given.seed, "Seed of the pose noise, and of the batch's scenarios")
      ->type_name("N")
      ->check(common::wholeNumberCheck(0, std::numeric_limits<std::uint64_t>::max()))
      ->capture_default_str();
}

void addPassOptions(CLI::App& app, Given& given, RunSettings& run) {
  app.add_option("--position-tolerance", run.positionTolerance,
                 "Largest final position error of a successful run (the default reaches the "
                 "corners of the 0.05 m box in which the controller calls the vehicle arrived)")
      ->type_name("M")
      ->check(common::realCheck(common::Bound::Positive))
      ->capture_default_str();
  app.add_option("--heading-tolerance", given.headingToleranceDegrees,
                 "Largest final heading error of a successful run")
      ->type_name("DEG")
      ->check(common::realCheck(common::Bound::Positive))
      ->capture_default_str();
}

void addBatchOptions(CLI::App& app, Given& given) {
  app.add_option("--batch", given.batchCount, "Run N random scenarios instead of one")
      ->type_name("N")
      ->check(common::wholeNumberCheck(1, kMaxBatchCount))
      ->excludes("--start")
      ->excludes("--goal")
      ->excludes("--waypoints");
  app.add_option("--radius", given.batchRadius, "Batch: start and goal lie within this radius")
      ->type_name("M")
      ->check(common::realCheck(common::Bound::Positive))
      ->capture_default_str();
}

void addOutputOptions(CLI::App& app, Given& given, Options& options) {
  app.add_option("--out", options.outputFolder, "Output folder, created if missing")
      ->type_name("DIR")
      ->capture_default_str();
  app.add_flag("--no-plot", given.noPlot, "Write the CSV only, draw no picture");
  app.add_option("--suite", options.suiteFile, "Run the scenarios of a suite file (YAML)")
      ->type_name("FILE");
  app.add_option("--junit", options.junitFile, "Batch or suite: also write the result as JUnit XML")
      ->type_name("FILE");
  app.add_option("--jobs", options.jobs, "Batch or suite: run the scenarios in N worker processes")
      ->type_name("N")
      ->check(common::wholeNumberCheck(1, kMaxJobs))
      ->capture_default_str();
}

// --help would list a pose option that takes any number of values as a list ("X,Y,DEG ..."):
// it shows the one pose it takes, its default and the options it excludes.
void showAsOnePose(CLI::Option& option, const std::vector<double>& xyDegrees) {
  std::string text = fmt::format("X,Y,DEG={}", fmt::join(xyDegrees, ","));
  if (!option.get_excludes().empty()) {
    text += " Excludes:";
    for (const CLI::Option* other : option.get_excludes()) {
      text += " " + other->get_name();
    }
  }
  option.option_text(text);
}

// The options in the order --help lists them: the vehicle's model and the route, the control
// period and time limit, the vehicle, the pass criteria, the batch, the output.
void addOptions(CLI::App& app, Given& given, Options& options) {
  RunSettings& run = options.run;
  app.add_option("--mode", given.mode, "Vehicle model: unicycle or differential")
      ->type_name("MODE")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            return text == "unicycle" || text == "differential"
                       ? std::string()
                       : "unknown mode '" + text + "' (use unicycle or differential)";
          },
          ""))
      ->capture_default_str();
  addRouteOptions(app, given);
  app.add_option("--period", run.period, "Control period in seconds")
      ->type_name("S")
      ->check(common::realCheck(common::Bound::Positive))
      ->capture_default_str();
  app.add_option("--time-limit", run.timeLimit, "Simulated seconds before a run counts as failed")
      ->type_name("S")
      ->check(common::realCheck(common::Bound::Positive))
      ->capture_default_str();
  addVehicleOptions(app, given, run.vehicle);
  addPassOptions(app, given, run);
  addObstacleOptions(app, given.obstacles, run.laser);
  addBatchOptions(app, given);
  addOutputOptions(app, given, options);
  addDdsOptions(app, options.dds);
  showAsOnePose(*app.get_option("--start"), given.start);
  showAsOnePose(*app.get_option("--goal"), given.goal);
}

// The period and the time limit, named as the user gave them.
void checkCycles(const CLI::App& app, const RunSettings& run) {
  std::vector<std::string> named;
  for (const char* option : {"--period", "--time-limit"}) {
    if (app.count(option) > 0) {
      named.emplace_back(option);
    }
  }
  const std::string options =
      named.empty() ? "--period" : fmt::format("{}", fmt::join(named, ", "));
  if (run.period > run.timeLimit) {
    throw UsageError(options + ": the control period is longer than the time limit");
  }
  if (run.timeLimit / run.period > kMaxCyclesPerRun) {
    throw UsageError(fmt::format(
        "{}: {:.0f} cycles of {:g} s fit in the time limit of {:g} s, more than the {:.0f} a run "
        "may take; shorten the time limit or lengthen the period",
        options, run.timeLimit / run.period, run.period, run.timeLimit, kMaxCyclesPerRun));
  }
}

// "2 poses", or "7 numbers" when they make no whole poses.
std::string poseCount(std::size_t numbers) {
  return numbers % kPoseValues == 0
             ? fmt::format("{} pose{}", numbers / kPoseValues, numbers == kPoseValues ? "" : "s")
             : fmt::format("{} numbers", numbers);
}

void checkPoseCounts(const Given& given) {
  for (const auto& [option, xyDegrees] :
       {std::pair{"--start", &given.start}, std::pair{"--goal", &given.goal}}) {
    if (xyDegrees->size() != kPoseValues) {
      throw UsageError(
          fmt::format("{}: needs one pose X,Y,DEG, got {}", option, poseCount(xyDegrees->size())));
    }
  }
  const std::size_t numbers = given.waypoints.size();
  if (numbers % kPoseValues != 0) {
    throw UsageError(
        fmt::format("--waypoints: expected X,Y,DEG for each pose, got {} numbers", numbers));
  }
  if (numbers == kPoseValues) {
    throw UsageError("--waypoints: needs at least 2 poses (X,Y,DEG each), got 1");
  }
}

// Positions the controller would not take: x or y beyond its reach from the origin.
void checkReach(const Given& given) {
  const auto check = [](const char* option, const std::vector<double>& xyDegrees) {
    for (std::size_t i = 0; i < xyDegrees.size(); ++i) {
      if (i % kPoseValues != 2 && !trelvo::isWithinReach(xyDegrees[i])) {
        throw UsageError(fmt::format(
            "{}: {:g} m lies beyond the 1e9 m from the origin that the controller takes", option,
            xyDegrees[i]));
      }
    }
  };
  check("--start", given.start);
  check("--goal", given.goal);
  check("--waypoints", given.waypoints);
  if (!trelvo::isWithinReach(given.batchRadius)) {
    throw UsageError(fmt::format(
        "--radius: {:g} m lies beyond the 1e9 m from the origin that the controller takes",
        given.batchRadius));
  }
}

// What the options cannot say one by one.
void checkTogether(const CLI::App& app, const Given& given, const Options& options) {
  if (app.count("--suite") > 0) {
    for (const char* perScenario : {"--batch",
                                    "--radius",
                                    "--start",
                                    "--goal",
                                    "--waypoints",
                                    "--mode",
                                    "--period",
                                    "--time-limit",
                                    "--width",
                                    "--max-accel",
                                    "--max-turn-accel",
                                    "--noise-xy",
                                    "--noise-heading",
                                    "--seed",
                                    "--position-tolerance",
                                    "--heading-tolerance",
                                    "--obstacle",
                                    "--footprint",
                                    "--footprint-radius",
                                    "--laser-range",
                                    "--laser-fov",
                                    "--laser-resolution",
                                    "--laser-rate",
                                    "--laser-noise",
                                    "--laser-mount"}) {
      if (app.count(perScenario) > 0) {
        throw UsageError(std::string(perScenario) +
                         ": not with --suite, whose file sets it for each scenario");
      }
    }
  }
  const bool manyRuns = app.count("--batch") > 0 || app.count("--suite") > 0;
  for (const char* option : {"--junit", "--jobs"}) {
    if (app.count(option) > 0 && !manyRuns) {
      throw UsageError(std::string(option) + ": needs --batch or --suite");
    }
  }
  if (app.count("--radius") > 0 && app.count("--batch") == 0) {
    throw UsageError("--radius: needs --batch");
  }
  if (app.count("--width") > 0 && given.mode != "differential") {
    throw UsageError("--width: only for --mode differential; the unicycle has no wheel track");
  }
  if (options.junitFile.empty() && app.count("--junit") > 0) {
    throw UsageError("--junit: the file name is empty");
  }
  if (options.outputFolder.empty()) {
    throw UsageError("--out: the output folder name is empty");
  }
  // On DDS the vehicle runs in real time, in steps of its own rate, not in control periods.
  if (!options.dds) {
    checkCycles(app, options.run);
  }
}

// The single run's route: the waypoints, or the start and the goal.
Scenario scenarioFrom(const Given& given) {
  Scenario scenario{poseFrom(given.start.data()), poseFrom(given.goal.data()), given.seed};
  if (given.waypoints.empty()) {
    return scenario;
  }
  for (std::size_t i = 0; i < given.waypoints.size(); i += kPoseValues) {
    scenario.waypoints.push_back(poseFrom(&given.waypoints[i]));
  }
  scenario.start = scenario.waypoints.front();
  scenario.goal = scenario.waypoints.back();
  return scenario;
}

}  // namespace

std::optional<Options> parseOptions(int argc, const char* const* argv) {
  CLI::App app{
      "trelvo-sim: plays the host of the trelvo Controller in closed loop with a simulated "
      "vehicle.\nWithout options it runs one representative scenario and writes run.csv and "
      "run.png into " +
          std::string(kDefaultOutputFolder) +
          ".\nWith --batch it runs random scenarios and writes batch.csv and batch.png.\nWith "
          "--suite it runs the named scenarios of a YAML file against their pass criteria and "
          "writes suite.csv, and a trace and a picture of each failed scenario.",
      "trelvo-sim"};
  app.get_formatter()->column_width(36);
  app.footer(
      "Headings are in degrees, counter-clockwise from x.\n"
      "Exit status:\n"
      "  0  every run reached its goal within the tolerances; --dds: stopped by SIGINT, SIGTERM\n"
      "     or --duration, or the vehicle stands at the last of the --waypoints\n"
      "  1  a run failed; --dds: the time limit passed before the vehicle stood at the last of\n"
      "     the --waypoints\n"
      "  2  bad command-line input or suite file; nothing was written\n"
      "  3  the output could not be written or drawn, a worker process failed, or DDS failed");

  app.set_version_flag("--version", "trelvo-sim " TRELVO_VERSION);

  Options options;
  options.program = argc > 0 ? argv[0] : "trelvo-sim";
  options.outputFolder = kDefaultOutputFolder;
  options.jobs = availableCores();
  Given given;
  addOptions(app, given, options);
  try {
    if (!common::parseCommandLine(app, argc, argv)) {
      return std::nullopt;
    }
  } catch (const CLI::ParseError& error) {
    throw UsageError(error.what());
  }
  checkPoseCounts(given);
  checkTogether(app, given, options);
  checkReach(given);

  common::VehicleSettings& vehicle = options.run.vehicle;
  vehicle.kind =
      given.mode == "unicycle" ? common::VehicleKind::Unicycle : common::VehicleKind::Differential;
  vehicle.noiseHeading = common::toRadians(given.noiseHeadingDegrees);
  options.run.headingTolerance = common::toRadians(given.headingToleranceDegrees);
  options.plot = !given.noPlot;
  options.scenario = scenarioFrom(given);
  applyObstacleOptions(app, given.obstacles, options.scenario, options.run);
  const std::vector<double>& start = given.start;
  const std::vector<double>& goal = given.goal;
  if (given.batchCount > 0) {
    options.batch = BatchSettings{given.batchCount, given.batchRadius, given.seed,
                                  given.obstacles.randomObstacles};
  } else if (given.waypoints.empty() && start[0] == 0.0 && start[1] == 0.0 && goal[0] == 0.0 &&
             goal[1] == 0.0) {
    // The controller reads a path from the origin to the origin as no path at all.
    throw UsageError("--goal: start and goal both at the origin give the controller no path");
  }
  return options;
}

}  // namespace sim
