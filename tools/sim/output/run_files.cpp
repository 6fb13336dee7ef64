#include "sim/output/run_files.hpp"

#include <fmt/format.h>

#include "sim/output/csv_writer.hpp"
#include "sim/output/plotter.hpp"
#include "sim/output/report.hpp"
#include "sim/run/scenario_path.hpp"
#include "sim/world/obstacle_text.hpp"

namespace sim {
namespace {

std::vector<std::string> poseArguments(const char* option, const common::Pose2D& pose) {
  return {option, fmt::format("{}", pose.x), fmt::format("{}", pose.y),
          fmt::format("{}", common::toDegrees(pose.heading))};
}

// The points the legs of a route of waypoints join: where the first starts, then each end.
std::vector<std::string> routeArguments(const Scenario& scenario) {
  if (scenario.waypoints.empty()) {
    return {};
  }
  const std::vector<trelvo::Leg> legs = routeLegs(scenario);
  std::vector<std::string> arguments = {"--route"};
  for (std::size_t i = 0; i < legs.size(); ++i) {
    if (i == 0) {
      arguments.push_back(fmt::format("{}", legs[i].start.x));
      arguments.push_back(fmt::format("{}", legs[i].start.y));
    }
    arguments.push_back(fmt::format("{}", legs[i].end.x));
    arguments.push_back(fmt::format("{}", legs[i].end.y));
  }
  return arguments;
}

std::string pictureTitle(const RunResult& result, const RunSettings& settings,
                         const std::string& outcome) {
  return fmt::format("trelvo-sim: {}\n{}\nfinal error {:.4f} m, {:.2f} deg",
                     describeSettings(settings), outcome, result.positionError,
                     common::toDegrees(result.headingError));
}

std::vector<std::string> obstacleArguments(const Scenario& scenario) {
  std::vector<std::string> arguments;
  for (const Obstacle& obstacle : scenario.obstacles) {
    arguments.push_back("--obstacle=" + obstacleText(obstacle));
  }
  return arguments;
}

}  // namespace

std::string describeOutcome(const RunResult& result, const RunSettings& settings) {
  return succeeded(result) ? fmt::format("reached the goal in {:.2f} s", result.simulatedTime)
                           : failureReason(result, settings);
}

void writeRunFiles(const OutputFolder& folder, const std::string& stem, const Scenario& scenario,
                   const RunSettings& settings, const RunResult& result,
                   const std::vector<CycleRecord>& trace, const std::string& outcome, bool plot) {
  const auto csv = folder.file(stem + ".csv");
  writeTraceCsv(csv, trace);
  fmt::print("trace    {}\n", csv.string());
  if (plot) {
    const auto png = folder.file(stem + ".png");
    std::vector<std::string> arguments = {"--csv", csv.string(), "--title",
                                          pictureTitle(result, settings, outcome)};
    for (auto&& extra :
         {poseArguments("--start", scenario.start), poseArguments("--goal", scenario.goal),
          routeArguments(scenario), obstacleArguments(scenario)}) {
      arguments.insert(arguments.end(), extra.begin(), extra.end());
    }
    drawPicture("plot_run.py", arguments, png);
    fmt::print("picture  {}\n", png.string());
  }
}

}  // namespace sim
