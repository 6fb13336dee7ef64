// trelvo-sim: plays the host of the trelvo Controller against a simulated vehicle.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>

#include <fmt/format.h>

#include "sim/cli/exit_codes.hpp"
#include "sim/cli/options.hpp"
#include "sim/modes/modes.hpp"
#include "sim/output/output_folder.hpp"
#include "sim/scenarios/suite.hpp"
#include "sim/workers/workers.hpp"

namespace {

// The controller logs through a facade that reads its configuration from the environment and
// prints a notice for each variable left unset. As its host, the simulator chooses the quiet
// defaults (console, no journal, level info) unless the user set the variables, for example
// SPDLOG_LEVEL=debug to see the controller's own lines.
void chooseControllerLogging() {
  setenv("SPDLOG_STDOUT", "true", 0);
  setenv("SPDLOG_SYSTEMD", "false", 0);
  setenv("SPDLOG_LEVEL", "info", 0);
}

// The output could not be written or drawn, or a worker process failed: after what was printed,
// one line on standard error.
int outputFailed(const std::exception& error) {
  std::fflush(stdout);
  fmt::print(stderr, "trelvo-sim: {}\n", error.what());
  return sim::kExitOutputError;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const auto options = sim::parseOptions(argc, argv);
    if (!options) {
      return sim::kExitSuccess;
    }
    if (options->dds) {
      return sim::runDdsVehicle(*options);
    }
    chooseControllerLogging();
    // A suite file is read whole before anything is written.
    std::optional<sim::Suite> suite;
    if (!options->suiteFile.empty()) {
      suite = sim::readSuite(options->suiteFile);
    }
    // Every output is proven writable before the first run. A JUnit file outside the output
    // folder is checked first, so that its failure leaves the folder untouched; one inside it
    // can be checked only once the folder exists.
    const std::string& junit = options->junitFile;
    const bool junitInFolder = !junit.empty() && sim::isInFolder(junit, options->outputFolder);
    if (!junit.empty() && !junitInFolder) {
      sim::checkWritable(junit);
    }
    const sim::OutputFolder folder = sim::OutputFolder::prepare(options->outputFolder);
    if (junitInFolder) {
      sim::checkWritable(junit);
    }
    if (suite) {
      return sim::runSuite(*options, folder, *suite);
    }
    return options->batch ? sim::runBatch(*options, folder) : sim::runSingle(*options, folder);
  } catch (const sim::UsageError& error) {
    fmt::print(stderr, "trelvo-sim: {}\n", error.what());
    return sim::kExitBadInput;
  } catch (const sim::OutputError& error) {
    return outputFailed(error);
  } catch (const sim::WorkerError& error) {
    return outputFailed(error);
  }
}
