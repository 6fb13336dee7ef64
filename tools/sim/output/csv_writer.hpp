#pragma once

// CSV files of trelvo-sim: the trace of one run (one row per control cycle) and the results of a
// batch or a suite (one row per scenario). Each is written whole or not at all.

#include <filesystem>
#include <vector>

#include "sim/run/run.hpp"
#include "sim/scenarios/batch.hpp"
#include "sim/scenarios/suite.hpp"
#include "sim/scenarios/suite_verdict.hpp"

namespace sim {

/// Header of the trace: time, true pose, the state acted in, the command handed out, the
/// look-ahead point (empty outside the line move), heading error to the phase's target,
/// cross-track error, what the clearance check made of the command sent (go, slow, stop) and the
/// footprint's smallest gap to an obstacle (empty without obstacles). Units in the column names.
inline constexpr const char* kTraceHeader =
    "time_s,x_m,y_m,heading_rad,state,cmd_linear_x_mps,cmd_angular_z_radps,lookahead_x_m,"
    "lookahead_y_m,heading_error_rad,cross_track_m,clearance_action,clearance_m";

inline constexpr const char* kBatchHeader =
    "index,start_x_m,start_y_m,start_heading_deg,goal_x_m,goal_y_m,goal_heading_deg,noise_seed,"
    "outcome,cycles,simulated_time_s,position_error_m,heading_error_deg,obstacles,"
    "min_clearance_m,waits,wait_time_s";

inline constexpr const char* kSuiteHeader =
    "scenario,result,position_error_m,heading_error_deg,time_s,max_cross_track_m,distance_ratio,"
    "first_turn_travel_m,line_start_offset_deg,min_clearance_m,wait_time_s,failures";

/// "go", "slow", "stop".
const char* actionKey(trelvo::ClearanceAction action);

/// Throws OutputError when the file cannot be written.
void writeTraceCsv(const std::filesystem::path& file, const std::vector<CycleRecord>& trace);
void writeBatchCsv(const std::filesystem::path& file, const std::vector<BatchRun>& runs);
/// One row per scenario: its result, each measured figure (empty when the run gives none), and
/// the reasons it failed.
void writeSuiteCsv(const std::filesystem::path& file, const Suite& suite,
                   const std::vector<Verdict>& verdicts);

}  // namespace sim
