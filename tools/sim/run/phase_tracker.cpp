#include "sim/run/phase_tracker.hpp"

#include <algorithm>
#include <cmath>

namespace sim {

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
