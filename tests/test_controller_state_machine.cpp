// The per-cycle entry and the three-state machine behind it, driven cycle by cycle.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "controller_fixtures.hpp"
#include "trelvo/controller.hpp"

using trelvo_test::planarPose;
using trelvo_test::radians;
using trelvo_test::straightPath;

namespace {

constexpr int kFirstTurn = Controller::kFirstTurn;
constexpr int kLineMove = Controller::kLineMove;
constexpr int kFinalTurn = Controller::kFinalTurn;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

bool isZero(const geometry_msgs::msg::Twist& twist) {
  return twist.linear.x == 0 && twist.linear.y == 0 && twist.linear.z == 0 &&
         twist.angular.x == 0 && twist.angular.y == 0 && twist.angular.z == 0;
}

// An orientation whose squared length underflows: tf2 gives it no yaw.
geometry_msgs::msg::Quaternion tinyQuaternion() {
  geometry_msgs::msg::Quaternion q;
  q.x = 0.0;
  q.y = 0.0;
  q.z = 1e-160;
  q.w = 1e-160;
  return q;
}

// A controller on the path (0, 0) -> (5, 0) whose first turn is under way.
Controller controllerInFirstTurn() {
  Controller controller;
  controller.setStraightCB(straightPath(0, 0, 5, 0, 0));
  controller.compulateVel(planarPose(0, 0, radians(90)));
  return controller;
}

// A controller on the path (0, 0) -> (5, 0) in the first cycle of its line move.
Controller controllerStartingLineMove() {
  Controller controller;
  controller.setStraightCB(straightPath(0, 0, 5, 0, 0));
  controller.step = kLineMove;
  controller.coutt = 1;
  return controller;
}

}  // namespace

TEST(CycleEntry, FirstCallHandsOutTheZeroCommandOfConstruction) {
  Controller controller;
  controller.setStraightCB(straightPath(0, 0, 5, 0, 0));
  geometry_msgs::msg::Twist cmd;
  cmd.linear.x = 9;
  cmd.angular.y = 9;
  EXPECT_FALSE(controller.getVelocityCommands(planarPose(0, 0, radians(90)), cmd));
  EXPECT_TRUE(isZero(cmd));
  EXPECT_NE(controller.cmdVel.angular.z, 0.0);
}

TEST(CycleEntry, CommandComputedInOneCycleIsHandedOutInTheNext) {
  Controller controller;
  controller.setStraightCB(straightPath(0, 0, 5, 0, 0));
  geometry_msgs::msg::Twist cmd;
  controller.getVelocityCommands(planarPose(0, 0, radians(90)), cmd);
  const double stored = controller.cmdVel.angular.z;
  controller.getVelocityCommands(planarPose(0, 0, radians(80)), cmd);
  EXPECT_EQ(cmd.angular.z, stored);
  EXPECT_EQ(cmd.linear.x, 0.0);
}

TEST(CycleEntry, InactiveControllerChangesNothing) {
  Controller controller = controllerInFirstTurn();
  controller.isActive = false;
  const Controller before = controller;
  geometry_msgs::msg::Twist cmd;
  EXPECT_FALSE(controller.getVelocityCommands(planarPose(3, 3, 1), cmd));
  EXPECT_EQ(cmd, controller.cmdVel);
  EXPECT_EQ(controller.cmdVel, before.cmdVel);
  EXPECT_EQ(controller.currentPose.x, before.currentPose.x);
  EXPECT_EQ(controller.currentPose.theta, before.currentPose.theta);
  EXPECT_EQ(controller.targetPoint.x, before.targetPoint.x);
  EXPECT_EQ(controller.step, before.step);
  EXPECT_EQ(controller.coutt, before.coutt);
}

TEST(CycleEntry, WithoutPathOnlyThePoseIsRecorded) {
  Controller controller;
  controller.velPublisher(0.1, 0.2);
  EXPECT_FALSE(controller.compulateVel(planarPose(1, 2, 0)));
  EXPECT_EQ(controller.currentPose.x, 1.0);
  EXPECT_EQ(controller.currentPose.y, 2.0);
  EXPECT_EQ(controller.targetPoint.x, -1.0);
  EXPECT_EQ(controller.targetPoint.y, -1.0);
  EXPECT_EQ(controller.cmdVel.linear.x, 0.1);
  EXPECT_EQ(controller.cmdVel.angular.z, 0.2);
  EXPECT_EQ(controller.step, kFirstTurn);
  EXPECT_EQ(controller.coutt, 0);
}

TEST(CycleEntry, PathFromOriginToOriginLeavesTheControllerIdle) {
  Controller controller;
  controller.setStraightCB(straightPath(0, 0, 0, 0, 1.0));
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(controller.compulateVel(planarPose(0.5, 0.5, 0)));
  }
  EXPECT_TRUE(isZero(controller.cmdVel));
  EXPECT_EQ(controller.coutt, 0);
}

TEST(StartOfRun, GoalWithinStationToleranceSkipsToFinalTurn) {
  Controller controller;
  controller.setStraightCB(straightPath(0, 0, 1.03, 2.049, 0));
  controller.velPublisher(0.3, 0.3);
  EXPECT_FALSE(controller.compulateVel(planarPose(1.0, 2.0, 1.0)));
  EXPECT_EQ(controller.step, kFinalTurn);
  EXPECT_EQ(controller.coutt, 0);
  EXPECT_TRUE(controller.isNearPoint);
  EXPECT_EQ(controller.cmdVel.linear.x, 0.3);
  EXPECT_EQ(controller.cmdVel.angular.z, 0.3);
}

TEST(StartOfRun, StationToleranceIsStrict) {
  Controller controller;
  controller.setStraightCB(straightPath(0, 0, 0.05, 0, 0));
  controller.compulateVel(planarPose(0, 0, radians(90)));
  EXPECT_EQ(controller.step, kFirstTurn);
  EXPECT_FALSE(controller.isNearPoint);
  EXPECT_EQ(controller.coutt, 1);
}

TEST(StartOfRun, VehicleAlreadyFacingTheGoalStartsTheLineMoveAtOnce) {
  Controller controller;
  controller.setStraightCB(straightPath(0, 0, 5, 0, 0));
  controller.velPublisher(0.2, 0.2);
  EXPECT_FALSE(controller.compulateVel(planarPose(0, 0, radians(4))));
  EXPECT_EQ(controller.step, kLineMove);
  EXPECT_EQ(controller.coutt, 1);
  EXPECT_TRUE(isZero(controller.cmdVel));
  EXPECT_EQ(controller.startPose.x, 0.0);
}

TEST(FirstTurn, HeadingLeftOfTheGoalTurnsClockwiseAtHalfTheProfileSpeed) {
  Controller controller;
  controller.setStraightCB(straightPath(0, 0, 5, 0, 0));
  controller.compulateVel(planarPose(0, 0, 0.5));
  EXPECT_EQ(controller.rotateDir, -1);
  // No progress yet: the profile gives its start speed 0.25, halved and clockwise.
  EXPECT_EQ(controller.cmdVel.angular.z, -0.125);
  EXPECT_EQ(controller.cmdVel.linear.x, 0.0);
  EXPECT_EQ(controller.coutt, 1);
}

TEST(FirstTurn, HeadingRightOfTheGoalTurnsCounterClockwise) {
  Controller controller;
  controller.setStraightCB(straightPath(0, 0, 5, 0, 0));
  controller.compulateVel(planarPose(0, 0, -1.0));
  EXPECT_EQ(controller.rotateDir, 1);
  EXPECT_GT(controller.cmdVel.angular.z, 0.0);
}

TEST(FirstTurn, SignChangeAcrossTheSeamDoesNotEndTheTurn) {
  // Heading noise while turning around flips the error from 179 to -179 degrees: the vehicle
  // still faces away from the goal and must keep turning.
  Controller controller = controllerInFirstTurn();
  controller.lineYaw = 0;
  controller.angleErrorRotateLast = radians(179);
  const int coutt = controller.coutt;
  controller.compulateVel(planarPose(0, 0, radians(-179)));
  EXPECT_EQ(controller.step, kFirstTurn);
  EXPECT_EQ(controller.coutt, coutt + 1);
  EXPECT_NE(controller.cmdVel.angular.z, 0.0);
}

TEST(FirstTurn, CompletesWithinFiveDegrees) {
  Controller controller = controllerInFirstTurn();
  controller.compulateVel(planarPose(0, 0, radians(5.5)));
  EXPECT_EQ(controller.step, kFirstTurn);
  controller.compulateVel(planarPose(0, 0, radians(4.5)));
  EXPECT_EQ(controller.step, kLineMove);
}

TEST(LineMove, FirstCycleNeverArrivesAndRestartsTheLineAtThePose) {
  Controller controller = controllerStartingLineMove();
  controller.lineDelta.x = 3.0;
  controller.compulateVel(planarPose(0.5, 0.2, 0));
  EXPECT_EQ(controller.step, kLineMove);
  EXPECT_EQ(controller.coutt, 2);
  EXPECT_EQ(controller.startPose.x, 0.5);
  EXPECT_EQ(controller.startPose.y, 0.2);
  EXPECT_GT(controller.cmdVel.linear.x, 0.0);
}

TEST(LineMove, PublishesTheLookAheadPointAndHeadingToGoal) {
  Controller controller = controllerStartingLineMove();
  controller.compulateVel(planarPose(1, 0.5, 0));
  EXPECT_EQ(controller.targetPoint.x, 1.5);
  EXPECT_EQ(controller.targetPoint.y, 0.0);
  EXPECT_EQ(controller.headingToGoal, std::atan2(-0.5, 4.0));
}

TEST(LineMove, ArrivesOnThePreviousCyclesDeviation) {
  Controller controller = controllerStartingLineMove();
  controller.compulateVel(planarPose(0, 0, 0));
  controller.lineDelta.x = -0.0201;
  controller.compulateVel(planarPose(4.99, 0, 0));
  ASSERT_EQ(controller.step, kLineMove);
  // That cycle measured the vehicle 0.01 m short of the goal: the next cycle ends the move.
  EXPECT_NEAR(controller.lineDelta.x, -0.01, 1e-12);
  const int cycles = controller.coutt;
  controller.compulateVel(planarPose(4.0, 0, 0));
  EXPECT_EQ(controller.step, kFinalTurn);
  EXPECT_EQ(controller.coutt, 0);
  EXPECT_TRUE(isZero(controller.cmdVel));
  EXPECT_GT(cycles, 0);
}

TEST(LineMove, ToleranceBoundaryAndOvershootBothEndTheMove) {
  for (double previous : {-0.02, 0.0, 0.3}) {
    Controller controller = controllerStartingLineMove();
    controller.compulateVel(planarPose(0, 0, 0));
    controller.lineDelta.x = previous;
    controller.compulateVel(planarPose(1, 0, 0));
    EXPECT_EQ(controller.step, kFinalTurn) << "previous deviation " << previous;
  }
}

TEST(LineMove, LineOfZeroLengthCountsAsArrivedAndLeavesThePidRecordsFinite) {
  // The line move begins on the goal point: the followed line has no direction.
  Controller controller = controllerStartingLineMove();
  controller.compulateVel(planarPose(5, 0, 0));
  EXPECT_EQ(controller.step, kFinalTurn);
  EXPECT_EQ(controller.coutt, 0);
  EXPECT_TRUE(isZero(controller.cmdVel));
  for (const PIDErrorStru* record : {&m_struErrorX, &m_struErrorY, &m_struErrorTheta}) {
    EXPECT_TRUE(std::isfinite(record->sum) && std::isfinite(record->current));
  }
}

TEST(LineMove, VehicleLeftOfTheLineTurnsBackClockwise) {
  Controller controller = controllerStartingLineMove();
  controller.compulateVel(planarPose(1, 0, 0));
  controller.compulateVel(planarPose(1.2, 0.1, 0));
  EXPECT_EQ(controller.lineDelta.y, 0.1);
  EXPECT_EQ(controller.lineDelta.r, 0.0);
  EXPECT_EQ(controller.cmdVel.angular.z, -0.05000000074505806);
}

TEST(LineMove, SpeedFollowsTheLineProfileWithinTheClamp) {
  Controller controller = controllerStartingLineMove();
  controller.compulateVel(planarPose(0, 0, 0));
  EXPECT_EQ(controller.cmdVel.linear.x, 0.1);
  controller.compulateVel(planarPose(2.5, 0, 0));
  EXPECT_EQ(controller.cmdVel.linear.x, 0.4);
  controller.compulateVel(planarPose(4.9, 0, 0));
  EXPECT_NEAR(controller.cmdVel.linear.x, 0.16, 1e-12);
}

TEST(FinalTurn, JumpAcrossTheSeamDoesNotComplete) {
  Controller controller;
  controller.setStraightCB(straightPath(0, 0, 5, 0, 0));
  controller.step = kFinalTurn;
  controller.coutt = 3;
  controller.angleErrorRotate = radians(-120);
  controller.angleErrorRotateLast = radians(-100);
  EXPECT_FALSE(controller.compulateVel(planarPose(5, 0, radians(100))));
  EXPECT_EQ(controller.step, kFinalTurn);
  EXPECT_EQ(controller.coutt, 4);
}

TEST(FinalTurn, SignChangeNearTheGoalHeadingCompletesAboveTheTolerance) {
  Controller controller;
  controller.setStraightCB(straightPath(0, 0, 5, 0, 0));
  controller.step = kFinalTurn;
  controller.coutt = 3;
  controller.angleErrorRotateLast = radians(-10);
  controller.velPublisher(0, 0.3);
  EXPECT_TRUE(controller.compulateVel(planarPose(5, 0, radians(4))));
  EXPECT_EQ(controller.step, kFirstTurn);
  EXPECT_EQ(controller.coutt, 1);
  EXPECT_TRUE(isZero(controller.cmdVel));
}

TEST(FinalTurn, SetUpTakesTheErrorAndDirectionTowardsTheGoalHeading) {
  Controller controller;
  controller.setStraightCB(straightPath(0, 0, 5, 0, radians(90)));
  controller.step = kFinalTurn;
  controller.coutt = 0;
  EXPECT_FALSE(controller.compulateVel(planarPose(5, 0, 0)));
  EXPECT_NEAR(controller.angleErrorRotate, radians(-90), 1e-12);
  EXPECT_EQ(controller.rotateDir, 1);
  // Start speed 0.2 of the final-turn profile, halved.
  EXPECT_EQ(controller.cmdVel.angular.z, 0.1);
  EXPECT_EQ(controller.coutt, 1);
}

TEST(FinalTurn, AfterTheFinishingCycleTheRunIsNotRestartedWithoutInit) {
  Controller controller;
  controller.setStraightCB(straightPath(0, 0, 5, 0, 0));
  controller.step = kFinalTurn;
  controller.coutt = 2;
  ASSERT_TRUE(controller.compulateVel(planarPose(5, 0, radians(1))));
  const double lineYaw = controller.lineYaw;
  const double startPoseX = controller.startPose.x;
  EXPECT_FALSE(controller.compulateVel(planarPose(7, 7, radians(100))));
  EXPECT_EQ(controller.lineYaw, lineYaw);
  EXPECT_EQ(controller.startPose.x, startPoseX);

  controller.init();
  controller.compulateVel(planarPose(7, 7, radians(100)));
  EXPECT_EQ(controller.startPose.x, 7.0);
}

TEST(CycleCount, StopsAtTheLargestIntInsteadOfOverflowing) {
  Controller controller = controllerInFirstTurn();
  controller.coutt = std::numeric_limits<int>::max();
  controller.compulateVel(planarPose(0, 0, radians(80)));
  EXPECT_EQ(controller.coutt, std::numeric_limits<int>::max());
  EXPECT_EQ(controller.step, kFirstTurn);
}

TEST(NonFinitePose, StoresAZeroCommandAtOnceAndKeepsTheRun) {
  Controller controller = controllerInFirstTurn();
  const int step = controller.step;
  const int coutt = controller.coutt;
  const double theta = controller.currentPose.theta;
  for (double bad : {kNaN, std::numeric_limits<double>::infinity()}) {
    for (int component = 0; component < 6; ++component) {
      auto pose = planarPose(0, 0, radians(80));
      double* fields[] = {&pose.pose.position.x,    &pose.pose.position.y,
                          &pose.pose.orientation.x, &pose.pose.orientation.y,
                          &pose.pose.orientation.z, &pose.pose.orientation.w};
      *fields[component] = bad;
      controller.velPublisher(0.1, 0.1);
      const auto begin = std::chrono::steady_clock::now();
      EXPECT_FALSE(controller.compulateVel(pose));
      // No pauses: a state change would block for 10 ms.
      EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(8));
      EXPECT_TRUE(isZero(controller.cmdVel));
      EXPECT_EQ(controller.step, step);
      EXPECT_EQ(controller.coutt, coutt);
      EXPECT_EQ(controller.currentPose.theta, theta);
    }
  }
  // A position beyond any map frame is not taken either.
  for (double far : {2e9, -2e9}) {
    controller.velPublisher(0.1, 0.1);
    EXPECT_FALSE(controller.compulateVel(planarPose(0, far, radians(80))));
    EXPECT_TRUE(isZero(controller.cmdVel));
    EXPECT_EQ(controller.coutt, coutt);
  }
  controller.compulateVel(planarPose(0, 0, radians(80)));
  EXPECT_EQ(controller.coutt, coutt + 1);
  EXPECT_NE(controller.cmdVel.angular.z, 0.0);
}

TEST(NonFiniteCommand, IsNeverStored) {
  Controller controller;
  controller.velPublisher(kNaN, 0.2);
  EXPECT_TRUE(isZero(controller.cmdVel));
  controller.velPublisher(0.2, -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(isZero(controller.cmdVel));
}

TEST(UnusablePath, IsNotTakenAndTheControllerKeepsDrivingItsPath) {
  struct Row {
    const char* what;
    void (*spoil)(nav_msgs::msg::Path&);
  };
  const Row rows[] = {
      {"empty", [](nav_msgs::msg::Path& p) { p.poses.clear(); }},
      {"NaN start x", [](nav_msgs::msg::Path& p) { p.poses.front().pose.position.x = kNaN; }},
      {"infinite goal y", [](nav_msgs::msg::Path& p) { p.poses.back().pose.position.y = kInf; }},
      {"NaN goal z", [](nav_msgs::msg::Path& p) { p.poses.back().pose.position.z = kNaN; }},
      {"goal beyond 1e9 m", [](nav_msgs::msg::Path& p) { p.poses.back().pose.position.x = 2e9; }},
      {"NaN goal orientation",
       [](nav_msgs::msg::Path& p) { p.poses.back().pose.orientation.z = kNaN; }},
      {"goal orientation without yaw",
       [](nav_msgs::msg::Path& p) { p.poses.back().pose.orientation = tinyQuaternion(); }},
  };
  for (const Row& row : rows) {
    Controller controller;
    controller.setStraightCB(straightPath(0, 0, 5, 0, 1.0));
    auto path = straightPath(1, 1, 3, 3, 0.5);
    row.spoil(path);
    controller.setStraightCB(path);
    EXPECT_EQ(controller.startPoint.x, 0.0) << row.what;
    EXPECT_EQ(controller.endPoint.x, 5.0) << row.what;
    EXPECT_EQ(controller.goal_angle, 1.0) << row.what;
    controller.compulateVel(planarPose(0, 0, radians(90)));
    EXPECT_LT(controller.cmdVel.angular.z, 0.0) << row.what;
  }
}

TEST(UnusablePath, AllZeroGoalOrientationIsTakenWithYawZero) {
  Controller controller;
  auto path = straightPath(0, 0, 5, 0, 1.0);
  path.poses.back().pose.orientation = geometry_msgs::msg::Quaternion().set__w(0.0);
  controller.setStraightCB(path);
  EXPECT_EQ(controller.endPoint.x, 5.0);
  EXPECT_EQ(controller.goal_angle, 0.0);
}

TEST(NonFinitePose, OrientationWithoutYawReadsAsHeadingZero) {
  Controller controller = controllerInFirstTurn();
  auto pose = planarPose(0, 0, 0);
  pose.pose.orientation = tinyQuaternion();
  controller.compulateVel(pose);
  EXPECT_EQ(controller.currentPose.theta, 0.0);
  EXPECT_TRUE(std::isfinite(controller.cmdVel.angular.z));
}
