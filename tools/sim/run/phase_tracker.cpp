#include "sim/run/phase_tracker.hpp"

#include <algorithm>
#include <cmath>

#include "trelvo/controller.hpp"

namespace sim {

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

void PhaseTracker::cycle(int leg, Phase phase, double time, double crossTrack,
                         double headingError) {
  if (open_ && (phases_.back().phase != phase || phases_.back().leg != leg)) {
    endCurrent(time, true);
  }
  if (!open_) {
    PhaseStats started{phase, leg};
    started.startTime = time;
    started.startHeadingError = headingError;
    phases_.push_back(started);
    open_ = true;
  }
  PhaseStats& current = phases_.back();
  ++current.cycles;
  current.maxCrossTrack = std::max(current.maxCrossTrack, std::fabs(crossTrack));
}

void PhaseTracker::moved(double distance) {
  if (open_) {
    phases_.back().distance += distance;
  }
}

void PhaseTracker::finish(double time, bool completed) {
  if (open_) {
    endCurrent(time, completed);
  }
}

void PhaseTracker::endCurrent(double time, bool completed) {
  open_ = false;
  PhaseStats& ended = phases_.back();
  ended.duration = time - ended.startTime;
  ended.completed = completed;
  if (onPhaseEnd_) {
    onPhaseEnd_(ended);
  }
}

}  // namespace sim
