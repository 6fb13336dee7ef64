#pragma once

// The three things trelvo-sim does: one run with its trace and picture, a batch with its table
// and histogram, or a suite with its table and a picture of each failed scenario. Each returns
// the exit status.

#include "sim/cli/options.hpp"
#include "sim/output/output_folder.hpp"
#include "sim/scenarios/suite.hpp"

namespace sim {

int runSingle(const Options& options, const OutputFolder& folder);
int runBatch(const Options& options, const OutputFolder& folder);
int runSuite(const Options& options, const OutputFolder& folder, const Suite& suite);
/// --dds: the vehicle alone on a ROS 2 network until a signal, --duration or the route's end.
int runDdsVehicle(const Options& options);

}  // namespace sim
