#include "sim/run/pause_clock.hpp"

namespace sim {
namespace {

// One run at a time per process: batches run in parallel in separate worker processes.
std::uint64_t pendingMicroseconds = 0;

}  // namespace

void addPause(std::uint64_t microseconds) {
  pendingMicroseconds += microseconds;
}

std::uint64_t takePause() {
  const std::uint64_t taken = pendingMicroseconds;
  pendingMicroseconds = 0;
  return taken;
}

}  // namespace sim
