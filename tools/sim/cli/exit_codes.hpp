#pragma once

// Exit statuses of trelvo-sim.

namespace sim {

inline constexpr int kExitSuccess = 0;      // every run reached its goal within the tolerances
inline constexpr int kExitRunFailed = 1;    // a run failed
inline constexpr int kExitBadInput = 2;     // bad command-line input; nothing was written
inline constexpr int kExitOutputError = 3;  // the output could not be written or drawn, or a
                                            // worker process failed

}  // namespace sim
