// Straight-line tracking (NewPID3) and the turn-rate profiles Rotation and spinTurn.

#include <gtest/gtest.h>

#include <cmath>

#include "helpers.hpp"
#include "trelvo/motion.hpp"

namespace {

// The segment (0,0) -> (1000,0) in mm, a forward ramp of slope 100 / scale 50 from 50 mm/s up to
// 300 mm/s, and no lateral or heading gain unless a test sets one.
class LineTracking : public ::testing::Test {
 protected:
  void SetUp() override { trelvo_test::resetLineTracking(); }

  AGV_VxVyW out{-1.0, -1.0, -1.0};

  DeltaXYR track(double px, double py, double heading, double startSpeed = 50.0,
                 double maxW = 1.0) {
    return NewPID3(px, py, heading, 0.0, 0.0, 0.0, 0.0, 0.0, 1000.0, 0.0, 50.0, &out, startSpeed,
                   300.0, 50.0, maxW);
  }
};

// ---- NewPID3 ---------------------------------------------------------------------------------

TEST_F(LineTracking, FirstHalfShapingSpeedRaisesVxMaxAndForwardSpeedFollowsTrapezoid) {
  const DeltaXYR deviation = track(100.0, 0.0, 0.0);
  EXPECT_EQ(VxMax, 220.0);
  EXPECT_EQ(out.vx, 250.0);
  EXPECT_EQ(out.vy, 0.0);
  EXPECT_EQ(out.w, 0.0);
  EXPECT_EQ(pDeltaXYR.x, -900.0);
  EXPECT_EQ(deviation.x, pDeltaXYR.x);
  EXPECT_EQ(deviation.y, pDeltaXYR.y);
  EXPECT_EQ(deviation.r, pDeltaXYR.r);
}

TEST_F(LineTracking, VxMaxKeepsItsPeakAcrossSteps) {
  track(400.0, 0.0, 0.0);  // 400 * 100 / 50 + 20
  EXPECT_EQ(VxMax, 820.0);
  track(100.0, 0.0, 0.0);
  EXPECT_EQ(VxMax, 820.0);
  track(800.0, 0.0, 0.0);  // last half: read, not raised
  EXPECT_EQ(VxMax, 820.0);
}

TEST_F(LineTracking, LateralCorrectionCappedAtFifthOfShapingSpeed) {
  VyCtrlStru.value[0] = 2.0;
  track(100.0, 30.0, 0.0);
  EXPECT_EQ(out.vy, -44.0);
  track(100.0, -30.0, 0.0);
  EXPECT_EQ(out.vy, 44.0);
}

TEST_F(LineTracking, LateralCorrectionBelowCapIsGainTimesCrossTrackAgainstItsSide) {
  VyCtrlStru.value[0] = 2.0;
  track(100.0, 5.0, 0.0);
  EXPECT_EQ(out.vy, -10.0);
}

TEST_F(LineTracking, LastHalfShapingSpeedRampsFromVxMaxToZeroAtEnd) {
  VyCtrlStru.value[0] = 2.0;
  VxMax = 220.0;
  track(750.0, 30.0, 0.0);  // shaping 220 - 250 * 220 / 500 = 110
  EXPECT_EQ(out.vy, -22.0);
  EXPECT_EQ(VxMax, 220.0);
  track(1000.0, 30.0, 0.0);  // shaping 0 at the end point
  EXPECT_EQ(out.vy, 0.0);
}

TEST_F(LineTracking, MoveStartingInLastHalfWithoutVxMaxHasNoLateralCorrection) {
  VyCtrlStru.value[0] = 2.0;
  track(600.0, 30.0, 0.0);
  EXPECT_EQ(out.vy, 0.0);
  EXPECT_TRUE(std::signbit(out.vy));  // the sign of the wanted correction survives
  EXPECT_GE(std::fabs(out.vx), 10.0);
}

TEST_F(LineTracking, HeadingTermIsGainTimesHeadingErrorClampedToMaxW) {
  WCtrlStru.value[2] = 2.0;
  track(100.0, 0.0, 0.1, 50.0, 0.5);  // not negated: the gain's sign sets the direction
  EXPECT_DOUBLE_EQ(out.w, 0.2);
  track(100.0, 0.0, 0.3, 50.0, 0.5);
  EXPECT_EQ(out.w, 0.5);
  track(100.0, 0.0, -0.3, 50.0, 0.5);
  EXPECT_EQ(out.w, -0.5);
}

TEST_F(LineTracking, CreepSpeedCutsLateralAndHeadingCorrections) {
  VyCtrlStru.value[0] = 2.0;
  WCtrlStru.value[2] = 2.0;
  track(0.0, 30.0, 0.3, 5.0);
  EXPECT_EQ(out.vx, 5.0);
  EXPECT_EQ(out.vy, 0.0);
  EXPECT_EQ(out.w, 0.0);
  track(0.0, 30.0, 0.3, 10.0);  // 10 itself is not creeping
  EXPECT_EQ(out.vx, 10.0);
  EXPECT_NE(out.vy, 0.0);
  EXPECT_NE(out.w, 0.0);
}

TEST_F(LineTracking, ZeroLengthSegmentGivesNaNSpeedsButKeepsClampedHeadingTerm) {
  WCtrlStru.value[2] = 2.0;
  VyCtrlStru.value[0] = 2.0;
  VxMax = 220.0;
  NewPID3(5.0, 5.0, 0.3, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 50.0, &out, 50.0, 300.0, 50.0, 0.5);
  EXPECT_TRUE(std::isnan(out.vx));
  EXPECT_TRUE(std::isnan(out.vy));
  EXPECT_EQ(out.w, 0.5);
  EXPECT_EQ(VxMax, 220.0);
}

// ---- Rotation --------------------------------------------------------------------------------

// A steep profile from 0.1 capped at 0.5 rad/s: any position past the start reads the cap.
constexpr double kMinSpeed = 0.1;
constexpr double kMaxSpeed = 0.5;
constexpr double kSlope = 100.0;

double rotationRate(double start, double current, double target, double tolerance = 0.01,
                    bool* complete = nullptr) {
  double rate = 0.0;
  const bool done = Rotation(start, current, target, kMinSpeed, kMaxSpeed, kSlope, -kSlope, 1.0,
                             tolerance, &rate);
  if (complete != nullptr) {
    *complete = done;
  }
  return rate;
}

double spinRate(double start, double current, double target, double tolerance = 0.01,
                bool* complete = nullptr) {
  double rate = 0.0;
  const bool done = spinTurn(start, current, target, kMinSpeed, kMaxSpeed, kSlope, -kSlope, 1.0,
                             tolerance, &rate);
  if (complete != nullptr) {
    *complete = done;
  }
  return rate;
}

TEST(Rotation, StartsAtMinimumSpeedTowardTarget) {
  EXPECT_EQ(rotationRate(0.0, 0.0, 1.0), kMinSpeed);
  EXPECT_EQ(rotationRate(0.0, 0.0, -1.0), -kMinSpeed);
  EXPECT_EQ(rotationRate(0.0, 0.3, 1.0), kMaxSpeed);
}

TEST(Rotation, SpanAcrossSeamIsShiftedAndTurnsShortWayPositive) {
  bool complete = true;
  EXPECT_EQ(rotationRate(3.0, 3.0, -3.0, 0.01, &complete), kMinSpeed);
  EXPECT_FALSE(complete);
  // 0.1 past the start the short way (toward +pi) the turn goes on in the positive direction.
  EXPECT_EQ(rotationRate(3.0, 3.1, -3.0, 0.01, &complete), kMaxSpeed);
  EXPECT_FALSE(complete);
  // Measured on the shifted angles the span is 0.283, so 0.1 turned is within 0.2 of it.
  rotationRate(3.0, 3.1, -3.0, 0.2, &complete);
  EXPECT_TRUE(complete);
  EXPECT_GT(rotationRate(3.0, -3.1, -3.0), 0.0);
}

TEST(Rotation, SpanOfExactlyHalfTurnIsNotShifted) {
  // Shifted, a current angle of -0.1 would land at pi - 0.1, beyond the target 0.
  EXPECT_EQ(rotationRate(0.0, -0.1, M_PI), kMaxSpeed);
}

TEST(Rotation, CompletesWithinToleranceOfSpanAndWhenOvershot) {
  bool complete = false;
  rotationRate(0.0, 0.5, 1.0, 0.5, &complete);  // -0.5 >= -0.5
  EXPECT_TRUE(complete);
  rotationRate(0.0, 0.5, 1.0, 0.25, &complete);
  EXPECT_FALSE(complete);
  rotationRate(0.0, 1.2, 1.0, 0.01, &complete);
  EXPECT_TRUE(complete);
}

// ---- spinTurn --------------------------------------------------------------------------------

TEST(SpinTurn, TurnsShortWayNegativeAcrossZero) {
  EXPECT_EQ(spinRate(0.1, 0.1, -0.1), -kMinSpeed);
}

TEST(SpinTurn, TurnsShortWayPositiveAcrossFullTurn) {
  EXPECT_EQ(spinRate(6.2, 6.2, 0.1), kMinSpeed);
  EXPECT_EQ(spinRate(-0.1, 0.0, 0.1), kMaxSpeed);
}

TEST(SpinTurn, ZeroSpanTurnsPositive) {
  EXPECT_EQ(spinRate(1.0, 1.0, 1.0), kMinSpeed);
}

TEST(SpinTurn, CompletionUsesRawAngleDifference) {
  bool complete = true;
  // 0.083 apart as headings, but 6.2 apart as passed.
  spinRate(-3.0, -3.1, 3.1, 0.1, &complete);
  EXPECT_FALSE(complete);
  spinRate(3.0, 3.05, 3.1, 0.1, &complete);
  EXPECT_TRUE(complete);
  spinRate(3.0, 3.0, 3.1, 0.1, &complete);  // the tolerance itself is not enough
  EXPECT_FALSE(complete);
}

}  // namespace
