#include "common/controller_phase.hpp"

#include "trelvo/controller.hpp"

namespace common {

Phase phaseOfStep(int step) {
  switch (step) {
    case Controller::kFirstTurn:
      return Phase::FirstTurn;
    case Controller::kLineMove:
      return Phase::LineMove;
    default:
      return Phase::FinalTurn;
  }
}

const char* phaseName(Phase phase) {
  switch (phase) {
    case Phase::FirstTurn:
      return "first turn";
    case Phase::LineMove:
      return "line move";
    case Phase::FinalTurn:
      break;
  }
  return "final turn";
}

const char* phaseKey(Phase phase) {
  switch (phase) {
    case Phase::FirstTurn:
      return "first_turn";
    case Phase::LineMove:
      return "line_move";
    case Phase::FinalTurn:
      break;
  }
  return "final_turn";
}

}  // namespace common
