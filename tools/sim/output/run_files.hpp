#pragma once

// The files of one run: its trace as CSV and its picture, drawn from the trace.

#include <string>
#include <vector>

#include "sim/output/output_folder.hpp"
#include "sim/run/run.hpp"
#include "sim/run/run_settings.hpp"

namespace sim {

/// How the run ended, in words: the time it took to reach the goal, or why it failed.
std::string describeOutcome(const RunResult& result, const RunSettings& settings);

/// Writes `<stem>.csv` and, when `plot`, `<stem>.png` into the folder, printing a line that
/// names each. The picture's title gives the settings, `outcome` and the final errors.
void writeRunFiles(const OutputFolder& folder, const std::string& stem, const Scenario& scenario,
                   const RunSettings& settings, const RunResult& result,
                   const std::vector<CycleRecord>& trace, const std::string& outcome, bool plot);

}  // namespace sim
