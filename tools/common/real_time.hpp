#pragma once

// What a program that runs in real time needs: periods kept on absolute deadlines, and a stop on
// SIGINT or SIGTERM that ends the wait for the next deadline at once.

#include <atomic>
#include <chrono>

namespace common {

/// Makes SIGINT and SIGTERM set the returned flag. The handlers do not restart interrupted calls,
/// so a signal ends sleepUntil early.
const std::atomic<bool>& stopOnSignals();
/// The signal that asked for the stop ("SIGTERM", "SIGINT"); empty before one arrived.
const char* stopSignalName();

/// Sleeps until `deadline` on the monotonic clock, the one steady_clock reads on Linux; returns
/// early when a signal arrives.
void sleepUntil(std::chrono::steady_clock::time_point deadline);

}  // namespace common
