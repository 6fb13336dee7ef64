// Clamps, maximum, sign and angle arithmetic of the motion toolkit: ties, crossed bounds, NaN and
// the values at the +-pi seam.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "trelvo/motion.hpp"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(FSat, ClampsToEachBoundAndPassesValuesBetween) {
  EXPECT_EQ(fSat(2.0, 0.0, 1.0), 1.0);
  EXPECT_EQ(fSat(-1.0, 0.0, 1.0), 0.0);
  EXPECT_EQ(fSat(0.25, 0.0, 1.0), 0.25);
}

TEST(FSat, ValueEqualToUpperReturnsUpper) {
  EXPECT_EQ(fSat(1.0, 0.0, 1.0), 1.0);
  // The tie goes to the upper bound itself: +0 upper turns a -0 value into +0.
  EXPECT_FALSE(std::signbit(fSat(-0.0, -1.0, 0.0)));
}

TEST(FSat, CrossedBoundsTestUpperFirst) {
  EXPECT_EQ(fSat(0.5, 1.0, 0.0), 0.0);
  EXPECT_EQ(fSat(-0.5, 1.0, 0.0), 1.0);
}

TEST(FSat, NaNValuePassesAndNaNBoundNeverApplies) {
  EXPECT_TRUE(std::isnan(fSat(kNaN, 0.0, 1.0)));
  EXPECT_EQ(fSat(5.0, 0.0, kNaN), 5.0);
  EXPECT_EQ(fSat(-5.0, kNaN, 1.0), -5.0);
}

TEST(SetLimit, TakesUpperBeforeLowerAndClampsToEach) {
  EXPECT_EQ(SetLimit(2.0, 1.0, 0.0), 1.0);
  EXPECT_EQ(SetLimit(-1.0, 1.0, 0.0), 0.0);
  EXPECT_EQ(SetLimit(0.5, 1.0, 0.0), 0.5);
  EXPECT_EQ(SetLimit(1.0, 1.0, 0.0), 1.0);
}

TEST(SetLimit, CrossedBoundsTestLowerFirst) {
  EXPECT_EQ(SetLimit(0.5, 0.0, 1.0), 1.0);
  EXPECT_EQ(SetLimit(2.0, 0.0, 1.0), 0.0);
}

TEST(SetLimit, NaNValuePassesAndNaNBoundNeverApplies) {
  EXPECT_TRUE(std::isnan(SetLimit(kNaN, 1.0, 0.0)));
  EXPECT_EQ(SetLimit(5.0, kNaN, 0.0), 5.0);
  EXPECT_EQ(SetLimit(-5.0, 1.0, kNaN), -5.0);
}

TEST(Max, TiesAndNaNReturnSecondOperand) {
  EXPECT_EQ(max(3.0, 2.0), 3.0);
  EXPECT_EQ(max(2.0, 3.0), 3.0);
  EXPECT_TRUE(std::signbit(max(0.0, -0.0)));
  EXPECT_FALSE(std::signbit(max(-0.0, 0.0)));
  EXPECT_EQ(max(kNaN, 3.0), 3.0);
  EXPECT_TRUE(std::isnan(max(3.0, kNaN)));
}

TEST(Sign, ZeroOfEitherSignIsPositiveAndNaNIsNegative) {
  EXPECT_EQ(Sign(0.0), 1);
  EXPECT_EQ(Sign(-0.0), 1);
  EXPECT_EQ(Sign(2.5), 1);
  EXPECT_EQ(Sign(-1e-300), -1);
  EXPECT_EQ(Sign(kNaN), -1);
}

TEST(NormalizationAngle, KeepsPiAndMinusPiOnTheirSide) {
  EXPECT_EQ(NormalizationAngle(kPi), 3.141592653589793);
  EXPECT_EQ(NormalizationAngle(-kPi), -3.141592653589793);
  EXPECT_EQ(NormalizationAngle(3.0 * kPi), 3.1415926535897927);
}

TEST(NormalizationAngle, WrapsIntoMinusPiToPi) {
  EXPECT_NEAR(NormalizationAngle(1.5 * kPi), -kPi / 2.0, 1e-15);
  EXPECT_NEAR(NormalizationAngle(-1.5 * kPi), kPi / 2.0, 1e-15);
  EXPECT_NEAR(NormalizationAngle(0.5 + 4.0 * kTwoPi), 0.5, 1e-14);
  EXPECT_EQ(NormalizationAngle(0.0), 0.0);
}

TEST(NormalizationAngle, NeverLeavesRangeOrProducesNaNForFiniteInput) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> angle(-1e6, 1e6);
  for (int i = 0; i < 100000; ++i) {
    const double a = angle(random);
    const double wrapped = NormalizationAngle(a);
    ASSERT_GE(wrapped, -kPi) << a;
    ASSERT_LE(wrapped, kPi) << a;
  }
  EXPECT_TRUE(std::isnan(NormalizationAngle(kNaN)));
}

TEST(NormalizationAnglePos, ShiftsNegativeResultsByFullTurn) {
  EXPECT_NEAR(NormalizationAnglePos(-kPi / 2.0), 1.5 * kPi, 1e-15);
  EXPECT_EQ(NormalizationAnglePos(kPi), kPi);
  EXPECT_EQ(NormalizationAnglePos(0.0), 0.0);
}

TEST(NormalizationAnglePos, FullTurnRoundsBackToExactlyTwoPi) {
  EXPECT_EQ(NormalizationAnglePos(kTwoPi), 6.283185307179586);
}

TEST(Rotationfunction, ShiftsHalfTurnTowardZeroWithinOneTurn) {
  EXPECT_EQ(Rotationfunction(0.0), -kPi);
  EXPECT_EQ(Rotationfunction(-0.1), kPi - 0.1);
  EXPECT_EQ(Rotationfunction(4.0), 4.0 - kPi);
  EXPECT_EQ(Rotationfunction(-kTwoPi), -kPi);
}

TEST(Rotationfunction, FullTurnAndBeyondOrNaNGiveZero) {
  EXPECT_EQ(Rotationfunction(kTwoPi), 0.0);
  EXPECT_EQ(Rotationfunction(7.0), 0.0);
  EXPECT_EQ(Rotationfunction(std::nextafter(-kTwoPi, -10.0)), 0.0);
  EXPECT_EQ(Rotationfunction(kNaN), 0.0);
}

TEST(CalcAngleError, TakesTheShortWayAcrossTheSeam) {
  EXPECT_NEAR(CalcAngleError(0.1, 6.2), 6.1 - kTwoPi, 1e-12);
  EXPECT_NEAR(CalcAngleError(6.2, 0.1), kTwoPi - 6.1, 1e-12);
  EXPECT_EQ(CalcAngleError(1.0, 2.5), 1.5);
  EXPECT_EQ(CalcAngleError(2.5, 1.0), -1.5);
}

TEST(CalcAngleError, ExactHalfTurnKeepsItsSign) {
  EXPECT_EQ(CalcAngleError(0.0, kPi), kPi);
  EXPECT_EQ(CalcAngleError(kPi, 0.0), -kPi);
}

TEST(CalcAngleError, WrapsOnlyOnceAndPropagatesNaN) {
  EXPECT_EQ(CalcAngleError(0.0, 10.0), 10.0 - kTwoPi);
  EXPECT_EQ(CalcAngleError(0.0, -10.0), -10.0 + kTwoPi);
  EXPECT_TRUE(std::isnan(CalcAngleError(kNaN, 1.0)));
  EXPECT_TRUE(std::isnan(CalcAngleError(1.0, kNaN)));
}

}  // namespace
