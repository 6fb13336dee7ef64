// One step of the straight and arc moves, and the sub-goals of planned moves.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <memory>

#include "helpers.hpp"
#include "trelvo/motion.hpp"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kUntouched = 7.0;  // a value no computation here produces

const AGV_Pos kWheelA = {70.0, 195.0, 0.0};
const AGV_Pos kWheelB = {-70.0, -195.0, 0.0};
const AGV_Pos kStart = {0.0, 0.0, 0.0};
const AGV_Pos kEnd = {1000.0, 0.0, 0.0};

// A straight move along +x at a constant 100 mm/s (the ramp is capped at once), 150 mm wheels
// behind a 20:1 reduction, steering range of a quarter turn either way.
class TrajectorySteps : public ::testing::Test {
 protected:
  void SetUp() override {
    trelvo_test::resetLineTracking();
    ansXYR = {kUntouched, kUntouched, kUntouched};
    gMoveDirInWorld = kUntouched;
    gWheelDiameterLSet = 150.0;
    gWheelDiameterRSet = 150.0;
    gReductionRatioSet = 20.0;
    gWheelOffsetAngleSet = 0.0;
    gWheelRotateMin = -M_PI / 2;
    gWheelRotateMax = M_PI / 2;
    gAGVWidthSet = 500.0;
  }

  AGV_VxVyW vel{kUntouched, kUntouched, kUntouched};
  WheelVROut outA{kUntouched, kUntouched};
  WheelVROut outB{kUntouched, kUntouched};
  WheelVROut out{kUntouched, kUntouched};

  bool lineStep(AGV_Pos cur, AGV_Pos end = kEnd, double tolerance = 1.0) {
    return LineTraj(cur, kStart, end, 50.0, &vel, 100.0, 100.0, 100.0, 1.0, kWheelA, kWheelB, 0.0,
                    &outA, &outB, tolerance);
  }
  bool differentialStep(AGV_Pos cur, AGV_Pos start = kStart, double tolerance = 1.0) {
    return LineTraj_DS(cur, start, kEnd, 50.0, &vel, 100.0, 100.0, 100.0, 1.0, &out, tolerance);
  }
};

// ---- LineTraj --------------------------------------------------------------------------------

TEST_F(TrajectorySteps, LineTrajConvertsWheelSpeedToMotorRpm) {
  lineStep({100.0, 0.0, 0.0});
  EXPECT_EQ(vel.vx, 100.0);
  EXPECT_EQ(outA.v, 254.64790894703253);  // 100 mm/s * 60 * 20 / 150 mm / pi
  EXPECT_EQ(outB.v, 254.64790894703253);
  EXPECT_EQ(outA.r, 0.0);
  EXPECT_EQ(outB.r, 0.0);
}

TEST_F(TrajectorySteps, LineTrajConvertsSecondWheelWithRightDiameter) {
  gWheelDiameterRSet = 150.5;
  lineStep({100.0, 0.0, 0.0});
  EXPECT_EQ(outA.v, 254.64790894703253);
  EXPECT_EQ(outB.v, 253.80190260501584);
}

TEST_F(TrajectorySteps, LineTrajStopsBothWheelsUnlessBothDiametersAreRated) {
  // An unset right wheel (0) used to give the second motor an infinite speed.
  for (double right : {0.0, 100.0, 151.0, kInf}) {
    gWheelDiameterRSet = right;
    lineStep({100.0, 0.0, 0.0});
    EXPECT_EQ(outA.v, 0.0) << right;
    EXPECT_EQ(outB.v, 0.0) << right;
  }
}

TEST_F(TrajectorySteps, LineTrajConvertsOnlyStrictlyWithinOneOfRatedDiameter) {
  for (double diameter : {150.5, 149.5}) {
    gWheelDiameterLSet = diameter;
    lineStep({100.0, 0.0, 0.0});
    EXPECT_GT(outA.v, 250.0) << diameter;
  }
  for (double diameter : {151.0, 149.0, 0.0}) {
    gWheelDiameterLSet = diameter;
    outA = outB = {kUntouched, kUntouched};
    lineStep({100.0, 0.0, 0.0});
    EXPECT_EQ(outA.v, 0.0) << diameter;
    EXPECT_EQ(outB.v, 0.0) << diameter;
    EXPECT_EQ(outA.r, 0.0) << diameter;  // still steering
  }
}

TEST_F(TrajectorySteps, LineTrajLeavesDeviationAndLineDirectionInGlobals) {
  const AGV_Pos end = {0.0, 1000.0, 0.0};
  lineStep({30.0, 100.0, M_PI / 2}, end);
  EXPECT_EQ(gMoveDirInWorld, M_PI / 2);
  EXPECT_EQ(ansXYR.x, -900.0);
  EXPECT_EQ(ansXYR.y, -30.0);
  EXPECT_EQ(ansXYR.x, pDeltaXYR.x);
  EXPECT_EQ(ansXYR.y, pDeltaXYR.y);
  EXPECT_EQ(ansXYR.r, pDeltaXYR.r);
  EXPECT_EQ(VxMax, 220.0);
}

TEST_F(TrajectorySteps, LineTrajSteersWheelsFromBodyCommandAndRestrictsThem) {
  gWheelRotateMin = -0.1;
  gWheelRotateMax = 0.1;
  VyCtrlStru.value[0] = 2.0;
  lineStep({100.0, 30.0, 0.0});  // lateral -44 at 100 forward: steer right, clamped to -0.1
  EXPECT_EQ(vel.vy, -44.0);
  EXPECT_EQ(outA.r, -0.1);
  EXPECT_EQ(outB.r, -0.1);
  EXPECT_GT(outA.v, 254.64790894703253);
}

TEST_F(TrajectorySteps, StraightMovesCompleteWithinToleranceOfEndAndPastIt) {
  EXPECT_FALSE(lineStep({998.5, 0.0, 0.0}));
  EXPECT_TRUE(lineStep({999.5, 0.0, 0.0}));
  EXPECT_TRUE(lineStep({1005.0, 0.0, 0.0}));
  EXPECT_FALSE(differentialStep({998.5, 0.0, 0.0}));
  EXPECT_TRUE(differentialStep({999.5, 0.0, 0.0}));
  EXPECT_TRUE(differentialStep({1005.0, 0.0, 0.0}));
}

TEST_F(TrajectorySteps, LineTrajWithEndlessSteeringRangeStopsWheelsInsteadOfHanging) {
  gWheelRotateMax = -kInf;
  struct Outputs {
    AGV_VxVyW vel;
    WheelVROut a;
    WheelVROut b;
  };
  auto outputs = std::make_shared<Outputs>(
      Outputs{{0.0, 0.0, 0.0}, {kUntouched, kUntouched}, {kUntouched, kUntouched}});
  ASSERT_TRUE(trelvo_test::finishesWithin(std::chrono::milliseconds(2000), [outputs] {
    LineTraj({100.0, 0.0, 0.0}, kStart, kEnd, 50.0, &outputs->vel, 100.0, 100.0, 100.0, 1.0,
             kWheelA, kWheelB, 0.0, &outputs->a, &outputs->b, 1.0);
  }));
  EXPECT_EQ(outputs->a.v, 0.0);
  EXPECT_EQ(outputs->b.v, 0.0);
}

// ---- LineTraj_DS -----------------------------------------------------------------------------

TEST_F(TrajectorySteps, DifferentialLineForwardAddsLateralToFirstWheel) {
  VyCtrlStru.value[0] = 2.0;
  differentialStep({100.0, 30.0, 0.0});
  EXPECT_EQ(out.v, 56.0);
  EXPECT_EQ(out.r, 144.0);
  EXPECT_EQ(gMoveDirInWorld, 0.0);
  EXPECT_EQ(ansXYR.x, -900.0);
  EXPECT_EQ(ansXYR.y, 30.0);
}

TEST_F(TrajectorySteps, DifferentialLineWithStartFacingBackDrivesBackwards) {
  VyCtrlStru.value[0] = 2.0;
  differentialStep({100.0, 30.0, 0.0}, {0.0, 0.0, M_PI});
  EXPECT_EQ(out.v, -144.0);
  EXPECT_EQ(out.r, -56.0);
}

// ---- ArcMove_DS ------------------------------------------------------------------------------

class ArcMove : public TrajectorySteps {
 protected:
  void SetUp() override {
    TrajectorySteps::SetUp();
    WCtrlStru.value[0] = 100.0;
    WCtrlStru.value[1] = -100.0;
  }

  bool arcStep(AGV_Pos cur, AGV_Pos start, AGV_Pos end, double tolerance = 0.01) {
    return ArcMove_DS(cur, start, end, 1.0, &vel, 0.1, 0.5, 0.1, kUntouched, &out, tolerance);
  }
};

TEST_F(ArcMove, QuarterCircleDrivesRadiusTimesTurnRate) {
  const AGV_Pos end = {1000.0, 1000.0, M_PI / 2};
  EXPECT_FALSE(arcStep(kStart, kStart, end));
  EXPECT_EQ(vel.w, 0.1);
  EXPECT_DOUBLE_EQ(vel.vx, 100.0);
  EXPECT_EQ(vel.vy, kUntouched);
  EXPECT_DOUBLE_EQ(out.v, 125.0);  // (1000 + 250) * 0.1
  EXPECT_DOUBLE_EQ(out.r, 75.0);
}

TEST_F(ArcMove, CurvatureComesFromYChordWheneverItIsLongEnough) {
  // These poses lie on no common circle: the y chord gives 0.001, the x chord would give 0.002.
  arcStep(kStart, kStart, {500.0, 1000.0, M_PI / 2});
  EXPECT_DOUBLE_EQ(vel.vx, 100.0);
}

TEST_F(ArcMove, DirectionFollowsRemainingTurnNotSpan) {
  // Past the end the profile turns negative and the direction turns with it, so the command
  // keeps its sign while the step reports completion.
  const AGV_Pos end = {1000.0, 1000.0, M_PI / 2};
  EXPECT_TRUE(arcStep({0.0, 0.0, M_PI / 2 + 0.2}, kStart, end));
  EXPECT_GT(vel.w, 0.0);
}

TEST_F(ArcMove, ArcLeavesLineGlobalsAlone) {
  arcStep(kStart, kStart, {1000.0, 1000.0, M_PI / 2});
  EXPECT_EQ(ansXYR.x, kUntouched);
  EXPECT_EQ(gMoveDirInWorld, kUntouched);
}

TEST_F(ArcMove, ClockwiseHalfCircleTakesCurvatureFromXChord) {
  const AGV_Pos start = {0.0, 0.0, M_PI / 2};
  const AGV_Pos end = {2000.0, 0.0, -M_PI / 2};
  arcStep(start, start, end);
  EXPECT_EQ(vel.w, -0.1);
  EXPECT_DOUBLE_EQ(vel.vx, 100.0);
}

TEST_F(ArcMove, ArcAcrossSeamTurnsShortWay) {
  // Heading 3.0 to -3.0 turns 0.283 counter-clockwise through pi.
  const AGV_Pos start = {0.0, 0.0, 3.0};
  const AGV_Pos end = {-282.24, 0.0, -3.0};
  arcStep({0.0, 0.0, 3.1}, start, end);
  EXPECT_EQ(vel.w, 0.5);
  EXPECT_GT(vel.vx, 0.0);
}

TEST_F(ArcMove, ArcCompletesWithinToleranceOfTotalTurn) {
  const AGV_Pos end = {1000.0, 1000.0, M_PI / 2};
  EXPECT_FALSE(arcStep({0.0, 0.0, M_PI / 2 - 0.1}, kStart, end));
  EXPECT_TRUE(arcStep({0.0, 0.0, M_PI / 2 - 0.005}, kStart, end));
  EXPECT_TRUE(arcStep({0.0, 0.0, M_PI / 2 + 0.2}, kStart, end));
}

TEST_F(ArcMove, ZeroCurvatureStandsStillAndStillReportsCompletion) {
  // Start on end, and a straight "arc" with equal headings: no finite forward speed.
  for (const AGV_Pos& end : {kStart, AGV_Pos{1000.0, 0.0, 0.0}}) {
    EXPECT_TRUE(arcStep(kStart, kStart, end));
    EXPECT_EQ(vel.vx, 0.0);
    EXPECT_EQ(out.v, 0.0);
    EXPECT_EQ(out.r, 0.0);
    EXPECT_TRUE(std::isfinite(vel.w));
  }
}

// ---- PreMove ---------------------------------------------------------------------------------

struct PreMoveRow {
  int kind;
  int type;
  AGV_Pos target;
  int typeOut;
  bool setsFlag;
};

constexpr double kTargetHeading = 2.0;
constexpr double kHoldHeading = -0.5;
constexpr double kFace = M_PI / 4;  // from (0, 0) to (10, 10)

TEST(PreMove, EveryRowOfTheRouteTable) {
  const PreMoveRow rows[] = {
      {0, 0, {0, 0, kFace}, 0, false},
      {0, 1, {10, 10, kFace}, 1, false},
      {0, 2, {10, 10, kTargetHeading}, 0, true},
      {0, 3, {0, 0, 0}, 5, false},
      {0, -1, {0, 0, 0}, 5, false},
      {1, 0, {0, 0, kHoldHeading}, 0, false},
      {1, 1, {10, 0, kHoldHeading}, 1, false},
      {1, 2, {10, 10, kHoldHeading}, 1, false},
      {1, 3, {10, 10, kTargetHeading}, 0, true},
      {1, 4, {0, 0, 0}, 5, false},
      {2, 0, {0, 0, kHoldHeading}, 0, false},
      {2, 1, {0, 10, kHoldHeading}, 1, false},
      {2, 2, {10, 10, kHoldHeading}, 1, false},
      {2, 3, {10, 10, kTargetHeading}, 0, true},
      {2, 4, {0, 0, 0}, 5, false},
      {3, 0, {0, 0, 0}, 5, false},
      {7, 1, {0, 0, 0}, 5, false},
      {-1, 0, {0, 0, 0}, 5, false},
  };
  for (const PreMoveRow& row : rows) {
    int flag = 0;
    const PreMoveOut step = PreMove(0.0, 0.0, 99.0, 10.0, 10.0, kTargetHeading, kHoldHeading,
                                    row.type, row.kind, &flag);
    SCOPED_TRACE(testing::Message() << "kind " << row.kind << " type " << row.type);
    EXPECT_EQ(step.target.x, row.target.x);
    EXPECT_EQ(step.target.y, row.target.y);
    EXPECT_EQ(step.target.theta, row.target.theta);
    EXPECT_EQ(step.type, row.typeOut);
    EXPECT_EQ(flag, row.setsFlag ? 1 : 0);
  }
}

TEST(PreMove, AxisRoutesUseCurrentPositionForTheFirstLeg) {
  int flag = 0;
  PreMoveOut step = PreMove(3.0, 4.0, 0.0, 10.0, 20.0, 0.0, 0.0, 1, 1, &flag);
  EXPECT_EQ(step.target.x, 10.0);
  EXPECT_EQ(step.target.y, 4.0);
  step = PreMove(3.0, 4.0, 0.0, 10.0, 20.0, 0.0, 0.0, 1, 2, &flag);
  EXPECT_EQ(step.target.x, 3.0);
  EXPECT_EQ(step.target.y, 20.0);
}

TEST(PreMove, DoneFlagIsSetButNeverCleared) {
  int flag = 1;
  PreMove(0.0, 0.0, 0.0, 10.0, 10.0, 0.0, 0.0, 0, 0, &flag);
  EXPECT_EQ(flag, 1);
  PreMove(0.0, 0.0, 0.0, 10.0, 10.0, 0.0, 0.0, 9, 9, &flag);
  EXPECT_EQ(flag, 1);
  flag = 42;
  PreMove(0.0, 0.0, 0.0, 10.0, 10.0, 0.0, 0.0, 2, 0, &flag);
  EXPECT_EQ(flag, 1);
}

}  // namespace
