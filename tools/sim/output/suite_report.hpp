#pragma once

// What a suite prints: a row per scenario with its result and each measured figure, a figure
// that broke its criterion marked with '*', then why each failed scenario failed.

#include <cstdio>
#include <string>
#include <vector>

#include "sim/scenarios/suite.hpp"
#include "sim/scenarios/suite_verdict.hpp"

namespace sim {

void printSuiteTable(std::FILE* out, const Suite& suite, const std::string& file,
                     const std::vector<Verdict>& verdicts);

/// The measured figures in one line, e.g. "position 0.0061 m, heading 2.71 deg, ...".
std::string describeMeasures(const Verdict& verdict);

/// The reasons a scenario failed, joined into one line.
std::string failureLine(const Verdict& verdict);

}  // namespace sim
