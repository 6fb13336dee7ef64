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

// Drives the vehicle by the commands for at most `cycles` cycles; true if the run finished.
bool drive(Controller& controller, Unicycle& vehicle, int cycles) {
  geometry_msgs::msg::Twist cmd;
  bool finished = false;
  for (int cycle = 0; cycle < cycles && !finished; ++cycle) {
    finished = controller.getVelocityCommands(vehicle.pose(), cmd);
    vehicle.apply(cmd, kPeriod);
  }
  return finished;
}

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

TEST(ClosedLoop, LineMoveFacingAwayFromItsLineTurnsRoundAndFinishes) {
  // A new path mid-run whose goal lies behind the vehicle, 0.19 m short of the end of the line
  // from (4, 0): with the commands handed out a cycle late, the heading correction used to flip
  // sign at +-180 degrees every cycle, and the vehicle drove off along +x for good.
  Controller controller;
  controller.setStraightCB(straightPath(0.3125, 0, 0.125, 0, 1.7));
  controller.step = Controller::kLineMove;
  controller.coutt = 2;
  controller.startPose = {4, 0};
  controller.lineDelta.x = -1;
  controller.velPublisher(0.4, -0.01);
  Unicycle vehicle{0.3125, 0, 0};
  ASSERT_TRUE(drive(controller, vehicle, kCycleLimit));
  EXPECT_LT(std::hypot(vehicle.x - 0.125, vehicle.y), 0.05);
}
