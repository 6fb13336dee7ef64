#pragma once

// What trelvo-sim prints: a line per phase as it ends, the run's summary, the batch's table.

#include <cstdio>
#include <string>
#include <vector>

#include "sim/run/failure_reason.hpp"
#include "sim/run/phase_tracker.hpp"
#include "sim/run/run.hpp"
#include "sim/run/run_settings.hpp"
#include "sim/scenarios/batch.hpp"
#include "trelvo/route.hpp"

namespace sim {

/// "unicycle" or "differential".
const char* vehicleName(common::VehicleKind kind);
/// The settings of a run in words, e.g. "unicycle vehicle, period 0.05 s, noise off".
std::string describeSettings(const RunSettings& settings);

/// The legs a route became, e.g. "2 legs: (0, 0) -> (5, 0) -> (5, 3)".
std::string describeLegs(const std::vector<trelvo::Leg>& legs);

void printRunHeader(std::FILE* out, const Scenario& scenario, const RunSettings& settings);
/// A phase's line; in a route of more than one leg, after the leg's number.
void printPhase(std::FILE* out, const PhaseStats& phase, std::size_t legs);
/// The run's summary; a route of waypoints also gives the legs it became.
void printSummary(std::FILE* out, const Scenario& scenario, const RunResult& result,
                  const RunSettings& settings);

/// The obstacles, the smallest clearance, and how often and how long the vehicle stood for one.
void printObstacleSummary(std::FILE* out, const Scenario& scenario, const RunResult& result);

/// Figures of a whole batch.
struct BatchFigures {
  int runs = 0;
  int successes = 0;
  long long cycles = 0;
  double simulatedSeconds = 0.0;
  double wallSeconds = 0.0;
  double cpuSeconds = 0.0;  // of this process and its worker processes
  int jobs = 1;             // processes that ran the scenarios
};

/// `program` is the simulator as it was invoked, for the replay lines of failed runs.
void printBatchTable(std::FILE* out, const std::vector<BatchRun>& runs, const BatchFigures& figures,
                     const BatchSettings& batch, const RunSettings& settings,
                     const std::string& program);
/// The command line that repeats one batch scenario as a single run of `program`.
std::string replayCommand(const std::string& program, const BatchRun& run,
                          const RunSettings& settings);

/// "1 scenario", "2 scenarios".
std::string countOf(std::size_t count, const std::string& noun);

}  // namespace sim
