#pragma once

// Exit statuses of trelvo-sim.

namespace sim {

// Every run reached its goal within the tolerances; --dds: stopped by a signal or --duration, or
// the vehicle stands at the last waypoint.
inline constexpr int kExitSuccess = 0;
// A run failed; --dds: the time limit passed before the vehicle stood at the last waypoint.
inline constexpr int kExitRunFailed = 1;
// Bad command-line input or suite file; nothing was written.
inline constexpr int kExitBadInput = 2;
// The output could not be written or drawn, a worker process failed, or DDS failed.
inline constexpr int kExitOutputError = 3;

}  // namespace sim
