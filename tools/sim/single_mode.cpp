#include <cstdio>
#include <vector>

#include "sim/exit_codes.hpp"
#include "sim/modes.hpp"
#include "sim/report.hpp"
#include "sim/run.hpp"
#include "sim/run_files.hpp"

namespace sim {

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
  writeRunFiles(folder, "run", options.scenario, settings, result, trace,
                describeOutcome(result, settings), options.plot);
  return succeeded(result) ? kExitSuccess : kExitRunFailed;
}

}  // namespace sim
