#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "sim/batch.hpp"
#include "sim/csv_writer.hpp"
#include "sim/exit_codes.hpp"
#include "sim/modes.hpp"
#include "sim/plotter.hpp"
#include "sim/progress_bar.hpp"
#include "sim/report.hpp"

namespace sim {

int runBatch(const Options& options, const OutputFolder& folder) {
  const BatchSettings& batch = *options.batch;
  const RunSettings& settings = options.run;
  std::vector<BatchRun> runs = drawScenarios(batch);

  const auto started = std::chrono::steady_clock::now();
  const std::clock_t cpuStarted = std::clock();
  {
    ProgressBar progress(batch.count);
    runAll(runs, settings, [&progress] { progress.advance(); });
  }
  BatchFigures figures;
  figures.wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  figures.cpuSeconds = static_cast<double>(std::clock() - cpuStarted) / CLOCKS_PER_SEC;
  for (const BatchRun& run : runs) {
    ++figures.runs;
    figures.successes += succeeded(run.result) ? 1 : 0;
    figures.cycles += run.result.cycles;
    figures.simulatedSeconds += run.result.simulatedTime;
  }
  printBatchTable(stdout, runs, figures, batch, settings);

  const auto csv = folder.file("batch.csv");
  writeBatchCsv(csv, runs);
  fmt::print("results  {}\n", csv.string());
  if (options.plot) {
    const auto png = folder.file("batch.png");
    const std::string title =
        fmt::format("trelvo-sim batch: {} scenarios, {}\n{}/{} reached the goal pose", figures.runs,
                    describeSettings(settings), figures.successes, figures.runs);
    drawPicture("plot_batch.py",
                {"--csv", csv.string(), "--title", title, "--position-tolerance",
                 fmt::format("{}", settings.positionTolerance), "--heading-tolerance",
                 fmt::format("{}", toDegrees(settings.headingTolerance))},
                png);
    fmt::print("picture  {}\n", png.string());
  }
  return figures.successes == figures.runs ? kExitSuccess : kExitRunFailed;
}

}  // namespace sim
