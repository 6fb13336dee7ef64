#pragma once

// CSV files of trelvo-sim: the trace of one run (one row per control cycle) and the results of a
// batch (one row per scenario). Both are written whole or not at all.

#include <filesystem>
#include <vector>

#include "sim/batch.hpp"
#include "sim/run.hpp"

namespace sim {

/// Header of the trace: time, true pose, the state acted in, the command handed out, the
/// look-ahead point (empty outside the line move), heading error to the phase's target, and
/// cross-track error. Units in the column names.
inline constexpr const char* kTraceHeader =
    "time_s,x_m,y_m,heading_rad,state,cmd_linear_x_mps,cmd_angular_z_radps,lookahead_x_m,"
    "lookahead_y_m,heading_error_rad,cross_track_m";

inline constexpr const char* kBatchHeader =
    "index,start_x_m,start_y_m,start_heading_deg,goal_x_m,goal_y_m,goal_heading_deg,noise_seed,"
    "outcome,cycles,simulated_time_s,position_error_m,heading_error_deg";

/// Throws OutputError when the file cannot be written.
void writeTraceCsv(const std::filesystem::path& file, const std::vector<CycleRecord>& trace);
void writeBatchCsv(const std::filesystem::path& file, const std::vector<BatchRun>& runs);

}  // namespace sim
