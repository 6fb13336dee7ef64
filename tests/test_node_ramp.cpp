// The node's command ramp: the published command never changes faster than the limits allow, it
// reaches the command wanted, a reversal passes through a stand, and with the limits off it is
// the wanted command bit for bit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "node/drive/command_ramp.hpp"

namespace {

constexpr double kDt = 0.05;      // s, a cycle at the node's default 20 Hz
constexpr double kSlack = 1e-12;  // rounding of limit·dt
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

geometry_msgs::msg::Twist twist(double v, double w) {
  geometry_msgs::msg::Twist command;
  command.linear.x = v;
  command.angular.z = w;
  return command;
}

bool sameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameBits(const geometry_msgs::msg::Twist& a, const geometry_msgs::msg::Twist& b) {
  return sameBits(a.linear.x, b.linear.x) && sameBits(a.linear.y, b.linear.y) &&
         sameBits(a.linear.z, b.linear.z) && sameBits(a.angular.x, b.angular.x) &&
         sameBits(a.angular.y, b.angular.y) && sameBits(a.angular.z, b.angular.z);
}

// The forward speeds handed out, one per cycle, while `wanted` is asked for `cycles` times.
std::vector<double> forwardSpeeds(node::CommandRamp& ramp, double wanted, int cycles) {
  std::vector<double> speeds;
  for (int i = 0; i < cycles; ++i) {
    speeds.push_back(ramp.limit(twist(wanted, 0.0), kDt).linear.x);
  }
  return speeds;
}

TEST(CommandRamp, WithEveryLimitOffReturnsTheWantedCommandBitForBit) {
  node::CommandRamp ramp({});
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> any(-1e3, 1e3);
  const std::vector<double> odd = {kNan, -0.0, std::numeric_limits<double>::infinity(),
                                   std::numeric_limits<double>::denorm_min(), 1e300};
  for (int i = 0; i < 10000; ++i) {
    geometry_msgs::msg::Twist wanted;
    wanted.linear.x = i % 7 == 0 ? odd[i % odd.size()] : any(random);
    wanted.linear.y = any(random);
    wanted.angular.z = i % 11 == 0 ? odd[(i / 11) % odd.size()] : any(random);
    const double dt = i % 13 == 0 ? -1.0 : kDt;
    ASSERT_TRUE(sameBits(ramp.limit(wanted, dt), wanted)) << i;
  }
}

TEST(CommandRamp, AnAxisWithoutALimitPassesItsWantedValueBitForBit) {
  node::CommandRamp turnOnly({0.0, 0.0, 1.0});
  node::CommandRamp forwardOnly({0.5, 0.5, 0.0});
  for (const double value : {0.5, -0.3, 0.1 + 0.2, -0.0, 0.0}) {
    EXPECT_TRUE(sameBits(turnOnly.limit(twist(value, 0.0), kDt).linear.x, value)) << value;
    EXPECT_TRUE(sameBits(forwardOnly.limit(twist(0.0, value), kDt).angular.z, value)) << value;
  }
}

TEST(CommandRamp, PerCycleChangeNeverExceedsTheLimitsOverRandomCommands) {
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> command(-0.5, 0.5);
  std::uniform_real_distribution<double> limit(0.05, 3.0);
  std::uniform_real_distribution<double> period(0.001, 0.2);
  for (int run = 0; run < 200; ++run) {
    const node::RampLimits limits{limit(random), limit(random), limit(random)};
    node::CommandRamp ramp(limits);
    double v = 0.0;
    double w = 0.0;
    geometry_msgs::msg::Twist wanted = twist(command(random), command(random));
    for (int cycle = 0; cycle < 500; ++cycle) {
      if (cycle % 40 == 0) {
        wanted = twist(command(random), command(random));
      }
      const double dt = period(random);
      const geometry_msgs::msg::Twist out = ramp.limit(wanted, dt);
      ASSERT_TRUE(std::isfinite(out.linear.x) && std::isfinite(out.angular.z));
      // Toward the wanted command, never past it.
      ASSERT_GE(out.linear.x, std::min(v, wanted.linear.x));
      ASSERT_LE(out.linear.x, std::max(v, wanted.linear.x));
      ASSERT_GE(out.angular.z, std::min(w, wanted.angular.z));
      ASSERT_LE(out.angular.z, std::max(w, wanted.angular.z));
      ASSERT_LE(std::fabs(out.angular.z - w), limits.maxTurnAccel * dt + kSlack);
      if (v * out.linear.x >= 0.0) {
        const double grown = std::fabs(out.linear.x) - std::fabs(v);
        ASSERT_LE(grown, limits.maxAccel * dt + kSlack) << run << " " << cycle;
        ASSERT_LE(-grown, limits.maxDecel * dt + kSlack) << run << " " << cycle;
      } else {
        // Through zero within one cycle: the time to stop plus the time to speed up again.
        ASSERT_LE(std::fabs(v) / limits.maxDecel + std::fabs(out.linear.x) / limits.maxAccel,
                  dt + kSlack)
            << run << " " << cycle;
      }
      v = out.linear.x;
      w = out.angular.z;
    }
  }
}

TEST(CommandRamp, ReachesTheWantedCommandAsSoonAsTheLimitsAllowAndHoldsIt) {
  node::CommandRamp ramp({0.5, 1.0, 2.0});
  // 0.5 m/s at 0.5 m/s² takes 1 s, 0.4 rad/s at 2 rad/s² takes 0.2 s: 20 and 4 cycles.
  std::vector<geometry_msgs::msg::Twist> out;
  for (int i = 0; i < 30; ++i) {
    out.push_back(ramp.limit(twist(0.5, -0.4), kDt));
  }
  EXPECT_NEAR(out[0].linear.x, 0.025, kSlack);
  EXPECT_LT(out[18].linear.x, 0.5);
  EXPECT_LT(out[2].angular.z, 0.0);
  EXPECT_GT(out[2].angular.z, -0.4);
  for (int i = 20; i < 30; ++i) {
    EXPECT_EQ(out[i].linear.x, 0.5) << i;
  }
  for (int i = 4; i < 30; ++i) {
    EXPECT_EQ(out[i].angular.z, -0.4) << i;
  }
  // Slowing to a stand under the deceleration: 0.5 m/s at 1 m/s² takes 10 cycles, ends at zero.
  const std::vector<double> slowing = forwardSpeeds(ramp, 0.0, 12);
  EXPECT_GT(slowing[8], 0.0);
  EXPECT_EQ(slowing[10], 0.0);
  EXPECT_EQ(slowing[11], 0.0);
}

TEST(CommandRamp, ReversalSlowsToAStandUnderTheDecelerationBeforeSpeedingUpTheOtherWay) {
  struct Case {
    node::RampLimits limits;
    double timeToStand;  // s, no negative speed before it
    double timeToFull;   // s, -0.4 m/s not before it
  };
  // Stand reached within a cycle (0.4 / 0.6 = 0.667 s) and exactly at one (0.4 / 0.5 = 0.8 s);
  // without a deceleration limit the reversal stands at once.
  for (const Case& c : {Case{{1.0, 0.6, 0.0}, 0.4 / 0.6, 0.4 / 0.6 + 0.4},
                        Case{{1.0, 0.5, 0.0}, 0.8, 1.2}, Case{{1.0, 0.0, 0.0}, 0.0, 0.4}}) {
    SCOPED_TRACE(c.limits.maxDecel);
    node::CommandRamp ramp(c.limits);
    ASSERT_EQ(forwardSpeeds(ramp, 0.4, 20).back(), 0.4);
    const std::vector<double> speeds = forwardSpeeds(ramp, -0.4, 60);
    for (std::size_t i = 0; i < speeds.size(); ++i) {
      const double elapsed = (i + 1) * kDt;
      EXPECT_LE(speeds[i], i == 0 ? 0.4 : speeds[i - 1]) << i;
      if (speeds[i] < 0.0) {
        // The stand came no sooner than the deceleration allows, then the speed grew again.
        EXPECT_GE(elapsed - std::fabs(speeds[i]) / c.limits.maxAccel, c.timeToStand - kSlack) << i;
      }
      if (speeds[i] == -0.4) {
        EXPECT_GE(elapsed, c.timeToFull - kSlack) << i;
      }
    }
    EXPECT_EQ(speeds.back(), -0.4);
  }
}

TEST(CommandRamp, AfterStopNowTheNextCommandRampsUpFromAStand) {
  node::CommandRamp ramp({0.5, 1.0, 2.0});
  for (int i = 0; i < 40; ++i) {
    ramp.limit(twist(0.5, 0.4), kDt);
  }
  ramp.stopNow();
  const geometry_msgs::msg::Twist next = ramp.limit(twist(0.5, 0.4), kDt);
  EXPECT_NEAR(next.linear.x, 0.5 * kDt, kSlack);
  EXPECT_NEAR(next.angular.z, 2.0 * kDt, kSlack);
}

TEST(CommandRamp, NonFiniteCommandCountsAsZeroAndABadPeriodAllowsNoChange) {
  node::CommandRamp ramp({0.5, 1.0, 2.0});
  for (int i = 0; i < 40; ++i) {
    ramp.limit(twist(0.5, 0.4), kDt);
  }
  for (const double dt : {0.0, -kDt, kNan}) {
    const geometry_msgs::msg::Twist held = ramp.limit(twist(-0.5, -0.4), dt);
    EXPECT_EQ(held.linear.x, 0.5) << dt;
    EXPECT_EQ(held.angular.z, 0.4) << dt;
  }
  const geometry_msgs::msg::Twist out = ramp.limit(twist(kNan, kNan), kDt);
  EXPECT_NEAR(out.linear.x, 0.5 - 1.0 * kDt, kSlack);
  EXPECT_NEAR(out.angular.z, 0.4 - 2.0 * kDt, kSlack);
  // The ramp is not left stuck: it goes on to what is wanted next.
  EXPECT_NEAR(ramp.limit(twist(0.5, 0.4), kDt).linear.x, 0.5 - 1.0 * kDt + 0.5 * kDt, kSlack);
}

TEST(CommandRamp, FieldsOtherThanForwardSpeedAndTurnRatePassAsWanted) {
  node::CommandRamp ramp({0.5, 1.0, 2.0});
  geometry_msgs::msg::Twist wanted = twist(0.5, 0.4);
  wanted.linear.y = 0.2;
  wanted.angular.x = -0.1;
  const geometry_msgs::msg::Twist out = ramp.limit(wanted, kDt);
  EXPECT_EQ(out.linear.y, 0.2);
  EXPECT_EQ(out.angular.x, -0.1);
}

}  // namespace
