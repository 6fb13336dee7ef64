// Deviation of a pose from a directed line, and the distance-based trapezoid speed profile.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "trelvo/motion.hpp"

namespace {

constexpr double kPi = 3.141592653589793;

DeltaXYR deviationFromXAxisLine(double px, double py, double heading) {
  DeltaXYR out{};
  CalLineDelta(px, py, heading, 0.0, 0.0, 10.0, 0.0, 0.0, &out);
  return out;
}

TEST(CalLineDelta, VehicleShortOfEndAndLeftOfLine) {
  const DeltaXYR d = deviationFromXAxisLine(4.0, 1.0, 0.1);
  EXPECT_EQ(d.x, -6.0);
  EXPECT_EQ(d.y, 1.0);
  EXPECT_DOUBLE_EQ(d.r, 0.1);
}

TEST(CalLineDelta, VehicleRightOfLineHasNegativeCrossDistance) {
  EXPECT_EQ(deviationFromXAxisLine(4.0, -1.0, 0.0).y, -1.0);
}

TEST(CalLineDelta, PastTheEndIsPositiveAndOnTheLineCountsAsRight) {
  const DeltaXYR d = deviationFromXAxisLine(12.0, 0.0, 0.0);
  EXPECT_EQ(d.x, 2.0);
  EXPECT_EQ(d.y, 0.0);
  EXPECT_TRUE(std::signbit(d.y));
}

TEST(CalLineDelta, AtTheEndAlongDistanceIsPositiveZero) {
  const DeltaXYR d = deviationFromXAxisLine(10.0, 0.0, 0.0);
  EXPECT_EQ(d.x, 0.0);
  EXPECT_FALSE(std::signbit(d.x));
}

TEST(CalLineDelta, HeadingErrorIsNormalisedAgainstLineDirection) {
  DeltaXYR d{};
  CalLineDelta(-3.0, 0.5, kPi, 0.0, 0.0, -10.0, 0.0, 1.0, &d);
  EXPECT_EQ(d.r, 0.0);
  EXPECT_EQ(d.x, -7.0);
  EXPECT_EQ(d.y, -0.5);  // left of the x axis is right of a line running along -x
}

TEST(CalLineDelta, DistancesDoNotOverflowOnHugeOffsets) {
  // A bare square root of a sum of squares would overflow to infinity here.
  DeltaXYR d{};
  CalLineDelta(0.0, 3e200, 0.0, 0.0, 0.0, 4e200, 0.0, 0.0, &d);
  EXPECT_EQ(d.x, -4e200);
  EXPECT_EQ(d.y, 3e200);
}

TEST(CalLineDelta, ZeroLengthLineGivesNaNDistancesAndNormalisedHeading) {
  DeltaXYR d{};
  CalLineDelta(1.0, 2.0, 3.0 * kPi, 5.0, 5.0, 5.0, 5.0, 0.0, &d);
  EXPECT_TRUE(std::isnan(d.x));
  EXPECT_TRUE(std::isnan(d.y));
  EXPECT_EQ(d.r, NormalizationAngle(3.0 * kPi));
}

// A 2-unit manoeuvre whose ramps meet exactly at 1.0.
double symmetricProfileAt(double pos) {
  return TrapezoidV(0.0, 2.0, pos, 0.03, -0.03, 0.1, 0.4, 0.1, 0.05);
}

TEST(TrapezoidV, RisesFromStartSpeedAndHoldsItBeforeTheStart) {
  EXPECT_EQ(symmetricProfileAt(-0.1), 0.1);
  EXPECT_EQ(symmetricProfileAt(0.0), 0.1);
  EXPECT_DOUBLE_EQ(symmetricProfileAt(0.25), 0.25);
}

TEST(TrapezoidV, SwitchPointUsesFallingSideAndCapsAtMaxSpeed) {
  EXPECT_EQ(symmetricProfileAt(1.0), 0.4);
  EXPECT_EQ(symmetricProfileAt(1.5), 0.4);
}

TEST(TrapezoidV, FallsToEndSpeedAndTurnsNegativePastTheEnd) {
  EXPECT_DOUBLE_EQ(symmetricProfileAt(1.9), 0.16);
  EXPECT_EQ(symmetricProfileAt(2.0), 0.1);
  EXPECT_DOUBLE_EQ(symmetricProfileAt(2.1), -0.16);
}

TEST(TrapezoidV, ShortManoeuvreNeverReachesTheCap) {
  EXPECT_DOUBLE_EQ(TrapezoidV(0.0, 0.3, 0.1, 0.03, -0.03, 0.1, 0.4, 0.1, 0.05), 0.16);
  EXPECT_DOUBLE_EQ(TrapezoidV(0.0, 0.3, 0.2, 0.03, -0.03, 0.1, 0.4, 0.1, 0.05), 0.16);
}

TEST(TrapezoidV, SwitchPointBeyondTheEndFallsBackToHalfTheLength) {
  // Ramps from 0.1 up and into 1.0 would meet at 0.9, past the 0.3 end: the switch moves to
  // 0.15, so 0.2 is already on the falling side.
  EXPECT_DOUBLE_EQ(TrapezoidV(0.0, 0.3, 0.2, 0.03, -0.03, 0.1, 2.0, 1.0, 0.05), 1.06);
  EXPECT_DOUBLE_EQ(TrapezoidV(0.0, 0.3, 0.1, 0.03, -0.03, 0.1, 2.0, 1.0, 0.05), 0.16);
  // Here the ramps do not meet at the switch point, so the strict test shows: the switch point
  // itself takes the falling formula.
  EXPECT_DOUBLE_EQ(TrapezoidV(0.0, 0.3, 0.15, 0.03, -0.03, 0.1, 2.0, 1.0, 0.05), 1.09);
}

TEST(TrapezoidV, RisingSideComparesSwitchPointWithAbsolutePosition) {
  // Start at -2, ramps meeting at 1: position -1.5 lies behind the switch point, but its
  // magnitude does not, so the falling formula applies.
  EXPECT_DOUBLE_EQ(TrapezoidV(-2.0, 4.0, -1.5, 1.0, -1.0, 0.0, 10.0, 0.0, 1.0), 5.5);
  EXPECT_DOUBLE_EQ(TrapezoidV(-2.0, 4.0, -0.5, 1.0, -1.0, 0.0, 10.0, 0.0, 1.0), 1.5);
}

TEST(TrapezoidV, NoLowerClampOnSmallOrNegativeSpeeds) {
  EXPECT_EQ(TrapezoidV(0.0, 2.0, 2.0, 0.03, -0.03, 0.0, 0.4, 0.0, 0.05), 0.0);
  EXPECT_LT(TrapezoidV(0.0, 2.0, 3.0, 0.03, -0.03, 0.0, 0.4, 0.0, 0.05), 0.0);
}

TEST(TrapezoidV, EqualSlopesPutTheSwitchPointAtHalfTheLength) {
  // Parallel ramps never meet: the infinite switch point is replaced by the midpoint 1.0.
  EXPECT_DOUBLE_EQ(TrapezoidV(0.0, 2.0, 0.5, 0.1, 0.1, 0.2, 5.0, 0.1, 1.0), 0.25);
  EXPECT_DOUBLE_EQ(TrapezoidV(0.0, 2.0, 1.5, 0.1, 0.1, 0.2, 5.0, 0.1, 1.0), 0.05);
}

}  // namespace
