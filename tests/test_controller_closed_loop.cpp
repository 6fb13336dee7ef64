// Whole runs: a unicycle vehicle applies every command the controller hands out.

#include <gtest/gtest.h>

#include <cmath>

#include "controller_fixtures.hpp"
#include "trelvo/controller.hpp"

using trelvo_test::radians;
using trelvo_test::straightPath;
using trelvo_test::Unicycle;

namespace {

struct Scenario {
  double startX, startY, startYaw;
  double goalX, goalY, goalYaw;
};

constexpr double kPeriod = 0.05;  // s
constexpr int kCycleLimit = 20000;

void driveToGoal(const Scenario& s) {
  Controller controller;
  controller.setStraightCB(straightPath(s.startX, s.startY, s.goalX, s.goalY, s.goalYaw));
  Unicycle vehicle{s.startX, s.startY, s.startYaw};
  geometry_msgs::msg::Twist cmd;
  bool finished = false;
  for (int cycle = 0; cycle < kCycleLimit && !finished; ++cycle) {
    finished = controller.getVelocityCommands(vehicle.pose(), cmd);
    ASSERT_TRUE(std::isfinite(cmd.linear.x) && std::isfinite(cmd.angular.z));
    ASSERT_LE(std::fabs(cmd.linear.x), 0.5);
    ASSERT_LE(std::fabs(cmd.angular.z), 0.5);
    vehicle.apply(cmd, kPeriod);
  }
  ASSERT_TRUE(finished);
  EXPECT_LT(std::hypot(vehicle.x - s.goalX, vehicle.y - s.goalY), 0.05);
  const double headingError = std::remainder(vehicle.yaw - s.goalYaw, 2 * M_PI);
  EXPECT_LT(std::fabs(headingError), radians(5));
}

}  // namespace

TEST(ClosedLoop, ReachesTheGoalPoseFromSeveralStarts) {
  const Scenario scenarios[] = {
      {0, 0, 0, 3, 0, radians(90)},
      {0, 0, radians(180), 2, 2, radians(-45)},
      {1, -1, radians(-90), -2, 1.5, radians(170)},
      {0, 0, radians(45), 0, -4, 0},
      {-1, 2, radians(-170), 1.5, 2.0, radians(-179)},
  };
  for (const auto& scenario : scenarios) {
    SCOPED_TRACE(testing::Message()
                 << "start (" << scenario.startX << ", " << scenario.startY << ") goal ("
                 << scenario.goalX << ", " << scenario.goalY << ")");
    driveToGoal(scenario);
  }
}

TEST(ClosedLoop, StartNextToTheGoalOnlyTurnsToTheGoalHeading) {
  driveToGoal({1.0, 1.0, 0, 1.02, 0.98, radians(120)});
}
