#pragma once

// The controller's three phases of a run, as the programs name them to their users.

namespace common {

enum class Phase { FirstTurn, LineMove, FinalTurn };

/// The phase of the controller's `step` (Controller::kFirstTurn, kLineMove, anything else the
/// final turn).
Phase phaseOfStep(int step);
/// "first turn", "line move", "final turn".
const char* phaseName(Phase phase);
/// "first_turn", "line_move", "final_turn": the spelling of the simulator's CSV trace.
const char* phaseKey(Phase phase);

}  // namespace common
