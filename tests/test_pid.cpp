#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <type_traits>
#include <utility>

#include "trelvo/pid.hpp"

namespace {

// dt 0.5, output within +-100, kp 2, kd 1, ki 4.
PIDImpl workedExample() {
  return PIDImpl(0.5, 100, -100, 2, 1, 4);
}

}  // namespace

TEST(PIDImplStep, WorkedExampleSumsIntegralProportionalAndDerivativeTerms) {
  PIDImpl pid = workedExample();
  EXPECT_EQ(pid.calculate(3, 1), 12.0);
  EXPECT_EQ(pid.calculate(3, 2), 6.0);
  EXPECT_EQ(pid.calculate(100, 0), 100.0);
}

TEST(PIDImplStep, ClampedCallStillUpdatesIntegralAndPreviousError) {
  PIDImpl pid = workedExample();
  pid.calculate(3, 1);
  pid.calculate(3, 2);
  pid.calculate(100, 0);  // clamped; integral 51.5, previous error 100
  // error 0: 4 * 51.5 + 0 + 1 * (0 - 100) / 0.5
  EXPECT_EQ(pid.calculate(0, 0), 6.0);
}

TEST(PIDImplStep, FirstCallDerivativeSeesZeroPreviousErrorAndKdIsFifth) {
  PIDImpl derivativeOnly(0.5, 100, -100, 0, 1, 0);
  EXPECT_EQ(derivativeOnly.calculate(3, 1), 4.0);  // 2 / 0.5
}

TEST(PIDImplStep, IntegralIsAccumulatedBeforeTheOutputAndKiIsSixth) {
  PIDImpl integralOnly(0.5, 100, -100, 0, 0, 1);
  EXPECT_EQ(integralOnly.calculate(3, 1), 1.0);  // 0.5 * 2
  EXPECT_EQ(integralOnly.calculate(3, 1), 2.0);
}

TEST(PIDImplStep, DerivativeTermIsAddedLast) {
  // 1e16 + 1 rounds back to 1e16 at each step; adding the P and D terms first would give 1e16 + 2.
  PIDImpl pid(1, 1e300, -1e300, 1, 1, 1e16);
  EXPECT_EQ(pid.calculate(1, 0), 1e16);
}

TEST(PIDImplClamp, CrossedBoundsGiveMinOutputUnlessAboveMaxOutput) {
  PIDImpl pid(1, 1, 5, 1, 0, 0);
  EXPECT_EQ(pid.calculate(0.5, 0), 5.0);
  EXPECT_EQ(pid.calculate(3, 0), 1.0);
  EXPECT_EQ(pid.calculate(10, 0), 1.0);
}

TEST(PIDImplClamp, OutputEqualToMaxOutputIsNotCaughtByTheUpperTest) {
  // With crossed bounds the strict upper test lets 1 through to the lower test.
  PIDImpl pid(1, 1, 5, 1, 0, 0);
  EXPECT_EQ(pid.calculate(1, 0), 5.0);
  PIDImpl ordered(1, 1, -1, 1, 0, 0);
  EXPECT_EQ(ordered.calculate(1, 0), 1.0);
}

TEST(PIDImplClamp, OutputEqualToMinOutputIsReturnedItself) {
  // Every term is -0.0, which equals the bound +0.0; a non-strict test would return +0.0.
  PIDImpl pid(1, 1, 0.0, -1, -1, -1);
  const double result = pid.calculate(0, 0);
  EXPECT_EQ(result, 0.0);
  EXPECT_TRUE(std::signbit(result));
}

TEST(PIDImplClamp, ZeroTimeStepClampsInfinitiesAndPassesNaN) {
  PIDImpl pid(0, 2, -2, 0, 1, 0);
  EXPECT_EQ(pid.calculate(1, 0), 2.0);            // +inf
  EXPECT_EQ(pid.calculate(-1, 0), -2.0);          // -inf
  EXPECT_TRUE(std::isnan(pid.calculate(-1, 0)));  // 0 / 0
}

TEST(PIDHandle, ForwardsBitForBitToItsImplementation) {
  PIDImpl impl(0.01, 3.5, -2.25, 1.3, 0.07, 11.0);
  PID pid(0.01, 3.5, -2.25, 1.3, 0.07, 11.0);
  for (int i = 0; i < 200; ++i) {
    const double setpoint = std::sin(i * 0.37) * 4;
    const double measured = std::cos(i * 0.11);
    ASSERT_EQ(pid.calculate(setpoint, measured), impl.calculate(setpoint, measured)) << i;
  }
}

TEST(PIDHandle, MoveHandsTheStateOver) {
  PID first(0.5, 100, -100, 2, 1, 4);
  EXPECT_EQ(first.calculate(3, 1), 12.0);
  PID second(std::move(first));
  EXPECT_EQ(second.calculate(3, 2), 6.0);
  PID third(1, 1, -1, 0, 0, 0);
  third = std::move(second);
  EXPECT_EQ(third.calculate(100, 0), 100.0);
  EXPECT_EQ(third.calculate(0, 0), 6.0);
}

TEST(PIDHandle, MovedFromHandleAnswersZeroInsteadOfCrashing) {
  PID first(0.5, 100, -100, 2, 1, 4);
  PID second(std::move(first));
  // NOLINTNEXTLINE(bugprone-use-after-move): the moved-from handle is what is tested
  EXPECT_EQ(first.calculate(3, 1), 0.0);
  EXPECT_EQ(second.calculate(3, 1), 12.0);
}

TEST(PIDHandle, CannotBeCopied) {
  EXPECT_FALSE(std::is_copy_constructible_v<PID>);
  EXPECT_FALSE(std::is_copy_assignable_v<PID>);
}
