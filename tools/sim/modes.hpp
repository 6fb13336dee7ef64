#pragma once

// The two things trelvo-sim does: one run with its trace and picture, or a batch with its table
// and histogram. Each returns the exit status.

#include "sim/output_folder.hpp"
#include "sim/settings.hpp"

namespace sim {

int runSingle(const Options& options, const OutputFolder& folder);
int runBatch(const Options& options, const OutputFolder& folder);

}  // namespace sim
