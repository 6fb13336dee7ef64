#pragma once

// The trelvo-sim command line.

#include <optional>
#include <string>

#include "sim/cli/dds_options.hpp"
#include "sim/cli/obstacle_options.hpp"
#include "sim/run/run_settings.hpp"
#include "sim/scenarios/batch.hpp"
#include "sim/scenarios/usage_error.hpp"

namespace sim {

struct Options {
  std::string program = "trelvo-sim";  // as invoked, for the command lines it prints
  RunSettings run;
  Scenario scenario;
  std::optional<BatchSettings> batch;
  std::string suiteFile;  // empty: no suite
  std::string junitFile;  // empty: no JUnit report
  int jobs = 1;           // worker processes of a batch or suite
  std::string outputFolder;
  bool plot = true;
  std::optional<DdsSettings> dds;  // --dds: the vehicle alone on a ROS 2 network
};

/// Where the single run and the batch write when no --out is given (relative to the working
/// directory).
inline constexpr const char* kDefaultOutputFolder = "out/trelvo-sim";

/// Parses the command line. Returns nothing when --help was asked for (the help is printed on
/// standard output); throws UsageError for malformed, missing, non-finite or out-of-range values,
/// unknown options and conflicting options.
std::optional<Options> parseOptions(int argc, const char* const* argv);

}  // namespace sim
