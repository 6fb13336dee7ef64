#pragma once

// Why a run failed, in one line, as the tables, the traces and the verdicts give it.

#include <string>

#include "sim/run/run.hpp"
#include "sim/run/run_settings.hpp"

namespace sim {

/// One line on why the run failed, or an empty string for a success.
std::string failureReason(const RunResult& result, const RunSettings& settings);

}  // namespace sim
