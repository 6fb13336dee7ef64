#pragma once

// The result of a suite or a batch as JUnit XML, the report format CI systems read: one test case
// per scenario, with its failure message.

#include <filesystem>
#include <string>
#include <vector>

namespace sim {

struct JUnitCase {
  std::string name;
  double seconds;       // simulated time of the run
  std::string failure;  // one line; empty when the scenario passed
  std::string details;  // the measured figures, or how to repeat the run
};

/// Writes `cases` as one test suite named `suiteName`; whole or not at all. Throws OutputError
/// when the file cannot be written.
void writeJUnit(const std::filesystem::path& file, const std::string& suiteName,
                const std::vector<JUnitCase>& cases);

}  // namespace sim
