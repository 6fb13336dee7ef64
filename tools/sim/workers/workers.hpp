#pragma once

// Runs many independent runs side by side in worker processes. The library keeps process-wide
// records (the PID gains and error histories, the mechanical settings), so two runs cannot share
// a process at the same time: each worker is a fork of this process that runs its share of the
// runs one after another and sends each result back through a pipe.

#include <functional>
#include <stdexcept>
#include <vector>

#include "sim/run/run.hpp"

namespace sim {

/// A worker process failed; the message is one line.
class WorkerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The number of processors this process may run on (at least 1).
int availableCores();

/// CPU seconds used so far by this process and by the worker processes that have ended.
double cpuSecondsWithWorkers();

/// Runs `count` runs, run i being `runOne(i)`, in `jobs` worker processes (in this process when
/// `jobs` is 1) and returns the results in order of i, the same for any number of jobs.
/// `onRunDone` is called in this process as each result arrives. Throws WorkerError when a
/// worker does not deliver all its results.
std::vector<RunResult> runEach(int count, int jobs, const std::function<RunResult(int)>& runOne,
                               const std::function<void()>& onRunDone);

}  // namespace sim
