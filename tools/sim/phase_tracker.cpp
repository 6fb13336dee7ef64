#include "sim/phase_tracker.hpp"

#include <algorithm>
#include <cmath>

namespace sim {

Phase phaseOfStep(int step) {
  switch (step) {
    case 0:
      return Phase::FirstTurn;
    case 1:
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

void PhaseTracker::cycle(Phase phase, double period, double crossTrack) {
  if (open_ && phases_.back().phase != phase) {
    endCurrent(true);
  }
  if (!open_) {
    phases_.push_back(PhaseStats{phase});
    open_ = true;
  }
  PhaseStats& current = phases_.back();
  ++current.cycles;
  current.duration = current.cycles * period;
  current.maxCrossTrack = std::max(current.maxCrossTrack, std::fabs(crossTrack));
}

void PhaseTracker::moved(double distance) {
  if (open_) {
    phases_.back().distance += distance;
  }
}

void PhaseTracker::finish(bool completed) {
  if (open_) {
    endCurrent(completed);
  }
}

void PhaseTracker::endCurrent(bool completed) {
  open_ = false;
  phases_.back().completed = completed;
  if (onPhaseEnd_) {
    onPhaseEnd_(phases_.back());
  }
}

}  // namespace sim
