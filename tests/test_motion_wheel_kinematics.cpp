// Wheel commands of steerable-wheel and differential vehicles, and dead reckoning.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <random>

#include "helpers.hpp"
#include "trelvo/motion.hpp"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::chrono::milliseconds kNoHang{2000};
constexpr double kUntouchedAngle = 0.7;  // an angle no computation here produces

const AGV_Pos kWheelA = {70.0, 195.0, 0.0};
const AGV_Pos kWheelB = {-70.0, -195.0, 0.0};

class WheelKinematics : public ::testing::Test {
 protected:
  void SetUp() override {
    gWheelOffsetAngleSet = 0.0;
    gWheelRotateMin = -M_PI / 2;
    gWheelRotateMax = M_PI / 2;
    gAGVWidthSet = 500.0;
    gMoveDirInWorld = 0.0;
    gWheelDir = 1;
    Odom_x = Odom_y = Odom_theta = 0.0;
  }

  // Both outputs start with a recognisable angle and speed.
  WheelVROut outA{-1.0, kUntouchedAngle};
  WheelVROut outB{-1.0, kUntouchedAngle};

  void straight(double vx, AGV_Pos wheelA = kWheelA, AGV_Pos wheelB = kWheelB) {
    VW2WheelsNew(vx, 0.0, 0.0, 0.0, 0.0, wheelA, wheelB, &outA, &outB);
  }
};

// Plain ±pi loops as the steering range adjustment is defined, for finite inputs that end.
struct StepResult {
  double angle;
  int sign;
};
StepResult referenceIntoRange(double angle, double lower, double upper) {
  int sign = 1;
  while (angle > upper) {
    angle -= M_PI;
    sign = -sign;
  }
  while (angle < lower) {
    angle += M_PI;
    sign = -sign;
  }
  return {angle, sign};
}

// ---- VW2WheelsNew: mounting test -------------------------------------------------------------

TEST_F(WheelKinematics, MountingTestAcceptsNominalMirroredAndCentredFirstWheel) {
  for (AGV_Pos wheel :
       {AGV_Pos{70, 195, 0}, AGV_Pos{-70, -195, 0}, AGV_Pos{0, 0, 0}, AGV_Pos{70.9, 195.9, 0}}) {
    outA = {-1.0, kUntouchedAngle};
    straight(100.0, wheel);
    EXPECT_EQ(outA.v, 100.0) << wheel.x << ", " << wheel.y;
    EXPECT_EQ(outA.r, 0.0);
  }
}

TEST_F(WheelKinematics, MountingTestRefusesFirstWheelOutOfPlaceWithZeroSpeedsAndUntouchedAngles) {
  for (AGV_Pos wheel :
       {AGV_Pos{80, 195, 0}, AGV_Pos{70, 200, 0}, AGV_Pos{71, 195, 0}, AGV_Pos{kNaN, 195, 0}}) {
    outA = {-1.0, kUntouchedAngle};
    outB = {-1.0, kUntouchedAngle};
    straight(100.0, wheel);
    EXPECT_EQ(outA.v, 0.0) << wheel.x << ", " << wheel.y;
    EXPECT_EQ(outB.v, 0.0);
    EXPECT_EQ(outA.r, kUntouchedAngle);
    EXPECT_EQ(outB.r, kUntouchedAngle);
  }
}

TEST_F(WheelKinematics, MountingTestIgnoresSecondWheelPosition) {
  straight(100.0, kWheelA, AGV_Pos{1000.0, -1000.0, 0.0});
  EXPECT_EQ(outB.v, 100.0);
  EXPECT_EQ(outB.r, 0.0);
}

// ---- VW2WheelsNew: straight travel -----------------------------------------------------------

TEST_F(WheelKinematics, StraightAheadSteersBothWheelsToZeroAtFullSpeed) {
  straight(100.0);
  EXPECT_EQ(outA.r, 0.0);
  EXPECT_EQ(outB.r, 0.0);
  EXPECT_EQ(outA.v, 100.0);
  EXPECT_EQ(outB.v, 100.0);
}

TEST_F(WheelKinematics, StraightReverseFlipsAngleByHalfTurnAndNegatesSpeed) {
  straight(-100.0);
  EXPECT_EQ(outA.r, 0.0);
  EXPECT_EQ(outB.r, 0.0);
  EXPECT_EQ(outA.v, -100.0);
  EXPECT_EQ(outB.v, -100.0);
}

TEST_F(WheelKinematics, LoadTimeRangeRaisesAngleByHalfTurnAndLeavesItAboveMaximum) {
  gWheelRotateMin = 0.0;
  gWheelRotateMax = 0.0;
  gWheelOffsetAngleSet = 0.3;  // the straight angle becomes -0.3
  straight(100.0);
  EXPECT_EQ(outA.r, 2.8415926535897933);
  EXPECT_EQ(outB.r, 2.8415926535897933);
  EXPECT_EQ(outA.v, -100.0);
  EXPECT_EQ(outB.v, -100.0);
}

TEST_F(WheelKinematics, StraightAngleIsMeasuredFromTheLineInTheVehicleFrame) {
  // Heading 0.5 to the left of the line: the wheels steer 0.5 to the right.
  VW2WheelsNew(100.0, 0.0, 0.0, 1.5, 1.0, kWheelA, kWheelB, &outA, &outB);
  EXPECT_NEAR(outA.r, -0.5, 1e-12);
  EXPECT_NEAR(outA.v, 100.0, 1e-12);
  // A lateral command alone steers a quarter turn.
  gWheelRotateMin = -M_PI;
  gWheelRotateMax = M_PI;
  VW2WheelsNew(0.0, 50.0, 0.0, 0.0, 0.0, kWheelA, kWheelB, &outA, &outB);
  EXPECT_EQ(outA.r, M_PI / 2);
  EXPECT_EQ(outA.v, 50.0);
}

TEST_F(WheelKinematics, TurnRateUpToThresholdOrNaNIsStraightTravel) {
  const AGV_Pos farWheel = {0.0, 400.0, 0.0};
  for (double w : {1e-4, -1e-4, kNaN}) {
    VW2WheelsNew(100.0, 0.0, w, 0.0, 0.0, kWheelA, farWheel, &outA, &outB);
    EXPECT_EQ(outB.v, 100.0) << w;
    EXPECT_EQ(outB.r, 0.0) << w;
  }
  VW2WheelsNew(100.0, 0.0, 1.5e-4, 0.0, 0.0, kWheelA, farWheel, &outA, &outB);
  EXPECT_NE(outB.v, 100.0);
}

// ---- VW2WheelsNew: turning -------------------------------------------------------------------

TEST_F(WheelKinematics, TurningWheelsSteerPerpendicularToTheirRadiusAroundTheCentre) {
  // 100 mm/s at 0.5 rad/s: the centre lies at (0, 200). A wheel at the origin drives forward,
  // a wheel beyond the centre points the same way but drives backwards.
  VW2WheelsNew(100.0, 0.0, 0.5, 0.0, 0.0, AGV_Pos{0, 0, 0}, AGV_Pos{0, 400, 0}, &outA, &outB);
  EXPECT_EQ(outA.r, 0.0);
  EXPECT_EQ(outA.v, 100.0);
  EXPECT_EQ(outB.r, 0.0);
  EXPECT_EQ(outB.v, -100.0);
}

TEST_F(WheelKinematics, TurningAngleAboveHalfTurnWrapsByFullTurnWithoutFlippingSpeed) {
  gWheelRotateMin = -M_PI;
  gWheelRotateMax = M_PI;
  VW2WheelsNew(100.0, 0.0, 0.5, 0.0, 0.0, kWheelA, AGV_Pos{-10, 400, 0}, &outA, &outB);
  EXPECT_NEAR(outB.r, std::atan2(200.0, -10.0) + M_PI / 2 - 2 * M_PI, 1e-12);
  EXPECT_NEAR(outB.v, std::hypot(200.0, 10.0) * 0.5, 1e-9);
}

TEST_F(WheelKinematics, TurningAngleTakesMountingOffsetAndFlipsIntoRange) {
  gWheelOffsetAngleSet = 1.0;
  VW2WheelsNew(100.0, 0.0, 0.5, 0.0, 0.0, AGV_Pos{0, 0, 0}, AGV_Pos{0, 0, 0}, &outA, &outB);
  EXPECT_EQ(outA.r, -1.0);
  gWheelOffsetAngleSet = 2.0;  // -2.0 lies below the range: raised by pi, speed reversed
  VW2WheelsNew(100.0, 0.0, 0.5, 0.0, 0.0, AGV_Pos{0, 0, 0}, AGV_Pos{0, 0, 0}, &outA, &outB);
  EXPECT_EQ(outA.r, -2.0 + M_PI);
  EXPECT_EQ(outA.v, -100.0);
}

// ---- VW2WheelsNew and WheelDirOut: the half-turn loops always end ---------------------------

TEST_F(WheelKinematics, FiniteAnglesTakeExactlyTheHalfTurnStepsOfThePlainLoops) {
  std::mt19937_64 random(20240607);
  std::uniform_real_distribution<double> offset(-2e4, 2e4);
  std::uniform_real_distribution<double> bound(-4.0, 4.0);
  for (int i = 0; i < 3000; ++i) {
    gWheelOffsetAngleSet = offset(random);
    gWheelRotateMin = bound(random);
    gWheelRotateMax = bound(random);
    straight(100.0);
    const StepResult expected =
        referenceIntoRange(0.0 - gWheelOffsetAngleSet, gWheelRotateMin, gWheelRotateMax);
    ASSERT_EQ(outA.r, expected.angle) << gWheelOffsetAngleSet;
    ASSERT_EQ(outA.v, 100.0 * expected.sign);
    ASSERT_EQ(outB.r, expected.angle);

    WheelDirOut(0.0, 0.0, 1.0, 0.0, gWheelOffsetAngleSet, 0.0);
    ASSERT_EQ(gWheelDir, expected.sign);
  }
}

// Runs a straight VW2WheelsNew under the given range and offset on a thread of its own.
struct RangeCase {
  double lower;
  double upper;
  double offset;
};

void expectStraightRefused(RangeCase range, double w) {
  auto out = std::make_shared<std::array<WheelVROut, 2>>();
  (*out)[0] = (*out)[1] = {-1.0, kUntouchedAngle};
  gWheelRotateMin = range.lower;
  gWheelRotateMax = range.upper;
  gWheelOffsetAngleSet = range.offset;
  ASSERT_TRUE(trelvo_test::finishesWithin(kNoHang,
                                          [out, w] {
                                            VW2WheelsNew(100.0, 0.0, w, 0.0, 0.0, kWheelA, kWheelB,
                                                         &(*out)[0], &(*out)[1]);
                                          }))
      << range.lower << " " << range.upper << " " << range.offset;
  EXPECT_EQ((*out)[0].v, 0.0);
  EXPECT_EQ((*out)[1].v, 0.0);
  EXPECT_EQ((*out)[0].r, kUntouchedAngle);
  EXPECT_EQ((*out)[1].r, kUntouchedAngle);
}

TEST_F(WheelKinematics, EndlessRangeLoopsStopBothWheelsAndLeaveAnglesInsteadOfHanging) {
  const RangeCase endless[] = {
      {-M_PI / 2, -kInf, 0.0},       // every angle lies above the maximum
      {kInf, M_PI / 2, 0.0},         // every angle lies below the minimum
      {1e300, 2e300, 0.0},           // pi steps cannot climb to the minimum
      {-M_PI / 2, M_PI / 2, 1e15},   // 3e14 steps away
      {-M_PI / 2, M_PI / 2, -kInf},  // the angle itself is infinite
  };
  for (const RangeCase& range : endless) {
    expectStraightRefused(range, 0.0);
    expectStraightRefused(range, 0.5);
  }
}

TEST_F(WheelKinematics, StalledHalfTurnStepsGiveUpInsteadOfHanging) {
  // At 2^56 a step of pi rounds back to the same angle, though the maximum is only 64 below.
  const double huge = std::ldexp(1.0, 56);
  expectStraightRefused({-kInf, huge - 64.0, -huge}, 0.0);
}

TEST_F(WheelKinematics, AngleMillionHalfTurnsFromRangeIsStillStepped) {
  gWheelOffsetAngleSet = -3e6;  // about 955000 half turns above the maximum
  ASSERT_TRUE(trelvo_test::finishesWithin(kNoHang, [this] { straight(100.0); }));
  const StepResult expected = referenceIntoRange(3e6, gWheelRotateMin, gWheelRotateMax);
  EXPECT_EQ(outA.r, expected.angle);
  EXPECT_EQ(outA.v, 100.0 * expected.sign);
}

TEST_F(WheelKinematics, UnreachableBoundsAreRefusedWithoutSteppingToTheCap) {
  // Stepping a million times takes about a millisecond per call; a refusal at the outset takes
  // well under a microsecond, so a thousand refusals stay far below the limit here.
  constexpr int kCalls = 1000;
  const auto started = std::chrono::steady_clock::now();
  for (int i = 0; i < kCalls; ++i) {
    gWheelRotateMin = -M_PI / 2;
    gWheelRotateMax = -kInf;
    WheelDirOut(0.0, 0.0, 1.0, 0.0, 0.0, 0.0);
    gWheelRotateMin = kInf;
    gWheelRotateMax = M_PI / 2;
    WheelDirOut(0.0, 0.0, 1.0, 0.0, 0.0, 0.0);
    outA = {50.0, 0.0};
    VW2WheelRestrict(&outA, &outB, kInf);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(200));
  EXPECT_EQ(outA.v, 0.0);
}

TEST_F(WheelKinematics, NaNRangeBoundsNeverApply) {
  gWheelRotateMin = kNaN;
  gWheelRotateMax = kNaN;
  straight(-100.0);
  EXPECT_EQ(outA.r, M_PI);
  EXPECT_EQ(outA.v, 100.0);
}

TEST_F(WheelKinematics, EndlessWheelDirLoopKeepsForwardTravelSignAndStillSetsDirection) {
  gWheelDir = -1;
  gWheelRotateMax = -kInf;
  ASSERT_TRUE(trelvo_test::finishesWithin(kNoHang, [] { WheelDirOut(0, 0, 0, 10, 0, 0); }));
  EXPECT_EQ(gWheelDir, 1);
  EXPECT_EQ(gMoveDirInWorld, M_PI / 2);
}

// ---- WheelDirOut -----------------------------------------------------------------------------

TEST_F(WheelKinematics, WheelDirOutRecordsLineDirectionAndForwardSign) {
  gWheelDir = -1;
  WheelDirOut(1.0, 1.0, 11.0, 1.0, 0.0, 0.0);
  EXPECT_EQ(gMoveDirInWorld, 0.0);
  EXPECT_EQ(gWheelDir, 1);
}

TEST_F(WheelKinematics, WheelDirOutReversesSignForLineBehindTheWheels) {
  WheelDirOut(0.0, 0.0, -10.0, 0.0, 0.0, 0.0);
  EXPECT_EQ(gMoveDirInWorld, M_PI);
  EXPECT_EQ(gWheelDir, -1);
}

TEST_F(WheelKinematics, WheelDirOutSubtractsBothOffsetsFromSteeringButNotFromDirection) {
  WheelDirOut(0.0, 0.0, 0.0, 10.0, 0.2, 0.3);  // pi/2 - 0.5 lies in range
  EXPECT_EQ(gWheelDir, 1);
  WheelDirOut(0.0, 0.0, 0.0, 10.0, -0.3, -0.3);  // pi/2 + 0.6 does not
  EXPECT_EQ(gWheelDir, -1);
  EXPECT_EQ(gMoveDirInWorld, M_PI / 2);
}

// ---- VW2WheelRestrict ------------------------------------------------------------------------

TEST_F(WheelKinematics, RestrictFlipsAngleNearReferenceAndNegatesSpeed) {
  outA = {50.0, 3.0};
  outB = {20.0, -3.0};
  VW2WheelRestrict(&outA, &outB, 0.0);
  EXPECT_EQ(outA.r, -0.14159265358979312);
  EXPECT_EQ(outA.v, -50.0);
  EXPECT_EQ(outB.r, 0.14159265358979312);
  EXPECT_EQ(outB.v, -20.0);
}

TEST_F(WheelKinematics, RestrictTwoHalfTurnsKeepSpeedSign) {
  outA = {50.0, 7.0};
  VW2WheelRestrict(&outA, &outB, 0.0);
  EXPECT_EQ(outA.r, 0.7168146928204138);
  EXPECT_EQ(outA.v, 50.0);
}

TEST_F(WheelKinematics, RestrictLeavesAngleExactlyQuarterTurnAway) {
  outA = {50.0, M_PI / 2};
  VW2WheelRestrict(&outA, &outB, 0.0);
  EXPECT_EQ(outA.r, M_PI / 2);
  EXPECT_EQ(outA.v, 50.0);
}

TEST_F(WheelKinematics, RestrictClampsAngleIntoRangeWithoutTouchingSpeed) {
  gWheelRotateMin = -0.1;
  gWheelRotateMax = 0.1;
  outA = {50.0, 0.5};
  outB = {30.0, -0.5};
  VW2WheelRestrict(&outA, &outB, 0.0);
  EXPECT_EQ(outA.r, 0.1);
  EXPECT_EQ(outA.v, 50.0);
  EXPECT_EQ(outB.r, -0.1);
  EXPECT_EQ(outB.v, 30.0);
}

TEST_F(WheelKinematics, RestrictFiniteAnglesTakeExactlyThePlainLoopSteps) {
  gWheelRotateMin = -kInf;
  gWheelRotateMax = kInf;
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> angle(-2e4, 2e4);
  for (int i = 0; i < 3000; ++i) {
    const double reference = angle(random) * 1e-3;
    double expectedAngle = angle(random);
    outA = {50.0, expectedAngle};
    double expectedSpeed = 50.0;
    while (std::fabs(reference - expectedAngle) > M_PI / 2) {
      expectedAngle = reference > expectedAngle ? expectedAngle + M_PI : expectedAngle - M_PI;
      expectedSpeed = -expectedSpeed;
    }
    VW2WheelRestrict(&outA, &outB, reference);
    ASSERT_EQ(outA.r, expectedAngle);
    ASSERT_EQ(outA.v, expectedSpeed);
  }
}

void expectRestrictRefused(double reference, WheelVROut a, WheelVROut b, double clampedA,
                           double clampedB) {
  auto out = std::make_shared<std::array<WheelVROut, 2>>();
  (*out)[0] = a;
  (*out)[1] = b;
  ASSERT_TRUE(trelvo_test::finishesWithin(kNoHang, [out, reference] {
    VW2WheelRestrict(&(*out)[0], &(*out)[1], reference);
  })) << reference;
  EXPECT_EQ((*out)[0].v, 0.0);
  EXPECT_EQ((*out)[1].v, 0.0);
  EXPECT_EQ((*out)[0].r, clampedA);
  EXPECT_EQ((*out)[1].r, clampedB);
}

TEST_F(WheelKinematics, EndlessRestrictLoopStopsBothWheelsAndClampsUnsteppedAngles) {
  expectRestrictRefused(kInf, {50, 0.2}, {50, -0.2}, 0.2, -0.2);
  expectRestrictRefused(-1e300, {50, 0.2}, {50, -0.2}, 0.2, -0.2);
  // Only the first wheel's angle is out of reach; the second wheel stops too.
  expectRestrictRefused(0.0, {50, 1e300}, {50, 3.0}, M_PI / 2, 3.0 - M_PI);
  expectRestrictRefused(0.0, {50, -kInf}, {50, 0.0}, -M_PI / 2, 0.0);
}

TEST_F(WheelKinematics, OscillatingRestrictStepsGiveUpInsteadOfHanging) {
  // Above 2^53 the pi steps round to 4 and jump back and forth over a reference 2 away.
  gWheelRotateMin = -kInf;
  gWheelRotateMax = kInf;
  const double huge = std::ldexp(1.0, 53);
  expectRestrictRefused(huge + 2.0, {50, huge}, {50, huge + 2.0}, huge, huge + 2.0);
}

// ---- VW2Wheels_DS ----------------------------------------------------------------------------

TEST_F(WheelKinematics, DifferentialStraightForwardAddsLateralToFirstWheel) {
  const WheelVROut out = VW2Wheels_DS(100.0, 10.0, 0.0, 0.0, 0.0);
  EXPECT_EQ(out.v, 110.0);
  EXPECT_EQ(out.r, 90.0);
}

TEST_F(WheelKinematics, DifferentialReverseTestOnHalfAngleSines) {
  struct Case {
    double heading;
    bool backwards;
  };
  for (const Case& c : {Case{0.0, false}, Case{M_PI, true}, Case{2 * M_PI, false},
                        Case{3 * M_PI, true}, Case{-M_PI, true}}) {
    const WheelVROut out = VW2Wheels_DS(100.0, 10.0, 0.0, c.heading, 0.0);
    EXPECT_EQ(out.v, c.backwards ? -90.0 : 110.0) << c.heading;
    EXPECT_EQ(out.r, c.backwards ? -110.0 : 90.0) << c.heading;
  }
}

TEST_F(WheelKinematics, DifferentialReverseTestExcludesOneAndAHalf) {
  // |sin(pi/2) - sin(-pi/6)| rounds to exactly 1.5: forward.
  const WheelVROut out = VW2Wheels_DS(100.0, 0.0, 0.0, M_PI, -M_PI / 3);
  EXPECT_EQ(out.v, 100.0);
}

TEST_F(WheelKinematics, DifferentialTurnAddsHalfWidthTerm) {
  WheelVROut out = VW2Wheels_DS(100.0, 0.0, 0.5, 0.0, 0.0);
  EXPECT_EQ(out.v, 225.0);
  EXPECT_EQ(out.r, -25.0);
  out = VW2Wheels_DS(100.0, 10.0, 0.5, 0.0, 0.0);
  EXPECT_EQ(out.v, 235.0);
  EXPECT_EQ(out.r, -35.0);
}

TEST_F(WheelKinematics, DifferentialTurnBackwardsNegatesRadius) {
  const WheelVROut out = VW2Wheels_DS(100.0, 0.0, 0.5, M_PI, 0.0);
  EXPECT_EQ(out.v, 25.0);
  EXPECT_EQ(out.r, -225.0);
}

TEST_F(WheelKinematics, DifferentialTurnUpToThresholdIgnored) {
  for (double w : {0.0005, 0.001, -0.001}) {
    const WheelVROut out = VW2Wheels_DS(100.0, 0.0, w, 0.0, 0.0);
    EXPECT_EQ(out.v, 100.0) << w;
    EXPECT_EQ(out.r, 100.0) << w;
  }
}

TEST_F(WheelKinematics, DifferentialTurnReadsWidthGlobal) {
  gAGVWidthSet = 0.0;
  const WheelVROut out = VW2Wheels_DS(100.0, 0.0, 0.5, 0.0, 0.0);
  EXPECT_EQ(out.v, 100.0);
  EXPECT_EQ(out.r, 100.0);
}

// ---- OdemeterOut -----------------------------------------------------------------------------

TEST_F(WheelKinematics, OdometryStraightStepScalesMeanSpeedByTimeStep) {
  AGV_Pos pose = {0.0, 0.0, 0.0};
  OdemeterOut(0.5f, 0.5f, 0.5f, 500.0f, {100.0, 0.0}, {100.0, 0.0}, &pose);
  EXPECT_EQ(pose.x, 50.0);
  EXPECT_EQ(pose.y, 0.0);
  EXPECT_EQ(pose.theta, 0.0);
}

TEST_F(WheelKinematics, OdometryTimeStepIsHeldInSinglePrecision) {
  AGV_Pos pose = {0.0, 0.0, 0.0};
  OdemeterOut(0.1f, 0.1f, 0.1f, 500.0f, {100.0, 0.0}, {100.0, 0.0}, &pose);
  EXPECT_EQ(pose.x, 10.000000149011612);
}

TEST_F(WheelKinematics, OdometryHeadingStepRoundedToSinglePrecision) {
  AGV_Pos pose = {0.0, 0.0, 1.0};
  OdemeterOut(0.1f, 0.1f, 0.1f, 500.0f, {90.0, 0.0}, {110.0, 0.0}, &pose);
  // float(20 / 500) = 0.03999999910593033, times 0.1f in single precision.
  EXPECT_EQ(pose.theta, 1.0 + 0.004000000189989805);
}

TEST_F(WheelKinematics, OdometryMeanSpeedRoundedToSinglePrecision) {
  AGV_Pos pose = {0.0, 0.0, 0.0};
  OdemeterOut(0.0f, 1.0f, 1.0f, 500.0f, {0.1, 0.0}, {0.1, 0.0}, &pose);
  EXPECT_EQ(pose.x, static_cast<double>(0.1f));
}

TEST_F(WheelKinematics, OdometryPositionStepUsesNewHeading) {
  AGV_Pos pose = {0.0, 0.0, 0.0};
  OdemeterOut(1.0f, 1.0f, 1.0f, 100.0f, {50.0, 0.0}, {150.0, 0.0}, &pose);
  EXPECT_EQ(pose.theta, 1.0);
  EXPECT_EQ(pose.x, 100.0 * std::cos(1.0));
  EXPECT_EQ(pose.y, 100.0 * std::sin(1.0));
}

TEST_F(WheelKinematics, OdometryAdvancesCallerPoseOnly) {
  AGV_Pos pose = {10.0, 20.0, 0.0};
  OdemeterOut(0.5f, 0.5f, 0.5f, 500.0f, {100.0, 0.0}, {100.0, 0.0}, &pose);
  EXPECT_EQ(pose.x, 60.0);
  EXPECT_EQ(pose.y, 20.0);
  EXPECT_EQ(Odom_x, 0.0);
  EXPECT_EQ(Odom_y, 0.0);
  EXPECT_EQ(Odom_theta, 0.0);
}

TEST_F(WheelKinematics, OdometryStepThatCannotBeTakenLeavesPoseUnchanged) {
  constexpr float kInfF = std::numeric_limits<float>::infinity();
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    float track;
    float dt;
    double first;
    double second;
  };
  const Row rows[] = {
      {0.0f, 0.5f, 90.0, 110.0},   // no track: infinite turn rate
      {0.0f, 0.5f, 100.0, 100.0},  // no track: 0 / 0
      {kInfF, 0.5f, 90.0, 110.0},
      {500.0f, 0.5f, kNaN, 100.0},
      {500.0f, 0.5f, 100.0, -std::numeric_limits<double>::infinity()},
      {500.0f, kInfF, 90.0, 110.0},
      {500.0f, 0.5f, 1e308, 1e308},  // overflow
  };
  for (const Row& row : rows) {
    AGV_Pos pose = {10.0, 20.0, 0.5};
    OdemeterOut(row.dt, row.dt, row.dt, row.track, {row.first, 0.0}, {row.second, 0.0}, &pose);
    EXPECT_EQ(pose.x, 10.0) << row.track << " " << row.first << " " << row.second;
    EXPECT_EQ(pose.y, 20.0);
    EXPECT_EQ(pose.theta, 0.5);
  }
}

}  // namespace
