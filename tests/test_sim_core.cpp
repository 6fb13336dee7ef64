// The simulator's parts: vehicle models (wheel order, acceleration limits, noise), the run loop
// against the real controller, phase bookkeeping and the batch's statistics.

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <utility>
#include <vector>

#include "common/vehicle.hpp"
#include "sim/output/statistics.hpp"
#include "sim/run/phase_tracker.hpp"
#include "sim/run/run.hpp"
#include "sim/run/scenario_path.hpp"
#include "sim/scenarios/batch.hpp"
#include "sim/scenarios/suite_verdict.hpp"

using namespace sim;

namespace sim {
// Names the vehicle in test listings instead of its bytes.
void PrintTo(common::VehicleKind kind, std::ostream* out) {
  *out << (kind == common::VehicleKind::Unicycle ? "unicycle" : "differential");
}
}  // namespace sim

namespace {

constexpr double kPeriod = 0.05;  // s

common::VehicleSettings vehicleOf(common::VehicleKind kind) {
  common::VehicleSettings settings;
  settings.kind = kind;
  return settings;
}

class BothVehicles : public testing::TestWithParam<common::VehicleKind> {};

INSTANTIATE_TEST_SUITE_P(Sim, BothVehicles,
                         testing::Values(common::VehicleKind::Unicycle,
                                         common::VehicleKind::Differential),
                         [](const testing::TestParamInfo<common::VehicleKind>& info) {
                           return info.param == common::VehicleKind::Unicycle ? "Unicycle"
                                                                              : "Differential";
                         });

}  // namespace

TEST_P(BothVehicles, PositiveTurnRateTurnsCounterClockwise) {
  common::Vehicle vehicle(vehicleOf(GetParam()), {0.0, 0.0, 0.0}, 1);
  for (int i = 0; i < 10; ++i) {
    vehicle.apply(0.0, 0.4, kPeriod);
  }
  EXPECT_NEAR(vehicle.pose().heading, 0.2, 1e-6);
  EXPECT_NEAR(vehicle.pose().x, 0.0, 1e-12);
  EXPECT_NEAR(vehicle.pose().y, 0.0, 1e-12);
}

TEST_P(BothVehicles, NegativeTurnRateTurnsClockwise) {
  common::Vehicle vehicle(vehicleOf(GetParam()), {0.0, 0.0, 1.0}, 1);
  vehicle.apply(0.0, -0.5, kPeriod);
  EXPECT_NEAR(vehicle.pose().heading, 1.0 - 0.025, 1e-6);
}

TEST_P(BothVehicles, ForwardSpeedDrivesAlongTheHeading) {
  common::Vehicle vehicle(vehicleOf(GetParam()), {1.0, 2.0, M_PI / 2}, 1);
  for (int i = 0; i < 20; ++i) {
    vehicle.apply(0.4, 0.0, kPeriod);
  }
  EXPECT_NEAR(vehicle.pose().x, 1.0, 1e-6);
  EXPECT_NEAR(vehicle.pose().y, 2.4, 1e-6);
}

TEST_P(BothVehicles, ArcCurvesToTheLeftUnderAPositiveTurnRate) {
  common::Vehicle vehicle(vehicleOf(GetParam()), {0.0, 0.0, 0.0}, 1);
  for (int i = 0; i < 40; ++i) {
    vehicle.apply(0.3, 0.3, kPeriod);
  }
  // Two seconds on a circle of radius 1 m about (0, 1): 0.6 rad round.
  EXPECT_NEAR(vehicle.pose().heading, 0.6, 1e-5);
  EXPECT_NEAR(vehicle.pose().x, std::sin(0.6), 0.01);
  EXPECT_NEAR(vehicle.pose().y, 1.0 - std::cos(0.6), 0.01);
}

TEST(SimVehicle, DrivingOnWhileTheHostIsBlockedKeepsTheLatestCommand) {
  common::VehicleSettings settings = vehicleOf(common::VehicleKind::Unicycle);
  settings.maxAccel = 1.0;
  common::Vehicle vehicle(settings, {0.0, 0.0, 0.0}, 1);
  vehicle.apply(0.4, 0.0, 0.1);  // ramps to 0.1 m/s
  vehicle.driveOn(0.1);          // on towards 0.4 m/s: 0.2 m/s
  EXPECT_NEAR(vehicle.pose().x, 0.1 * 0.1 + 0.2 * 0.1, 1e-12);
}

TEST(SimVehicle, WheelSpeedsPutTheFasterWheelOnTheRightInACounterClockwiseTurn) {
  common::VehicleSettings settings = vehicleOf(common::VehicleKind::Differential);
  settings.width = 0.4;
  const common::Vehicle vehicle(settings, {0.0, 0.0, 0.0}, 1);
  const common::WheelSpeeds wheels = vehicle.wheelSpeeds(0.2, 0.5);
  EXPECT_DOUBLE_EQ(wheels.right, 0.2 + 0.5 * 0.2);
  EXPECT_DOUBLE_EQ(wheels.left, 0.2 - 0.5 * 0.2);
}

TEST(SimVehicle, WheelSpeedsStayForwardWhateverTheHeading) {
  for (const double heading : {0.0, 1.5, M_PI, -2.5, 3 * M_PI}) {
    const common::Vehicle vehicle(vehicleOf(common::VehicleKind::Differential), {0.0, 0.0, heading},
                                  1);
    const common::WheelSpeeds wheels = vehicle.wheelSpeeds(0.3, 0.0);
    EXPECT_DOUBLE_EQ(wheels.left, 0.3) << heading;
    EXPECT_DOUBLE_EQ(wheels.right, 0.3) << heading;
  }
}

TEST(SimVehicle, EachVehicleTurnsWithItsOwnWheelDistance) {
  common::VehicleSettings narrow = vehicleOf(common::VehicleKind::Differential);
  narrow.width = 0.2;
  common::VehicleSettings wide = narrow;
  wide.width = 1.0;
  common::Vehicle a(narrow, {0.0, 0.0, 0.0}, 1);
  common::Vehicle b(wide, {0.0, 0.0, 0.0}, 1);
  // Interleaved: the library's width setting is shared by the whole process.
  for (int i = 0; i < 10; ++i) {
    a.apply(0.0, 0.4, kPeriod);
    b.apply(0.0, 0.4, kPeriod);
  }
  EXPECT_NEAR(a.pose().heading, 0.2, 1e-6);
  EXPECT_NEAR(b.pose().heading, 0.2, 1e-6);
}

TEST(SimVehicle, AccelerationLimitRampsTheAppliedSpeeds) {
  common::VehicleSettings settings = vehicleOf(common::VehicleKind::Unicycle);
  settings.maxAccel = 1.0;      // 0.05 m/s per cycle
  settings.maxTurnAccel = 2.0;  // 0.1 rad/s per cycle
  common::Vehicle vehicle(settings, {0.0, 0.0, 0.0}, 1);
  vehicle.apply(0.4, 0.0, kPeriod);
  EXPECT_NEAR(vehicle.pose().x, 0.05 * kPeriod, 1e-12);
  common::Vehicle turning(settings, {0.0, 0.0, 0.0}, 1);
  turning.apply(0.0, 0.5, kPeriod);
  turning.apply(0.0, 0.5, kPeriod);
  EXPECT_NEAR(turning.pose().heading, (0.1 + 0.2) * kPeriod, 1e-12);
}

TEST(SimVehicle, NoiseIsRepeatableFromItsSeedAndLeavesTheTruePoseAlone) {
  common::VehicleSettings settings = vehicleOf(common::VehicleKind::Unicycle);
  settings.noiseXY = 0.01;
  settings.noiseHeading = 0.01;
  common::Vehicle a(settings, {1.0, 1.0, 0.0}, 42);
  common::Vehicle b(settings, {1.0, 1.0, 0.0}, 42);
  common::Vehicle c(settings, {1.0, 1.0, 0.0}, 43);
  const common::Pose2D ma = a.measuredPose();
  const common::Pose2D mb = b.measuredPose();
  const common::Pose2D mc = c.measuredPose();
  EXPECT_EQ(ma.x, mb.x);
  EXPECT_EQ(ma.heading, mb.heading);
  EXPECT_NE(ma.x, mc.x);
  EXPECT_NE(ma.x, 1.0);
  EXPECT_EQ(a.pose().x, 1.0);
  EXPECT_EQ(a.pose().heading, 0.0);
}

TEST(SimVehicle, WithoutNoiseTheMeasuredPoseIsTheTruePose) {
  common::Vehicle vehicle(vehicleOf(common::VehicleKind::Unicycle), {1.0, -2.0, 0.5}, 7);
  const common::Pose2D measured = vehicle.measuredPose();
  EXPECT_EQ(measured.x, 1.0);
  EXPECT_EQ(measured.y, -2.0);
  EXPECT_EQ(measured.heading, 0.5);
}

TEST_P(BothVehicles, RunReachesTheGoalThroughAllThreePhasesWithBoundedCommands) {
  RunSettings settings;
  settings.vehicle = vehicleOf(GetParam());
  const Scenario scenario{{0.0, 0.0, M_PI}, {4.0, 2.0, M_PI / 2}, 1};
  std::vector<CycleRecord> trace;
  std::vector<Phase> ended;
  RunHooks hooks;
  hooks.onCycle = [&trace](const CycleRecord& record) { trace.push_back(record); };
  hooks.onPhaseEnd = [&ended](const PhaseStats& phase) { ended.push_back(phase.phase); };

  const RunResult result = runScenario(scenario, settings, hooks);

  EXPECT_EQ(result.outcome, Outcome::Reached);
  EXPECT_TRUE(result.finished);
  EXPECT_EQ(ended, (std::vector<Phase>{Phase::FirstTurn, Phase::LineMove, Phase::FinalTurn}));
  ASSERT_EQ(trace.size(), static_cast<std::size_t>(result.cycles));
  EXPECT_DOUBLE_EQ(result.simulatedTime, (result.cycles - 1) * settings.period);
  double phaseTime = 0.0;
  for (const PhaseStats& phase : result.phases) {
    phaseTime += phase.duration;
  }
  EXPECT_NEAR(phaseTime, result.simulatedTime, 1e-9);
  for (const CycleRecord& record : trace) {
    ASSERT_TRUE(std::isfinite(record.v) && std::isfinite(record.w));
    ASSERT_LE(std::fabs(record.v), kCommandLimit);
    ASSERT_LE(std::fabs(record.w), kCommandLimit);
    // Only the line move publishes a look-ahead point, and only the line move drives forwards.
    if (record.hasLookAhead) {
      EXPECT_EQ(record.phase, Phase::LineMove);
    }
  }
  EXPECT_LT(result.positionError, settings.positionTolerance);
  EXPECT_LT(std::fabs(result.headingError), settings.headingTolerance);
}

TEST(SimRun, StopsAtTheTimeLimitAsAFailureInsideTheUnfinishedPhase) {
  RunSettings settings;
  settings.timeLimit = 2.0;
  const RunResult result = runScenario({{0.0, 0.0, M_PI}, {4.0, 2.0, 0.0}, 1}, settings);
  EXPECT_EQ(result.outcome, Outcome::TimeLimit);
  EXPECT_FALSE(result.finished);
  EXPECT_EQ(result.cycles, 41);
  ASSERT_EQ(result.phases.size(), 1u);
  EXPECT_FALSE(result.phases[0].completed);
}

TEST(SimRun, FinishingOutsideTheToleranceIsAFailure) {
  RunSettings settings;
  settings.positionTolerance = 1e-6;
  const RunResult result = runScenario({{0.0, 0.0, 0.0}, {2.0, 0.0, 0.0}, 1}, settings);
  EXPECT_TRUE(result.finished);
  EXPECT_EQ(result.outcome, Outcome::OutsideTolerance);
}

TEST(SimRun, AStartTheControllerCallsArrivedPassesInEveryCornerOfItsBox) {
  // Just inside the controller's 0.05 m box in x and in y: it skips the line move and finishes,
  // and the default tolerance agrees.
  for (const auto& [dx, dy] :
       {std::pair{0.0499, 0.0499}, {-0.0499, 0.0499}, {0.0499, -0.0499}, {-0.0499, -0.0499}}) {
    SCOPED_TRACE(testing::Message() << dx << ", " << dy);
    const RunResult result =
        runScenario({{0.0, 0.0, M_PI / 4}, {dx, dy, M_PI / 4}, 1}, RunSettings{});
    EXPECT_TRUE(result.finished);
    EXPECT_GT(result.positionError, 0.05);
    EXPECT_EQ(result.outcome, Outcome::Reached);
  }
}

TEST(SimRun, StartWithinTheStationToleranceSkipsTheLineMove) {
  std::vector<Phase> ended;
  RunHooks hooks;
  hooks.onPhaseEnd = [&ended](const PhaseStats& phase) { ended.push_back(phase.phase); };
  const RunResult result =
      runScenario({{1.0, 1.0, 0.0}, {1.02, 0.98, 2.0}, 1}, RunSettings{}, hooks);
  EXPECT_EQ(result.outcome, Outcome::Reached);
  EXPECT_EQ(ended, (std::vector<Phase>{Phase::FirstTurn, Phase::FinalTurn}));
}

TEST(SimRun, AnLRouteDrivesEachOfItsTwoLegsThroughItsPhasesAndPasses) {
  SuiteScenario route{};
  route.name = "l-route";
  route.scenario.waypoints = {{0.0, 0.0, 0.0}, {3.0, 0.0, 0.0}, {3.0, 2.0, M_PI / 2}};
  route.scenario.start = route.scenario.waypoints.front();
  route.scenario.goal = route.scenario.waypoints.back();
  route.criteria = {0.05, 1.02, true};
  ASSERT_EQ(routeLegs(route.scenario).size(), 2u);

  const RunResult result = runScenario(route.scenario, route.settings);

  EXPECT_EQ(result.outcome, Outcome::Reached);
  std::vector<std::pair<int, Phase>> phases;
  for (const PhaseStats& phase : result.phases) {
    phases.emplace_back(phase.leg, phase.phase);
  }
  EXPECT_EQ(phases, (std::vector<std::pair<int, Phase>>{{0, Phase::FirstTurn},
                                                        {0, Phase::LineMove},
                                                        {0, Phase::FinalTurn},
                                                        {1, Phase::FirstTurn},
                                                        {1, Phase::LineMove},
                                                        {1, Phase::FinalTurn}}));
  const Verdict verdict = judge(route, result);
  EXPECT_TRUE(verdict.passed) << verdict.failures.front();
  EXPECT_NEAR(verdict.distanceRatio.value, 1.0, 0.02) << "against the 5 m of both legs";
}

TEST(SimPhases, PhaseEndsWhenTheNextBeginsAndDurationsRunToIt) {
  std::vector<PhaseStats> ended;
  PhaseTracker tracker([&ended](const PhaseStats& phase) { ended.push_back(phase); });
  tracker.cycle(0, Phase::FirstTurn, 0.0, 0.0, 0.0);
  tracker.moved(0.0);
  tracker.cycle(0, Phase::FirstTurn, 0.1, -0.002, 0.0);
  EXPECT_TRUE(ended.empty());
  tracker.cycle(0, Phase::LineMove, 0.2, 0.01, 0.0);
  tracker.moved(0.5);
  tracker.cycle(0, Phase::LineMove, 0.3, -0.03, 0.0);
  tracker.finish(0.3, false);
  ASSERT_EQ(ended.size(), 2u);
  EXPECT_EQ(ended[0].cycles, 2);
  EXPECT_DOUBLE_EQ(ended[0].duration, 0.2);
  EXPECT_DOUBLE_EQ(ended[0].maxCrossTrack, 0.002);
  EXPECT_TRUE(ended[0].completed);
  EXPECT_DOUBLE_EQ(ended[1].duration, 0.3 - 0.2);
  EXPECT_DOUBLE_EQ(ended[1].distance, 0.5);
  EXPECT_DOUBLE_EQ(ended[1].maxCrossTrack, 0.03);
  EXPECT_FALSE(ended[1].completed);
}

TEST(SimPhases, StepValuesBeyondTheLineMoveMeanTheFinalTurn) {
  EXPECT_EQ(phaseOfStep(0), Phase::FirstTurn);
  EXPECT_EQ(phaseOfStep(1), Phase::LineMove);
  EXPECT_EQ(phaseOfStep(2), Phase::FinalTurn);
  EXPECT_EQ(phaseOfStep(7), Phase::FinalTurn);
}

TEST(SimGeometry, CrossTrackErrorIsPositiveLeftOfTravel) {
  const common::Pose2D from{0.0, 0.0, 0.0};
  const common::Pose2D to{2.0, 0.0, 0.0};
  EXPECT_DOUBLE_EQ(common::crossTrackError({1.0, 0.3, 0.0}, from, to), 0.3);
  EXPECT_DOUBLE_EQ(common::crossTrackError({1.0, -0.3, 0.0}, from, to), -0.3);
  EXPECT_DOUBLE_EQ(common::crossTrackError({3.0, 4.0, 0.0}, from, from), 5.0);
}

TEST(SimStatistics, NearestRankMedianPercentileAndWorst) {
  std::vector<double> values;
  for (int i = 100; i >= 1; --i) {
    values.push_back(i);
  }
  const Spread spread = spreadOf(values);
  EXPECT_EQ(spread.median, 50.0);
  EXPECT_EQ(spread.p95, 95.0);
  EXPECT_EQ(spread.worst, 100.0);
  const Spread one = spreadOf({3.5});
  EXPECT_EQ(one.median, 3.5);
  EXPECT_EQ(one.p95, 3.5);
  const Spread none = spreadOf({});
  EXPECT_EQ(none.worst, 0.0);
}

TEST(SimBatch, ScenariosRepeatFromTheSeedAndStayWithinTheRadius) {
  const BatchSettings settings{200, 3.0, 9};
  const std::vector<BatchRun> a = drawScenarios(settings);
  const std::vector<BatchRun> b = drawScenarios(settings);
  const std::vector<BatchRun> c = drawScenarios({200, 3.0, 10});
  ASSERT_EQ(a.size(), 200u);
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].scenario.start.x, b[i].scenario.start.x);
    EXPECT_EQ(a[i].scenario.goal.heading, b[i].scenario.goal.heading);
    EXPECT_EQ(a[i].scenario.noiseSeed, b[i].scenario.noiseSeed);
    EXPECT_LE(std::hypot(a[i].scenario.start.x, a[i].scenario.start.y), 3.0);
    EXPECT_LE(std::hypot(a[i].scenario.goal.x, a[i].scenario.goal.y), 3.0);
    EXPECT_GE(a[i].goalHeadingDegrees, -180.0);
    EXPECT_LT(a[i].goalHeadingDegrees, 180.0);
    EXPECT_EQ(a[i].scenario.goal.heading, common::toRadians(a[i].goalHeadingDegrees));
  }
  EXPECT_NE(a[0].scenario.start.x, c[0].scenario.start.x);
}
