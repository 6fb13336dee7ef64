#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "sim/cli/exit_codes.hpp"
#include "sim/modes/modes.hpp"
#include "sim/output/csv_writer.hpp"
#include "sim/output/junit_writer.hpp"
#include "sim/output/plotter.hpp"
#include "sim/output/progress_bar.hpp"
#include "sim/output/report.hpp"
#include "sim/scenarios/batch.hpp"
#include "sim/scenarios/random_obstacles.hpp"
#include "sim/workers/workers.hpp"

namespace sim {
namespace {

std::vector<JUnitCase> junitCases(const std::vector<BatchRun>& runs, const RunSettings& settings,
                                  const std::string& program) {
  std::vector<JUnitCase> cases;
  for (const BatchRun& run : runs) {
    const RunResult& r = run.result;
    cases.push_back(
        {fmt::format("scenario {}", run.index), r.simulatedTime, failureReason(r, settings),
         fmt::format("final error {:.4f} m, {:.2f} deg; replay: {}", r.positionError,
                     common::toDegrees(r.headingError), replayCommand(program, run, settings))});
  }
  return cases;
}

// Runs every scenario in `jobs` worker processes, filling in its result; `onRunDone` is called
// as each result arrives.
void runAll(std::vector<BatchRun>& runs, const RunSettings& settings, int jobs,
            const std::function<void()>& onRunDone) {
  const std::vector<RunResult> results = runEach(
      static_cast<int>(runs.size()), jobs,
      [&runs, &settings](int i) { return runScenario(runs[i].scenario, settings); }, onRunDone);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    runs[i].result = results[i];
  }
}

}  // namespace

int runBatch(const Options& options, const OutputFolder& folder) {
  const BatchSettings& batch = *options.batch;
  const RunSettings& settings = options.run;
  std::vector<BatchRun> runs = drawScenarios(batch, reachOf(settings.footprint));

  const auto started = std::chrono::steady_clock::now();
  const double cpuStarted = cpuSecondsWithWorkers();
  {
    ProgressBar progress(batch.count);
    runAll(runs, settings, options.jobs, [&progress] { progress.advance(); });
  }
  BatchFigures figures;
  figures.wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  figures.cpuSeconds = cpuSecondsWithWorkers() - cpuStarted;
  figures.jobs = std::min(options.jobs, batch.count);
  for (const BatchRun& run : runs) {
    ++figures.runs;
    figures.successes += succeeded(run.result) ? 1 : 0;
    figures.cycles += run.result.cycles;
    figures.simulatedSeconds += run.result.simulatedTime;
  }
  printBatchTable(stdout, runs, figures, batch, settings, options.program);

  const auto csv = folder.file("batch.csv");
  writeBatchCsv(csv, runs);
  fmt::print("results  {}\n", csv.string());
  if (!options.junitFile.empty()) {
    writeJUnit(options.junitFile, "batch", junitCases(runs, settings, options.program));
    fmt::print("junit    {}\n", options.junitFile);
  }
  if (options.plot) {
    const auto png = folder.file("batch.png");
    const std::string title = fmt::format(
        "trelvo-sim batch: {}, {}\n{}/{} reached the goal pose", countOf(figures.runs, "scenario"),
        describeSettings(settings), figures.successes, figures.runs);
    drawPicture("plot_batch.py",
                {"--csv", csv.string(), "--title", title, "--position-tolerance",
                 fmt::format("{}", settings.positionTolerance), "--heading-tolerance",
                 fmt::format("{}", common::toDegrees(settings.headingTolerance))},
                png);
    fmt::print("picture  {}\n", png.string());
  }
  return figures.successes == figures.runs ? kExitSuccess : kExitRunFailed;
}

}  // namespace sim
