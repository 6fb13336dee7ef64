#pragma once

// The controller's pauses in simulated time. The controller blocks its caller at each change of
// state with the C library's usleep; trelvo-sim defines its own usleep (simulated_usleep.cpp,
// linked into the program only), which adds the requested time here and returns at once. The run
// loop takes the time after each controller call and lets the vehicle drive on for it. In any
// other process (the tests of the simulator's parts) nothing is added here and the controller
// really sleeps.

#include <cstdint>

namespace sim {

/// Adds a pause of `microseconds` to the pending simulated pause time.
void addPause(std::uint64_t microseconds);

/// The pause time added since the previous call, in microseconds, and resets it to zero.
std::uint64_t takePause();

}  // namespace sim
