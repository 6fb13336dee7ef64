// trelvo-sim's results: a suite scenario judged against its criteria, a result carried through
// the workers' pipe, and results gathered from worker processes.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "sim/scenarios/suite_verdict.hpp"
#include "sim/workers/result_wire.hpp"
#include "sim/workers/workers.hpp"

using namespace sim;

namespace {

// A finished run of a 4 m line move that reached its goal.
RunResult reachedRun(double lineCrossTrack, double lineStartOffset, double firstTurnTravel) {
  RunResult result;
  result.outcome = Outcome::Reached;
  result.finished = true;
  result.cycles = 200;
  result.simulatedTime = 9.95;
  result.positionError = 0.01;
  result.headingError = 0.02;
  PhaseStats turn{Phase::FirstTurn};
  turn.distance = firstTurnTravel;
  PhaseStats line{Phase::LineMove};
  line.distance = 4.0;
  line.maxCrossTrack = lineCrossTrack;
  line.startHeadingError = lineStartOffset;
  result.phases = {turn, line, PhaseStats{Phase::FinalTurn}};
  return result;
}

SuiteScenario lineScenario(const PassCriteria& criteria) {
  SuiteScenario scenario{};
  scenario.name = "line";
  scenario.scenario = {{0.0, 0.0, 0.0}, {4.0, 0.0, 0.0}, 1};
  scenario.criteria = criteria;
  return scenario;
}

}  // namespace

TEST(SimVerdict, EachCriterionHoldsAtItsLimitAndBreaksJustBeyondIt) {
  struct Case {
    const char* what;
    PassCriteria criteria;
    RunResult run;
    bool passes;
  };
  const double edge = kFacingTheLine;
  const std::vector<Case> cases = {
      {"cross-track at its limit", {0.05, {}, false}, reachedRun(0.05, 0.0, 0.0), true},
      {"cross-track beyond", {0.05, {}, false}, reachedRun(0.0501, 0.0, 0.0), false},
      {"ratio at its limit (4 m of 4 m)", {{}, 1.0, false}, reachedRun(0.0, 0.0, 0.0), true},
      {"ratio beyond", {{}, 0.99, false}, reachedRun(0.0, 0.0, 0.0), false},
      {"facing the line at the edge", {{}, {}, true}, reachedRun(0.0, -edge, 0.0), true},
      {"facing away from the line", {{}, {}, true}, reachedRun(0.0, edge + 1e-9, 0.0), false},
      {"moving in the first turn", {{}, {}, true}, reachedRun(0.0, 0.0, 0.0101), false},
      {"unchecked criteria", {}, reachedRun(1.0, M_PI, 1.0), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Verdict verdict = judge(lineScenario(c.criteria), c.run);
    EXPECT_EQ(verdict.passed, c.passes);
    EXPECT_EQ(verdict.failures.size(), c.passes ? 0u : 1u);
  }
}

TEST(SimVerdict, AFailedRunFailsWithItsReasonAndMarksTheFigureAtFault) {
  struct Case {
    const char* what;
    Outcome outcome;
    double positionError;  // m
    double headingError;   // rad
    std::string reason;
    bool positionMarked;
    bool headingMarked;
  };
  const std::string timeLimit = "not finished within the time limit of 120 s";
  const std::string outside = "ended outside the tolerances (0.07071 m, 5 deg)";
  const double tolerance = RunSettings{}.positionTolerance;
  const std::vector<Case> cases = {
      {"stopped by the time limit 18.5 m off", Outcome::TimeLimit, 18.5, 0.02, timeLimit, true,
       false},
      {"stopped by the time limit at the goal, turning", Outcome::TimeLimit, 0.01, 0.5, timeLimit,
       false, true},
      {"finished at the position tolerance, heading beyond", Outcome::OutsideTolerance, tolerance,
       0.1, outside, false, true},
      {"finished just beyond the position tolerance", Outcome::OutsideTolerance, tolerance + 1e-9,
       0.0, outside, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunResult run = reachedRun(0.0, 0.0, 0.0);
    run.outcome = c.outcome;
    run.finished = c.outcome != Outcome::TimeLimit;
    run.positionError = c.positionError;
    run.headingError = c.headingError;
    const Verdict verdict = judge(lineScenario({}), run);
    EXPECT_FALSE(verdict.passed);
    EXPECT_EQ(verdict.failures, std::vector<std::string>{c.reason});
    EXPECT_EQ(verdict.positionError.failed, c.positionMarked);
    EXPECT_EQ(verdict.headingError.failed, c.headingMarked);
    // A run is stopped at its time limit: its time never breaks it.
    EXPECT_FALSE(verdict.time.failed);
  }
}

TEST(SimVerdict, ARotationInPlaceHasNoLineMoveFiguresToBreak) {
  RunResult run = reachedRun(0.0, 0.0, 0.0);
  run.phases = {PhaseStats{Phase::FirstTurn}, PhaseStats{Phase::FinalTurn}};
  SuiteScenario rotation = lineScenario({0.01, {}, true});
  rotation.scenario.goal = {0.0, 0.0, 1.0};
  const Verdict verdict = judge(rotation, run);
  EXPECT_TRUE(verdict.passed);
  EXPECT_TRUE(std::isnan(verdict.crossTrack.value));
  EXPECT_TRUE(std::isnan(verdict.distanceRatio.value));
}

TEST(SimVerdict, ACriterionBrokenInOneLegOfARouteNamesThatLeg) {
  // A U-turn of three 4 m legs: the same three phases in each leg.
  SuiteScenario route = lineScenario({0.05, {}, true});
  route.scenario.waypoints = {{0.0, 0.0, 0.0}, {4.0, 0.0, 0.0}, {4.0, 4.0, 0.0}, {0.0, 4.0, 0.0}};
  const auto legOf = [](int leg, double crossTrack, double firstTurnTravel) {
    RunResult part = reachedRun(crossTrack, 0.0, firstTurnTravel);
    for (PhaseStats& phase : part.phases) {
      phase.leg = leg;
    }
    return part.phases;
  };
  struct Case {
    std::vector<std::vector<PhaseStats>> legs;
    std::string failure;
  };
  const std::vector<Case> cases = {
      {{legOf(0, 0.01, 0.0), legOf(1, 0.08, 0.0), legOf(2, 0.02, 0.0)},
       "leg 2 of 3: largest cross-track error of the line move 0.0800 m, over 0.05 m"},
      {{legOf(0, 0.01, 0.0), legOf(1, 0.01, 0.0), legOf(2, 0.01, 0.02)},
       "leg 3 of 3: first turn not on the spot: moved 0.020 m (limit 0.01 m), line move began "
       "0.0 deg off the line (limit 10 deg)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failure);
    RunResult run = reachedRun(0.0, 0.0, 0.0);
    run.phases.clear();
    for (const auto& leg : c.legs) {
      run.phases.insert(run.phases.end(), leg.begin(), leg.end());
    }
    const Verdict verdict = judge(route, run);
    EXPECT_EQ(verdict.failures, std::vector<std::string>{c.failure});
  }
}

TEST(SimResultWire, AResultArrivesBitForBitWhateverPiecesTheBytesComeIn) {
  RunResult sent = reachedRun(0.0123, -0.1, 1e-300);
  sent.outcome = Outcome::BadCommand;
  sent.headingError = -0.0;
  sent.badCommand = "linear.x nan angular.z 0 at 3.000 s";
  const std::string bytes = encodeResult(41, sent) + encodeResult(42, RunResult{});

  std::string received;
  std::vector<std::uint32_t> indices;
  std::vector<RunResult> results;
  for (const char byte : bytes) {  // one byte at a time: the worst a pipe can do
    received += byte;
    std::uint32_t index = 0;
    RunResult result;
    while (takeResult(received, index, result)) {
      indices.push_back(index);
      results.push_back(result);
    }
  }
  EXPECT_TRUE(received.empty());
  ASSERT_EQ(indices, (std::vector<std::uint32_t>{41, 42}));
  const RunResult& got = results[0];
  EXPECT_EQ(got.outcome, sent.outcome);
  EXPECT_EQ(got.cycles, sent.cycles);
  EXPECT_EQ(got.badCommand, sent.badCommand);
  EXPECT_TRUE(std::signbit(got.headingError));
  ASSERT_EQ(got.phases.size(), 3u);
  EXPECT_EQ(got.phases[1].phase, Phase::LineMove);
  EXPECT_EQ(got.phases[1].maxCrossTrack, sent.phases[1].maxCrossTrack);
  EXPECT_EQ(got.phases[1].startHeadingError, sent.phases[1].startHeadingError);
  EXPECT_EQ(got.phases[0].distance, 1e-300);
  EXPECT_TRUE(results[1].phases.empty());
}

TEST(SimWorkers, ResultsComeBackInOrderForMoreJobsThanRuns) {
  std::vector<int> done;
  const std::vector<RunResult> results = runEach(
      3, 8,
      [](int i) {
        RunResult result;
        result.cycles = 100 + i;
        result.simulatedTime = getpid();  // which process ran it
        return result;
      },
      [&done] { done.push_back(1); });
  ASSERT_EQ(results.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(results[i].cycles, 100 + i);
    EXPECT_NE(results[i].simulatedTime, getpid()) << "run in a worker, not here";
  }
  EXPECT_EQ(done.size(), 3u);
}

TEST(SimWorkers, AWorkerThatDiesIsReportedWithWhatItDelivered) {
  try {
    runEach(6, 2,
            [](int i) {
              if (i == 3) {
                raise(SIGKILL);
              }
              return RunResult{};
            },
            {});
    FAIL() << "no WorkerError";
  } catch (const WorkerError& error) {
    EXPECT_STREQ(error.what(),
                 "worker process 2 of 2 was killed by signal 9 (Killed) after 1 of its 3 runs; "
                 "--jobs 1 runs every scenario in this process");
  }
}
