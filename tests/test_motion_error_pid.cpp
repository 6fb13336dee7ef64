// mvRun: three single-precision PID loops on the global error records, clamped by fSat. Results
// are compared bit for bit against single-precision arithmetic.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "trelvo/motion.hpp"

namespace {

const float kTurnRateLimitF = static_cast<float>(3.141592653589793 / 3.0);

class MvRun : public ::testing::Test {
 protected:
  void SetUp() override {
    m_struErrorX = {};
    m_struErrorY = {};
    m_struErrorTheta = {};
    PIDInit0();
  }

  AGV_VxVyW run(double x, double y, double r) {
    DeltaXYR deviation{x, y, r};
    AGV_VxVyW command{};
    mvRun(deviation, command);
    return command;
  }
};

TEST_F(MvRun, DefaultGainsGiveSinglePrecisionProducts) {
  const AGV_VxVyW command = run(-2.0, 0.4, 0.2);
  EXPECT_EQ(command.vx, 1.5);
  EXPECT_EQ(command.vy, -0.20000000298023224);
  EXPECT_EQ(command.w, -0.12000000476837158);
}

TEST_F(MvRun, ForwardSpeedNeverDropsBelowFloatLowerBound) {
  EXPECT_EQ(run(0.3, 0.0, 0.0).vx, static_cast<double>(0.1f));
  EXPECT_EQ(run(-0.05, 0.0, 0.0).vx, static_cast<double>(0.1f));
  EXPECT_EQ(run(0.0, 0.0, 0.0).vx, static_cast<double>(0.1f));
}

TEST_F(MvRun, TurnRateClampsToSinglePrecisionThirdOfPi) {
  EXPECT_EQ(run(0.0, 0.0, -3.0).w, static_cast<double>(kTurnRateLimitF));
  EXPECT_EQ(run(0.0, 0.0, 3.0).w, -static_cast<double>(kTurnRateLimitF));
  EXPECT_EQ(static_cast<double>(kTurnRateLimitF), 1.0471975803375244);
}

TEST_F(MvRun, CrossTrackClampsAtHalf) {
  EXPECT_EQ(run(0.0, 5.0, 0.0).vy, -0.5);
  EXPECT_EQ(run(0.0, -5.0, 0.0).vy, 0.5);
}

TEST_F(MvRun, RecordsAdvanceWithNegatedDeviation) {
  run(-1.0, 0.25, 0.5);
  EXPECT_EQ(m_struErrorX.current, 1.0f);
  EXPECT_EQ(m_struErrorX.delta, 1.0f);  // the record started at 0
  EXPECT_EQ(m_struErrorY.current, -0.25f);
  EXPECT_EQ(m_struErrorTheta.current, -0.5f);

  run(-3.0, 0.75, 0.5);
  EXPECT_EQ(m_struErrorX.last, 1.0f);
  EXPECT_EQ(m_struErrorX.current, 3.0f);
  EXPECT_EQ(m_struErrorX.delta, 2.0f);
  EXPECT_EQ(m_struErrorY.delta, -0.5f);
  EXPECT_EQ(m_struErrorTheta.delta, 0.0f);
  EXPECT_EQ(m_struErrorTheta.sum, -1.0f);
}

TEST_F(MvRun, IntegralSumAccumulatesAcrossCalls) {
  struPIDX.ki = 0.1f;
  const double first = run(-1.0, 0.0, 0.0).vx;
  EXPECT_EQ(m_struErrorX.sum, 1.0f);
  EXPECT_EQ(m_struErrorX.delta, 1.0f);
  EXPECT_EQ(first, static_cast<double>(1.1f));

  const double second = run(-1.0, 0.0, 0.0).vx;
  EXPECT_EQ(m_struErrorX.sum, 2.0f);
  EXPECT_EQ(m_struErrorX.delta, 0.0f);
  EXPECT_EQ(second, static_cast<double>(1.2f));
}

TEST_F(MvRun, DerivativeActsOnChangeOfError) {
  struPIDTheta.kd = 0.5f;
  const double first = run(0.0, 0.0, -0.2).w;  // delta equals the error on the first call
  EXPECT_EQ(first, static_cast<double>(0.6f * 0.2f + 0.5f * 0.2f));
  const double second = run(0.0, 0.0, -0.2).w;
  EXPECT_EQ(second, 0.12000000476837158);
}

TEST_F(MvRun, ErrorIsRoundedToFloatBeforeTheLoop) {
  // 1/3 in double differs from its float; the output is the float error times kp 1.0.
  EXPECT_EQ(run(-1.0 / 3.0, 0.0, 0.0).vx, static_cast<double>(static_cast<float>(1.0 / 3.0)));
}

TEST_F(MvRun, PIDInit0RestartsTheIntegralOnly) {
  struPIDX.ki = 0.1f;
  run(-1.0, 0.0, 0.0);
  run(-1.0, 0.0, 0.0);
  PIDInit0();
  EXPECT_EQ(m_struErrorX.sum, 0.0f);
  EXPECT_EQ(m_struErrorX.current, 1.0f);
  EXPECT_EQ(struPIDX.ki, 0.0f);
}

TEST_F(MvRun, NaNDeviationPoisonsOnlyItsAxisUntilPIDInit0) {
  const AGV_VxVyW poisoned = run(std::numeric_limits<double>::quiet_NaN(), 0.4, 0.2);
  EXPECT_TRUE(std::isnan(poisoned.vx));
  EXPECT_EQ(poisoned.vy, -0.20000000298023224);
  EXPECT_TRUE(std::isnan(m_struErrorX.current));
  EXPECT_TRUE(std::isnan(m_struErrorX.delta));

  EXPECT_TRUE(std::isnan(run(-1.0, 0.0, 0.0).vx));
  EXPECT_TRUE(std::isnan(m_struErrorX.sum));
  EXPECT_TRUE(std::isnan(m_struErrorX.delta));

  PIDInit0();
  EXPECT_EQ(m_struErrorX.sum, 0.0f);
  EXPECT_EQ(run(-1.0, 0.0, 0.0).vx, 1.0);
}

}  // namespace
