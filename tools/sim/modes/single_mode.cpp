#include <cstdio>
#include <vector>

#include "sim/cli/exit_codes.hpp"
#include "sim/modes/modes.hpp"
#include "sim/output/report.hpp"
#include "sim/output/run_files.hpp"
#include "sim/run/run.hpp"
#include "sim/run/scenario_path.hpp"

namespace sim {

int runSingle(const Options& options, const OutputFolder& folder) {
  const RunSettings& settings = options.run;
  printRunHeader(stdout, options.scenario, settings);
  std::vector<CycleRecord> trace;
  RunHooks hooks;
  hooks.onCycle = [&trace](const CycleRecord& record) { trace.push_back(record); };
  const std::size_t legs = routeLegs(options.scenario).size();
  hooks.onPhaseEnd = [legs](const PhaseStats& phase) {
    printPhase(stdout, phase, legs);
    std::fflush(stdout);
  };
  const RunResult result = runScenario(options.scenario, settings, hooks);
  printSummary(stdout, options.scenario, result, settings);
  writeRunFiles(folder, "run", options.scenario, settings, result, trace,
                describeOutcome(result, settings), options.plot);
  return succeeded(result) ? kExitSuccess : kExitRunFailed;
}

}  // namespace sim
