#include "sim/scenarios/suite_verdict.hpp"

#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "sim/run/failure_reason.hpp"
#include "sim/run/scenario_path.hpp"

namespace sim {
namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// The figures of one leg: its first first turn and its first line move (a line move that finds
// the vehicle facing away starts the leg over with another turn).
struct LegPhases {
  const PhaseStats* firstTurn = nullptr;
  const PhaseStats* lineMove = nullptr;
};

std::vector<LegPhases> phasesByLeg(const RunResult& result, std::size_t legs) {
  std::vector<LegPhases> byLeg(legs);
  for (const PhaseStats& stats : result.phases) {
    if (stats.leg < 0 || static_cast<std::size_t>(stats.leg) >= legs) {
      continue;
    }
    LegPhases& leg = byLeg[stats.leg];
    if (stats.phase == Phase::FirstTurn && !leg.firstTurn) {
      leg.firstTurn = &stats;
    } else if (stats.phase == Phase::LineMove && !leg.lineMove) {
      leg.lineMove = &stats;
    }
  }
  return byLeg;
}

// "leg 2 of 3: " before a reason that belongs to one leg of a route of several.
std::string legPrefix(std::size_t leg, std::size_t legs) {
  return legs > 1 ? fmt::format("leg {} of {}: ", leg + 1, legs) : std::string();
}

// A route shows its worst figures: the largest cross-track error and first-turn travel, and the
// line move that began furthest off its line.
void measureWorst(const std::vector<LegPhases>& legs, Verdict& verdict) {
  verdict.crossTrack = {kNone};
  verdict.firstTurnTravel = {kNone};
  verdict.lineStartOffset = {kNone};
  const auto keepLarger = [](Measure& worst, double value) {
    if (std::isnan(worst.value) || std::fabs(value) > std::fabs(worst.value)) {
      worst.value = value;
    }
  };
  for (const LegPhases& leg : legs) {
    if (leg.firstTurn) {
      keepLarger(verdict.firstTurnTravel, leg.firstTurn->distance);
    }
    if (leg.lineMove) {
      keepLarger(verdict.crossTrack, leg.lineMove->maxCrossTrack);
      keepLarger(verdict.lineStartOffset, common::toDegrees(leg.lineMove->startHeadingError));
    }
  }
}

// A vehicle expected to end blocked must stand for an obstacle when the time runs out.
void checkBlockedEnd(const RunResult& result, Verdict& verdict) {
  if (result.outcome == Outcome::TimeLimit && result.blockedAtEnd) {
    return;
  }
  verdict.time.failed = true;
  verdict.failures.push_back(
      result.outcome == Outcome::Contact
          ? fmt::format("touched an obstacle at {:.2f} s", result.contactTime)
          : std::string("did not end blocked: ") +
                (succeeded(result) ? "reached the goal" : "it was not standing for an obstacle"));
}

// A run that ends anywhere but at the goal has its end figures held to their tolerances where it
// stopped, finished or not. The time is never marked: a run is stopped at its time limit, so its
// time stays within it, and the reason names the limit.
void checkEnd(const RunSettings& settings, const RunResult& result, Verdict& verdict) {
  if (succeeded(result)) {
    return;
  }
  verdict.failures.push_back(failureReason(result, settings));
  verdict.positionError.failed = result.positionError > settings.positionTolerance;
  verdict.headingError.failed = std::fabs(result.headingError) > settings.headingTolerance;
}

void checkCrossTrack(double limit, const std::vector<LegPhases>& legs, Verdict& verdict) {
  for (std::size_t i = 0; i < legs.size(); ++i) {
    const PhaseStats* line = legs[i].lineMove;
    if (line && line->maxCrossTrack == verdict.crossTrack.value && line->maxCrossTrack > limit) {
      verdict.crossTrack.failed = true;
      verdict.failures.push_back(
          fmt::format("{}largest cross-track error of the line move {:.4f} m, over {} m",
                      legPrefix(i, legs.size()), line->maxCrossTrack, limit));
      return;
    }
  }
}

// Every leg's first turn turns on the spot and leaves the vehicle facing along the leg's line;
// the first leg that does not is named.
void checkFirstTurns(const std::vector<LegPhases>& legs, Verdict& verdict) {
  bool named = false;
  for (std::size_t i = 0; i < legs.size(); ++i) {
    const PhaseStats* turn = legs[i].firstTurn;
    const PhaseStats* line = legs[i].lineMove;
    const bool moved = turn && turn->distance > kOnTheSpotTravel;
    const bool offTheLine = line && std::fabs(line->startHeadingError) > kFacingTheLine;
    verdict.firstTurnTravel.failed = verdict.firstTurnTravel.failed || moved;
    verdict.lineStartOffset.failed = verdict.lineStartOffset.failed || offTheLine;
    if ((moved || offTheLine) && !named) {
      named = true;
      verdict.failures.push_back(fmt::format(
          "{}first turn not on the spot: moved {:.3f} m (limit {} m), line move began {:.1f} deg "
          "off the line (limit {:.0f} deg)",
          legPrefix(i, legs.size()), turn ? turn->distance : kNone, kOnTheSpotTravel,
          line ? common::toDegrees(line->startHeadingError) : kNone,
          common::toDegrees(kFacingTheLine)));
    }
  }
}

// The distance travelled against the route's length: for a single leg from where the vehicle
// starts, the straight-line distance.
void checkDistance(double limit, double travelled, double length, std::size_t legs,
                   Verdict& verdict) {
  if (travelled > limit * length) {
    verdict.distanceRatio.failed = true;
    verdict.failures.push_back(fmt::format(
        "travelled {:.3f} m, {:.2f} times the {}, over {}", travelled, travelled / length,
        legs > 1 ? "length of the route" : "straight-line distance", limit));
  }
}

void checkObstacles(const PassCriteria& criteria, const RunResult& result, Verdict& verdict) {
  if (criteria.minClearance && result.minClearance < *criteria.minClearance) {
    verdict.clearance.failed = true;
    verdict.failures.push_back(fmt::format("came within {:.3f} m of an obstacle, closer than {} m",
                                           result.minClearance, *criteria.minClearance));
  }
  if (criteria.waits && result.waits == 0) {
    verdict.waited.failed = true;
    verdict.failures.push_back("never stood for an obstacle");
  }
  if (criteria.undisturbed && (result.waitTime > 0.0 || result.slowTime > 0.0)) {
    verdict.waited.failed = true;
    verdict.failures.push_back(
        fmt::format("disturbed by an obstacle: stood {:.2f} s, slowed {:.2f} s", result.waitTime,
                    result.slowTime));
  }
}

}  // namespace

Verdict judge(const SuiteScenario& suiteScenario, const RunResult& result) {
  const RunSettings& settings = suiteScenario.settings;
  const PassCriteria& criteria = suiteScenario.criteria;
  const std::vector<LegPhases> legs = phasesByLeg(result, routeLegs(suiteScenario.scenario).size());
  double travelled = 0.0;
  for (const PhaseStats& phase : result.phases) {
    travelled += phase.distance;
  }
  const double length = routeLength(suiteScenario.scenario);

  Verdict verdict;
  verdict.positionError = {result.positionError};
  verdict.headingError = {common::toDegrees(result.headingError)};
  verdict.time = {result.simulatedTime};
  verdict.distanceRatio = {length > 0.0 ? travelled / length : kNone};
  verdict.clearance = {std::isfinite(result.minClearance) ? result.minClearance : kNone};
  verdict.waited = {result.waitTime};
  measureWorst(legs, verdict);

  if (criteria.endsBlocked) {
    checkBlockedEnd(result, verdict);
  } else {
    checkEnd(settings, result, verdict);
  }
  checkObstacles(criteria, result, verdict);
  if (criteria.maxCrossTrack) {
    checkCrossTrack(*criteria.maxCrossTrack, legs, verdict);
  }
  if (criteria.maxDistanceRatio) {
    checkDistance(*criteria.maxDistanceRatio, travelled, length, legs.size(), verdict);
  }
  if (criteria.firstTurnOnTheSpot) {
    checkFirstTurns(legs, verdict);
  }
  verdict.passed = verdict.failures.empty();
  return verdict;
}

}  // namespace sim
