#pragma once

// Splits a run into the controller's three phases of each leg of its route and measures each: how
// long it took, how far the vehicle travelled in it, and how far it strayed from the leg's line.

#include <functional>
#include <vector>

#include "common/controller_phase.hpp"

namespace sim {

using common::Phase;
using common::phaseKey;
using common::phaseName;
using common::phaseOfStep;

struct PhaseStats {
  Phase phase;
  int leg = 0;  // the route's leg it belongs to, from 0
  int cycles = 0;
  double startTime = 0.0;          // s, of its first cycle
  double duration = 0.0;           // s, up to the first cycle of the next phase, or the run's end
  double distance = 0.0;           // m travelled
  double maxCrossTrack = 0.0;      // m, largest distance from the path line
  double startHeadingError = 0.0;  // rad, off the phase's target heading at its first cycle
  bool completed = false;          // false when the run stopped inside this phase
};

class PhaseTracker {
 public:
  using PhaseEnd = std::function<void(const PhaseStats&)>;
  explicit PhaseTracker(PhaseEnd onPhaseEnd) : onPhaseEnd_(std::move(onPhaseEnd)) {}

  /// One control cycle at `time` spent in `phase` of `leg`, with the vehicle `crossTrack` metres
  /// off the leg's line and `headingError` off the phase's target heading. A change of phase or
  /// leg ends the previous one.
  void cycle(int leg, Phase phase, double time, double crossTrack, double headingError);
  /// The vehicle travelled `distance` metres after the latest cycle.
  void moved(double distance);
  /// Ends the current phase at `time`: completed when the controller finished the run.
  void finish(double time, bool completed);

  const std::vector<PhaseStats>& phases() const { return phases_; }

 private:
  void endCurrent(double time, bool completed);

  PhaseEnd onPhaseEnd_;
  std::vector<PhaseStats> phases_;
  bool open_ = false;
};

}  // namespace sim
