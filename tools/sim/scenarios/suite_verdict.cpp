#include "sim/scenarios/suite_verdict.hpp"

#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "sim/run/failure_reason.hpp"

namespace sim {
namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

const PhaseStats* phaseIn(const RunResult& result, Phase phase) {
  for (const PhaseStats& stats : result.phases) {
    if (stats.phase == phase) {
      return &stats;
    }
  }
  return nullptr;
}

}  // namespace

Verdict judge(const SuiteScenario& suiteScenario, const RunResult& result) {
  const RunSettings& settings = suiteScenario.settings;
  const PassCriteria& criteria = suiteScenario.criteria;
  const Scenario& scenario = suiteScenario.scenario;
  const PhaseStats* firstTurn = phaseIn(result, Phase::FirstTurn);
  const PhaseStats* lineMove = phaseIn(result, Phase::LineMove);
  double travelled = 0.0;
  for (const PhaseStats& phase : result.phases) {
    travelled += phase.distance;
  }
  const double straight =
      common::distanceBetween(scenario.vehicleStart.value_or(scenario.start), scenario.goal);

  Verdict verdict;
  verdict.positionError = {result.positionError};
  verdict.headingError = {common::toDegrees(result.headingError)};
  verdict.time = {result.simulatedTime};
  verdict.crossTrack = {lineMove ? lineMove->maxCrossTrack : kNone};
  verdict.distanceRatio = {straight > 0.0 ? travelled / straight : kNone};
  verdict.firstTurnTravel = {firstTurn ? firstTurn->distance : kNone};
  verdict.lineStartOffset = {lineMove ? common::toDegrees(lineMove->startHeadingError) : kNone};

  if (!succeeded(result)) {
    verdict.failures.push_back(failureReason(result, settings));
    verdict.positionError.failed =
        result.finished && result.positionError > settings.positionTolerance;
    verdict.headingError.failed =
        result.finished && std::fabs(result.headingError) > settings.headingTolerance;
    verdict.time.failed = result.outcome == Outcome::TimeLimit;
  }
  if (criteria.maxCrossTrack && lineMove && lineMove->maxCrossTrack > *criteria.maxCrossTrack) {
    verdict.crossTrack.failed = true;
    verdict.failures.push_back(
        fmt::format("largest cross-track error of the line move {:.4f} m, over {} m",
                    lineMove->maxCrossTrack, *criteria.maxCrossTrack));
  }
  if (criteria.maxDistanceRatio && travelled > *criteria.maxDistanceRatio * straight) {
    verdict.distanceRatio.failed = true;
    verdict.failures.push_back(
        fmt::format("travelled {:.3f} m, {:.2f} times the straight-line distance, over {}",
                    travelled, travelled / straight, *criteria.maxDistanceRatio));
  }
  if (criteria.firstTurnOnTheSpot) {
    verdict.firstTurnTravel.failed = firstTurn && firstTurn->distance > kOnTheSpotTravel;
    verdict.lineStartOffset.failed =
        lineMove && std::fabs(lineMove->startHeadingError) > kFacingTheLine;
    if (verdict.firstTurnTravel.failed || verdict.lineStartOffset.failed) {
      verdict.failures.push_back(fmt::format(
          "first turn not on the spot: moved {:.3f} m (limit {} m), line move began {:.1f} deg "
          "off the line (limit {:.0f} deg)",
          verdict.firstTurnTravel.value, kOnTheSpotTravel, verdict.lineStartOffset.value,
          common::toDegrees(kFacingTheLine)));
    }
  }
  verdict.passed = verdict.failures.empty();
  return verdict;
}

}  // namespace sim
