#include "sim/cli/options.hpp"

#include <CLI/CLI.hpp>

#include <cmath>
#include <iostream>
#include <limits>
#include <vector>

#include <fmt/format.h>

#include "common/number_text.hpp"
#include "sim/workers/workers.hpp"

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

// CLI11 checks each value as text before converting it, and puts the option's name in front of
// the message returned here.
CLI::Validator realCheck(common::Bound bound) {
  return CLI::Validator(
      [bound](std::string& text) {
        return common::realComplaint(text, bound).value_or(std::string());
      },
      "");
}

CLI::Validator wholeNumberCheck(std::uint64_t lowest, std::uint64_t highest) {
  return CLI::Validator(
      [lowest, highest](std::string& text) {
        return common::wholeNumberComplaint(text, lowest, highest).value_or(std::string());
      },
      "");
}

common::Pose2D poseFrom(const std::vector<double>& xyDegrees) {
  return {xyDegrees[0], xyDegrees[1], common::toRadians(xyDegrees[2])};
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
      "Headings are in degrees, counter-clockwise from x. Exit status: 0 every run reached its "
      "goal within the tolerances, 1 a run failed, 2 bad command-line input, 3 the output "
      "could not be written or drawn or a worker process failed.");

  Options options;
  std::vector<double> start(std::begin(kDefaultStart), std::end(kDefaultStart));
  std::vector<double> goal(std::begin(kDefaultGoal), std::end(kDefaultGoal));
  std::string mode = "unicycle";
  double noiseHeadingDegrees = 0.0;
  double headingToleranceDegrees = common::toDegrees(options.run.headingTolerance);
  std::uint64_t seed = kDefaultSeed;
  int batchCount = 0;
  double batchRadius = kDefaultBatchRadius;
  bool noPlot = false;
  options.outputFolder = kDefaultOutputFolder;
  options.jobs = availableCores();

  RunSettings& run = options.run;
  common::VehicleSettings& vehicle = run.vehicle;
  app.add_option("--mode", mode, "Vehicle model: unicycle or differential")
      ->type_name("MODE")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            return text == "unicycle" || text == "differential"
                       ? std::string()
                       : "unknown mode '" + text + "' (use unicycle or differential)";
          },
          ""))
      ->capture_default_str();
  auto* startOption = app.add_option("--start", start, "Start pose X,Y,HEADING")
                          ->type_name("X,Y,DEG")
                          ->expected(3)
                          ->delimiter(',')
                          ->check(realCheck(common::Bound::Any))
                          ->capture_default_str();
  auto* goalOption = app.add_option("--goal", goal, "Goal pose X,Y,HEADING")
                         ->type_name("X,Y,DEG")
                         ->expected(3)
                         ->delimiter(',')
                         ->check(realCheck(common::Bound::Any))
                         ->capture_default_str();
  app.add_option("--period", run.period, "Control period in seconds")
      ->type_name("S")
      ->check(realCheck(common::Bound::Positive))
      ->capture_default_str();
  app.add_option("--time-limit", run.timeLimit, "Simulated seconds before a run counts as failed")
      ->type_name("S")
      ->check(realCheck(common::Bound::Positive))
      ->capture_default_str();
  app.add_option("--width", vehicle.width, "Distance between the drive wheels (differential)")
      ->type_name("M")
      ->check(realCheck(common::Bound::Positive))
      ->capture_default_str();
  app.add_option("--max-accel", vehicle.maxAccel, "Forward acceleration limit, 0 for none")
      ->type_name("M/S2")
      ->check(realCheck(common::Bound::NonNegative))
      ->capture_default_str();
  app.add_option("--max-turn-accel", vehicle.maxTurnAccel,
                 "Turn-rate acceleration limit, 0 for none")
      ->type_name("RAD/S2")
      ->check(realCheck(common::Bound::NonNegative))
      ->capture_default_str();
  app.add_option("--noise-xy", vehicle.noiseXY,
                 "Standard deviation of the measured position, 0 for none")
      ->type_name("M")
      ->check(realCheck(common::Bound::NonNegative))
      ->capture_default_str();
  app.add_option("--noise-heading", noiseHeadingDegrees,
                 "Standard deviation of the measured heading, 0 for none")
      ->type_name("DEG")
      ->check(realCheck(common::Bound::NonNegative))
      ->capture_default_str();
  app.add_option("--seed", seed, "Seed of the pose noise, and of the batch's scenarios")
      ->type_name("N")
      ->check(wholeNumberCheck(0, std::numeric_limits<std::uint64_t>::max()))
      ->capture_default_str();
  app.add_option("--position-tolerance", run.positionTolerance,
                 "Largest final position error of a successful run")
      ->type_name("M")
      ->check(realCheck(common::Bound::Positive))
      ->capture_default_str();
  app.add_option("--heading-tolerance", headingToleranceDegrees,
                 "Largest final heading error of a successful run")
      ->type_name("DEG")
      ->check(realCheck(common::Bound::Positive))
      ->capture_default_str();
  auto* batchOption = app.add_option("--batch", batchCount, "Run N random scenarios instead of one")
                          ->type_name("N")
                          ->check(wholeNumberCheck(1, kMaxBatchCount));
  app.add_option("--radius", batchRadius, "Batch: start and goal lie within this radius")
      ->type_name("M")
      ->check(realCheck(common::Bound::Positive))
      ->capture_default_str();
  app.add_option("--out", options.outputFolder, "Output folder, created if missing")
      ->type_name("DIR")
      ->capture_default_str();
  app.add_flag("--no-plot", noPlot, "Write the CSV only, draw no picture");
  auto* suiteOption =
      app.add_option("--suite", options.suiteFile, "Run the scenarios of a suite file (YAML)")
          ->type_name("FILE");
  auto* junitOption = app.add_option("--junit", options.junitFile,
                                     "Batch or suite: also write the result as JUnit XML")
                          ->type_name("FILE");
  app.add_option("--jobs", options.jobs, "Batch or suite: run the scenarios in N worker processes")
      ->type_name("N")
      ->check(wholeNumberCheck(1, kMaxJobs))
      ->capture_default_str();
  addDdsOptions(app, options.dds);
  startOption->excludes(batchOption);
  goalOption->excludes(batchOption);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return std::nullopt;
  } catch (const CLI::ParseError& error) {
    throw UsageError(error.what());
  }

  if (suiteOption->count() > 0) {
    for (const char* perScenario :
         {"--batch", "--radius", "--start", "--goal", "--mode", "--period", "--time-limit",
          "--width", "--max-accel", "--max-turn-accel", "--noise-xy", "--noise-heading", "--seed",
          "--position-tolerance", "--heading-tolerance"}) {
      if (app.get_option(perScenario)->count() > 0) {
        throw UsageError(std::string(perScenario) +
                         ": not with --suite, whose file sets it for each scenario");
      }
    }
  }
  if (junitOption->count() > 0 && batchOption->count() == 0 && suiteOption->count() == 0) {
    throw UsageError("--junit: needs --batch or --suite");
  }
  if (options.junitFile.empty() && junitOption->count() > 0) {
    throw UsageError("--junit: the file name is empty");
  }
  if (options.outputFolder.empty()) {
    throw UsageError("--out: the output folder name is empty");
  }
  if (run.period > run.timeLimit) {
    throw UsageError("--period: the control period is longer than the time limit");
  }
  if (run.timeLimit / run.period > kMaxCyclesPerRun) {
    throw UsageError(fmt::format(
        "--period: more than {} cycles fit in the time limit; lengthen the period or shorten "
        "the time limit",
        kMaxCyclesPerRun));
  }
  vehicle.kind =
      mode == "unicycle" ? common::VehicleKind::Unicycle : common::VehicleKind::Differential;
  vehicle.noiseHeading = common::toRadians(noiseHeadingDegrees);
  run.headingTolerance = common::toRadians(headingToleranceDegrees);
  options.plot = !noPlot;
  options.scenario = {poseFrom(start), poseFrom(goal), seed};
  if (batchCount > 0) {
    options.batch = BatchSettings{batchCount, batchRadius, seed};
  } else if (start[0] == 0.0 && start[1] == 0.0 && goal[0] == 0.0 && goal[1] == 0.0) {
    // The controller reads a path from the origin to the origin as no path at all.
    throw UsageError("--goal: start and goal both at the origin give the controller no path");
  }
  return options;
}

}  // namespace sim
