// Nav2's speed limit on the node's route commands: which limits are taken, lifted or refused, and
// a capped command that keeps its curvature, its sign and its zero.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <random>

#include "node/drive/speed_limit.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

geometry_msgs::msg::Twist twist(double v, double w) {
  geometry_msgs::msg::Twist command;
  command.linear.x = v;
  command.angular.z = w;
  return command;
}

TEST(SpeedLimit, LimitsAreTakenLiftedAtZeroAndAHundredPercentOrRefused) {
  const struct {
    const char* what;
    bool percentage;
    double limit;
    bool refused;
    std::optional<double> cap;  // after a limit of 0.3 m/s was in force
    const char* text;
  } cases[] = {
      {"Nav2's NO_SPEED_LIMIT", false, 0.0, false, std::nullopt, "none"},
      {"0 %, NO_SPEED_LIMIT as a percentage", true, 0.0, false, std::nullopt, "none"},
      {"100 %", true, 100.0, false, std::nullopt, "none"},
      {"50 % of the route's cruise speed", true, 50.0, false, 0.2, "0.2 m/s (50 % of 0.4 m/s)"},
      {"just under 100 %", true, 99.0, false, 0.396, "0.396 m/s (99 % of 0.4 m/s)"},
      {"150 %", true, 150.0, false, 0.6, "0.6 m/s (150 % of 0.4 m/s)"},
      {"0.1 m/s", false, 0.1, false, 0.1, "0.1 m/s"},
      {"100 m/s: a cap that never binds", false, 100.0, false, 100.0, "100 m/s"},
      {"a third", true, 100.0 / 3, false, 0.4 / 3, "0.133 m/s (33.3 % of 0.4 m/s)"},
      {"a negative speed", false, -0.1, true, 0.3, "0.3 m/s"},
      {"a negative percentage", true, -5.0, true, 0.3, "0.3 m/s"},
      {"NaN", false, kNaN, true, 0.3, "0.3 m/s"},
      {"NaN %", true, kNaN, true, 0.3, "0.3 m/s"},
      {"infinity", false, kInfinity, true, 0.3, "0.3 m/s"},
  };
  for (const auto& c : cases) {
    node::SpeedLimit limit;
    ASSERT_FALSE(limit.set(false, 0.3));
    const auto refusal = limit.set(c.percentage, c.limit);
    EXPECT_EQ(refusal.has_value(), c.refused) << c.what;
    if (refusal) {
      EXPECT_NE(refusal->find("refused"), std::string::npos) << *refusal;
    }
    ASSERT_EQ(limit.cap().has_value(), c.cap.has_value()) << c.what;
    if (c.cap) {
      EXPECT_DOUBLE_EQ(*limit.cap(), *c.cap) << c.what;
    }
    EXPECT_EQ(limit.text(), c.text) << c.what;
  }
}

TEST(SpeedLimit, ACommandOverTheCapIsScaledWholeAndKeepsItsCurvature) {
  const struct {
    const char* what;
    geometry_msgs::msg::Twist command;
    geometry_msgs::msg::Twist capped;
  } cases[] = {
      {"forward and turning", twist(0.4, 0.2), twist(0.2, 0.1)},
      {"backward and turning", twist(-0.4, 0.2), twist(-0.2, 0.1)},
      {"straight", twist(0.5, 0.0), twist(0.2, 0.0)},
      {"under the cap", twist(0.1, 0.3), twist(0.1, 0.3)},
      {"at the cap", twist(0.2, 1.0), twist(0.2, 1.0)},
      {"a turn on the spot", twist(0.0, 0.5), twist(0.0, 0.5)},
      {"a zero", twist(0.0, 0.0), twist(0.0, 0.0)},
  };
  node::SpeedLimit limit;
  ASSERT_FALSE(limit.set(false, 0.2));
  for (const auto& c : cases) {
    const auto capped = limit.apply(c.command);
    EXPECT_DOUBLE_EQ(capped.linear.x, c.capped.linear.x) << c.what;
    EXPECT_DOUBLE_EQ(capped.angular.z, c.capped.angular.z) << c.what;
  }
  // Lifted, the command passes as it is.
  ASSERT_FALSE(limit.set(true, 100.0));
  EXPECT_EQ(limit.apply(twist(0.45, -0.3)), twist(0.45, -0.3));
}

TEST(SpeedLimit, EveryCappedCommandIsWithinTheCapOnItsOwnArc) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> speed(-1.0, 1.0);
  std::uniform_real_distribution<double> percent(1.0, 99.0);
  for (int i = 0; i < 10000; ++i) {
    node::SpeedLimit limit;
    ASSERT_FALSE(limit.set(true, percent(random)));
    const auto command = twist(speed(random), speed(random));
    const auto capped = limit.apply(command);
    ASSERT_LE(std::fabs(capped.linear.x), *limit.cap() + 1e-15) << i;
    ASSERT_LE(std::fabs(capped.linear.x), std::fabs(command.linear.x)) << i;
    ASSERT_GE(capped.linear.x * command.linear.x, 0.0) << i << ": the direction is kept";
    ASSERT_NEAR(capped.angular.z * command.linear.x, command.angular.z * capped.linear.x, 1e-12)
        << i << ": the curvature is kept";
  }
}

}  // namespace
