#include "sim/options.hpp"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <iostream>
#include <limits>
#include <vector>

#include <fmt/format.h>

namespace sim {
namespace {

// Defaults of the embedded scenario: the vehicle starts at the origin facing away from the goal,
// which lies a few metres off at another heading, so that all three phases of a run show.
constexpr double kDefaultStart[] = {0.0, 0.0, 180.0};  // m, m, degrees
constexpr double kDefaultGoal[] = {4.0, 2.0, 90.0};    // m, m, degrees
constexpr std::uint64_t kDefaultSeed = 1;
constexpr double kDefaultBatchRadius = 5.0;  // m
constexpr int kMaxBatchCount = 1000000;
// Bounds the trace a single run keeps in memory and writes (about 100 bytes a cycle).
constexpr double kMaxCyclesPerRun = 1e6;

enum class Bound { Any, Positive, NonNegative };

// Strict decimal reading: the whole text must be the number, as from_chars reads it (no
// whitespace, no hexadecimal; a leading '+' is allowed). Returns the complaint, or nothing.
std::optional<std::string> realComplaint(const std::string& text, Bound bound) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') {
    ++first;
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (first == last || end != last || error == std::errc::invalid_argument) {
    return "'" + text + "' is not a number";
  }
  if (error == std::errc::result_out_of_range) {
    return "'" + text + "' is out of range";
  }
  if (!std::isfinite(value)) {
    return "'" + text + "' is not a finite number";
  }
  if (bound == Bound::Positive && !(value > 0.0)) {
    return "must be positive, got '" + text + "'";
  }
  if (bound == Bound::NonNegative && value < 0.0) {
    return "must not be negative, got '" + text + "'";
  }
  return std::nullopt;
}

// CLI11 checks each value as text before converting it, and puts the option's name in front of
// the message returned here.
CLI::Validator realCheck(Bound bound) {
  return CLI::Validator(
      [bound](std::string& text) { return realComplaint(text, bound).value_or(std::string()); },
      "");
}

CLI::Validator wholeNumberCheck(std::uint64_t lowest, std::uint64_t highest) {
  return CLI::Validator(
      [lowest, highest](std::string& text) -> std::string {
        std::uint64_t value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error == std::errc::invalid_argument ||
            end != text.data() + text.size()) {
          return "'" + text + "' is not a whole number";
        }
        if (error == std::errc::result_out_of_range || value < lowest || value > highest) {
          return "must be a whole number from " + std::to_string(lowest) + " to " +
                 std::to_string(highest) + ", got '" + text + "'";
        }
        return {};
      },
      "");
}

Pose2D poseFrom(const std::vector<double>& xyDegrees) {
  return {xyDegrees[0], xyDegrees[1], toRadians(xyDegrees[2])};
}

}  // namespace

std::optional<Options> parseOptions(int argc, const char* const* argv) {
  CLI::App app{
      "trelvo-sim: plays the host of the trelvo Controller in closed loop with a simulated "
      "vehicle.\nWithout options it runs one representative scenario and writes run.csv and "
      "run.png into " +
          std::string(kDefaultOutputFolder) +
          ".\nWith --batch it runs random scenarios and writes batch.csv and batch.png.",
      "trelvo-sim"};
  app.get_formatter()->column_width(36);
  app.footer(
      "Headings are in degrees, counter-clockwise from x. Exit status: 0 every run reached its "
      "goal within the tolerances, 1 a run failed, 2 bad command-line input, 3 the output "
      "could not be written or drawn.");

  Options options;
  std::vector<double> start(std::begin(kDefaultStart), std::end(kDefaultStart));
  std::vector<double> goal(std::begin(kDefaultGoal), std::end(kDefaultGoal));
  std::string mode = "unicycle";
  double noiseHeadingDegrees = 0.0;
  double headingToleranceDegrees = toDegrees(options.run.headingTolerance);
  std::uint64_t seed = kDefaultSeed;
  int batchCount = 0;
  double batchRadius = kDefaultBatchRadius;
  bool noPlot = false;
  options.outputFolder = kDefaultOutputFolder;

  RunSettings& run = options.run;
  VehicleSettings& vehicle = run.vehicle;
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
                          ->check(realCheck(Bound::Any))
                          ->capture_default_str();
  auto* goalOption = app.add_option("--goal", goal, "Goal pose X,Y,HEADING")
                         ->type_name("X,Y,DEG")
                         ->expected(3)
                         ->delimiter(',')
                         ->check(realCheck(Bound::Any))
                         ->capture_default_str();
  app.add_option("--period", run.period, "Control period in seconds")
      ->type_name("S")
      ->check(realCheck(Bound::Positive))
      ->capture_default_str();
  app.add_option("--time-limit", run.timeLimit, "Simulated seconds before a run counts as failed")
      ->type_name("S")
      ->check(realCheck(Bound::Positive))
      ->capture_default_str();
  app.add_option("--width", vehicle.width, "Distance between the drive wheels (differential)")
      ->type_name("M")
      ->check(realCheck(Bound::Positive))
      ->capture_default_str();
  app.add_option("--max-accel", vehicle.maxAccel, "Forward acceleration limit, 0 for none")
      ->type_name("M/S2")
      ->check(realCheck(Bound::NonNegative))
      ->capture_default_str();
  app.add_option("--max-turn-accel", vehicle.maxTurnAccel,
                 "Turn-rate acceleration limit, 0 for none")
      ->type_name("RAD/S2")
      ->check(realCheck(Bound::NonNegative))
      ->capture_default_str();
  app.add_option("--noise-xy", vehicle.noiseXY,
                 "Standard deviation of the measured position, 0 for none")
      ->type_name("M")
      ->check(realCheck(Bound::NonNegative))
      ->capture_default_str();
  app.add_option("--noise-heading", noiseHeadingDegrees,
                 "Standard deviation of the measured heading, 0 for none")
      ->type_name("DEG")
      ->check(realCheck(Bound::NonNegative))
      ->capture_default_str();
  app.add_option("--seed", seed, "Seed of the pose noise, and of the batch's scenarios")
      ->type_name("N")
      ->check(wholeNumberCheck(0, std::numeric_limits<std::uint64_t>::max()))
      ->capture_default_str();
  app.add_option("--position-tolerance", run.positionTolerance,
                 "Largest final position error of a successful run")
      ->type_name("M")
      ->check(realCheck(Bound::Positive))
      ->capture_default_str();
  app.add_option("--heading-tolerance", headingToleranceDegrees,
                 "Largest final heading error of a successful run")
      ->type_name("DEG")
      ->check(realCheck(Bound::Positive))
      ->capture_default_str();
  auto* batchOption = app.add_option("--batch", batchCount, "Run N random scenarios instead of one")
                          ->type_name("N")
                          ->check(wholeNumberCheck(1, kMaxBatchCount));
  app.add_option("--radius", batchRadius, "Batch: start and goal lie within this radius")
      ->type_name("M")
      ->check(realCheck(Bound::Positive))
      ->capture_default_str();
  app.add_option("--out", options.outputFolder, "Output folder, created if missing")
      ->type_name("DIR")
      ->capture_default_str();
  app.add_flag("--no-plot", noPlot, "Write the CSV only, draw no picture");
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
  vehicle.kind = mode == "unicycle" ? VehicleKind::Unicycle : VehicleKind::Differential;
  vehicle.noiseHeading = toRadians(noiseHeadingDegrees);
  run.headingTolerance = toRadians(headingToleranceDegrees);
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
