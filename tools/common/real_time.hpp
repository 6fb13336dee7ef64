#pragma once

// What a program that runs in real time needs: periods kept on absolute deadlines, a stop on
// SIGINT or SIGTERM that ends the wait for the next deadline at once, and real-time scheduling.

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

namespace common {

/// Makes SIGINT and SIGTERM set the returned flag. The handlers do not restart interrupted calls,
/// so a signal ends sleepUntil early.
const std::atomic<bool>& stopOnSignals();
/// The signal that asked for the stop ("SIGTERM", "SIGINT"); empty before one arrived.
const char* stopSignalName();

/// Sleeps until `deadline` on the monotonic clock, the one steady_clock reads on Linux; returns
/// early when a signal arrives.
void sleepUntil(std::chrono::steady_clock::time_point deadline);

/// User and system CPU seconds of the whole process, every thread included, since it started.
double processCpuSeconds();

/// Puts the calling thread, and no other, under SCHED_FIFO at `priority` (1 to 99): no process of
/// the normal scheduler preempts it until it sleeps. Returns why the system refused (without
/// CAP_SYS_NICE or a high enough RLIMIT_RTPRIO), or nothing once it runs so.
std::optional<std::string> useRealtimeScheduling(int priority);

}  // namespace common
