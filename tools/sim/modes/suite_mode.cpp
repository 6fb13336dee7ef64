#include <cstdio>
#include <vector>

#include <fmt/format.h>

#include "sim/cli/exit_codes.hpp"
#include "sim/modes/modes.hpp"
#include "sim/output/csv_writer.hpp"
#include "sim/output/junit_writer.hpp"
#include "sim/output/progress_bar.hpp"
#include "sim/output/run_files.hpp"
#include "sim/output/suite_report.hpp"
#include "sim/scenarios/suite_verdict.hpp"
#include "sim/workers/workers.hpp"

namespace sim {

int runSuite(const Options& options, const OutputFolder& folder, const Suite& suite) {
  const std::vector<SuiteScenario>& scenarios = suite.scenarios;
  const int count = static_cast<int>(scenarios.size());
  std::vector<RunResult> results;
  {
    ProgressBar progress(count);
    results = runEach(
        count, options.jobs,
        [&scenarios](int i) { return runScenario(scenarios[i].scenario, scenarios[i].settings); },
        [&progress] { progress.advance(); });
  }
  std::vector<Verdict> verdicts;
  bool allPassed = true;
  for (int i = 0; i < count; ++i) {
    verdicts.push_back(judge(scenarios[i], results[i]));
    allPassed = allPassed && verdicts.back().passed;
  }
  printSuiteTable(stdout, suite, options.suiteFile, verdicts);

  const auto csv = folder.file("suite.csv");
  writeSuiteCsv(csv, suite, verdicts);
  fmt::print("results  {}\n", csv.string());
  // The JUnit file before the pictures, so that CI gets the result even when drawing fails.
  if (!options.junitFile.empty()) {
    std::vector<JUnitCase> cases;
    for (int i = 0; i < count; ++i) {
      cases.push_back({scenarios[i].name, results[i].simulatedTime, failureLine(verdicts[i]),
                       describeMeasures(verdicts[i])});
    }
    writeJUnit(options.junitFile, suite.name, cases);
    fmt::print("junit    {}\n", options.junitFile);
  }
  for (int i = 0; i < count; ++i) {
    const SuiteScenario& s = scenarios[i];
    const Verdict& verdict = verdicts[i];
    if (!verdict.passed) {
      // Runs repeat exactly: run it again here, keeping its trace this time.
      std::vector<CycleRecord> trace;
      RunHooks hooks;
      hooks.onCycle = [&trace](const CycleRecord& record) { trace.push_back(record); };
      const RunResult again = runScenario(s.scenario, s.settings, hooks);
      writeRunFiles(folder, "run-" + s.name, s.scenario, s.settings, again, trace,
                    fmt::format("{} failed: {}", s.name, fmt::join(verdict.failures, "\n")),
                    options.plot);
    }
  }
  return allPassed ? kExitSuccess : kExitRunFailed;
}

}  // namespace sim
