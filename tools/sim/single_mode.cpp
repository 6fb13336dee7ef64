#include <cstdio>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "sim/csv_writer.hpp"
#include "sim/exit_codes.hpp"
#include "sim/modes.hpp"
#include "sim/plotter.hpp"
#include "sim/report.hpp"
#include "sim/run.hpp"

namespace sim {
namespace {

std::vector<std::string> poseArguments(const char* option, const Pose2D& pose) {
  return {option, fmt::format("{}", pose.x), fmt::format("{}", pose.y),
          fmt::format("{}", toDegrees(pose.heading))};
}

std::string pictureTitle(const RunResult& result, const RunSettings& settings) {
  const std::string outcome =
      succeeded(result) ? fmt::format("reached the goal in {:.2f} s", result.simulatedTime)
                        : failureReason(result, settings);
  return fmt::format("trelvo-sim: {}\n{}; final error {:.4f} m, {:.2f} deg",
                     describeSettings(settings), outcome, result.positionError,
                     toDegrees(result.headingError));
}

}  // namespace

int runSingle(const Options& options, const OutputFolder& folder) {
  const RunSettings& settings = options.run;
  printRunHeader(stdout, options.scenario, settings);
  std::vector<CycleRecord> trace;
  RunHooks hooks;
  hooks.onCycle = [&trace](const CycleRecord& record) { trace.push_back(record); };
  hooks.onPhaseEnd = [](const PhaseStats& phase) {
    printPhase(stdout, phase);
    std::fflush(stdout);
  };
  const RunResult result = runScenario(options.scenario, settings, hooks);
  printSummary(stdout, result, settings);

  const auto csv = folder.file("run.csv");
  writeTraceCsv(csv, trace);
  fmt::print("trace    {}\n", csv.string());
  if (options.plot) {
    const auto png = folder.file("run.png");
    std::vector<std::string> arguments = {"--csv", csv.string(), "--title",
                                          pictureTitle(result, settings)};
    for (auto&& extra : {poseArguments("--start", options.scenario.start),
                         poseArguments("--goal", options.scenario.goal)}) {
      arguments.insert(arguments.end(), extra.begin(), extra.end());
    }
    drawPicture("plot_run.py", arguments, png);
    fmt::print("picture  {}\n", png.string());
  }
  return succeeded(result) ? kExitSuccess : kExitRunFailed;
}

}  // namespace sim
