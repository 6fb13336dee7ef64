#pragma once

// The files of one run: its trace as CSV and its picture, drawn from the trace.

#include <string>
#include <vector>

#include "sim/output_folder.hpp"
#include "sim/run.hpp"
#include "sim/settings.hpp"

namespace sim {

/// Writes `<stem>.csv` and, when `plot`, `<stem>.png` into the folder, printing a line that
/// names each.
void writeRunFiles(const OutputFolder& folder, const std::string& stem, const Scenario& scenario,
                   const RunSettings& settings, const RunResult& result,
                   const std::vector<CycleRecord>& trace, bool plot);

}  // namespace sim
