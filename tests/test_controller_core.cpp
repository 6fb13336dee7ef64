// Construction, command storage, re-arming, distances and goal ingestion of the Controller.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>

#include <tf2/LinearMath/Matrix3x3.h>
#include <tf2/LinearMath/Quaternion.h>

#include "trelvo/controller.hpp"

namespace {

using geometry_msgs::msg::PoseStamped;
using nav_msgs::msg::Path;

PoseStamped poseAt(double x, double y, double z, double qx, double qy, double qz, double qw) {
  PoseStamped pose;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.position.z = z;
  pose.pose.orientation.x = qx;
  pose.pose.orientation.y = qy;
  pose.pose.orientation.z = qz;
  pose.pose.orientation.w = qw;
  return pose;
}

Path pathEndingIn(double qx, double qy, double qz, double qw) {
  Path path;
  path.poses.push_back(poseAt(0, 0, 0, 0, 0, 0, 1));
  path.poses.push_back(poseAt(3, 4, 0, qx, qy, qz, qw));
  return path;
}

double goalAngleOf(double qx, double qy, double qz, double qw) {
  Controller controller;
  controller.setStraightCB(pathEndingIn(qx, qy, qz, qw));
  return controller.goal_angle;
}

double tf2Yaw(double qx, double qy, double qz, double qw) {
  double roll, pitch, yaw;
  tf2::Matrix3x3(tf2::Quaternion(qx, qy, qz, qw)).getRPY(roll, pitch, yaw);
  return yaw;
}

void expectTwistZero(const geometry_msgs::msg::Twist& twist) {
  EXPECT_EQ(twist.linear.x, 0.0);
  EXPECT_EQ(twist.linear.y, 0.0);
  EXPECT_EQ(twist.linear.z, 0.0);
  EXPECT_EQ(twist.angular.x, 0.0);
  EXPECT_EQ(twist.angular.y, 0.0);
  EXPECT_EQ(twist.angular.z, 0.0);
}

}  // namespace

TEST(ControllerConstruction, StartsInFirstTurnWithoutPathAndWithTolerances) {
  Controller controller;
  EXPECT_EQ(controller.step, Controller::kFirstTurn);
  EXPECT_EQ(controller.coutt, 0);
  EXPECT_EQ(controller.rotateDir, 1);
  EXPECT_TRUE(controller.isActive);
  EXPECT_FALSE(controller.isNearPoint);
  EXPECT_EQ(controller.lineEndTolerance, 0.02);
  EXPECT_EQ(controller.stationToleranceX, 0.05);
  EXPECT_EQ(controller.stationToleranceY, 0.05);
  EXPECT_EQ(controller.startPoint.x, 0.0);
  EXPECT_EQ(controller.startPoint.y, 0.0);
  EXPECT_EQ(controller.endPoint.x, 0.0);
  EXPECT_EQ(controller.endPoint.y, 0.0);
  EXPECT_EQ(controller.goal_angle, 0.0);
  EXPECT_EQ(controller.nextTargetPoint.x, 0.0);
  EXPECT_EQ(controller.nextTargetPoint.y, 0.0);
  EXPECT_EQ(controller.startPose.x, 0.0);
  EXPECT_EQ(controller.startPose.y, 0.0);
  EXPECT_EQ(controller.angleErrorRotate, 0.0);
  EXPECT_EQ(controller.angleErrorRotateLast, 0.0);
  EXPECT_EQ(controller.lineYaw, 0.0);
  expectTwistZero(controller.cmdVel);
}

TEST(ControllerConstruction, ResetsTheProcessWidePidRecords) {
  struPIDTheta.kp = 9.0f;
  struVxVyWlimit.wMax = 9.0f;
  m_struErrorY.sum = 4.0f;
  m_struErrorY.current = 2.0f;

  Controller controller;

  EXPECT_EQ(struPIDTheta.kp, 0.6f);
  EXPECT_EQ(struVxVyWlimit.wMax, static_cast<float>(M_PI / 3.0));
  EXPECT_EQ(m_struErrorY.sum, 0.0f);
  EXPECT_EQ(m_struErrorY.current, 2.0f);
}

TEST(ControllerCommand, VelPublisherWritesOnlyForwardSpeedAndTurnRate) {
  Controller controller;
  controller.velPublisher(0.3, -0.2);
  EXPECT_EQ(controller.cmdVel.linear.x, 0.3);
  EXPECT_EQ(controller.cmdVel.angular.z, -0.2);
  EXPECT_EQ(controller.cmdVel.linear.y, 0.0);
  EXPECT_EQ(controller.cmdVel.linear.z, 0.0);
  EXPECT_EQ(controller.cmdVel.angular.x, 0.0);
  EXPECT_EQ(controller.cmdVel.angular.y, 0.0);
}

TEST(ControllerCommand, PublishZeroVWZeroesTheCommandAfterTenMilliseconds) {
  Controller controller;
  controller.velPublisher(0.4, 0.5);
  const auto begin = std::chrono::steady_clock::now();
  controller.PublishZeroVW();
  const auto elapsed = std::chrono::steady_clock::now() - begin;
  expectTwistZero(controller.cmdVel);
  EXPECT_GE(elapsed, std::chrono::milliseconds(10));
}

TEST(ControllerInit, RearmsTheStateMachineAndKeepsEverythingElse) {
  Controller controller;
  controller.setStraightCB(pathEndingIn(0, 0, 1, 1));
  controller.step = Controller::kFinalTurn;
  controller.coutt = 17;
  controller.isNearPoint = true;
  controller.angleErrorRotate = 0.7;
  controller.velPublisher(0.2, 0.1);
  struPIDX.kp = 3.0f;
  m_struErrorX.sum = 5.0f;

  controller.init();

  EXPECT_EQ(controller.step, Controller::kFirstTurn);
  EXPECT_EQ(controller.coutt, 0);
  EXPECT_EQ(struPIDX.kp, 1.0f);
  EXPECT_EQ(m_struErrorX.sum, 0.0f);
  EXPECT_EQ(controller.cmdVel.linear.x, 0.2);
  EXPECT_EQ(controller.cmdVel.angular.z, 0.1);
  EXPECT_TRUE(controller.isNearPoint);
  EXPECT_EQ(controller.angleErrorRotate, 0.7);
  EXPECT_EQ(controller.endPoint.x, 3.0);
  EXPECT_EQ(controller.goal_angle, M_PI / 2);
}

TEST(ControllerDistance, PointOverloadIgnoresZ) {
  Controller controller;
  geometry_msgs::msg::Point a;
  a.x = 3;
  a.y = 4;
  a.z = 7;
  geometry_msgs::msg::Point b;
  b.z = -2;
  EXPECT_EQ(controller.getDistance(a, b), 5.0);
  EXPECT_EQ(a.z, 7.0);
}

TEST(ControllerDistance, CoordinateOverload) {
  Controller controller;
  EXPECT_EQ(controller.getDistance(1, 1, 4, 5), 5.0);
  EXPECT_EQ(controller.getDistance(-1, 2, -1, 2), 0.0);
}

TEST(GoalIngestion, TakesStartAndEndPositionsWithZ) {
  Controller controller;
  Path path;
  path.poses.push_back(poseAt(1, 2, 3, 0, 0, 0, 1));
  path.poses.push_back(poseAt(9, 9, 9, 0, 0, 1, 0));
  path.poses.push_back(poseAt(4, 5, 6, 0, 0, 0, 1));
  controller.setStraightCB(path);
  EXPECT_EQ(controller.startPoint.x, 1.0);
  EXPECT_EQ(controller.startPoint.y, 2.0);
  EXPECT_EQ(controller.startPoint.z, 3.0);
  EXPECT_EQ(controller.endPoint.x, 4.0);
  EXPECT_EQ(controller.endPoint.y, 5.0);
  EXPECT_EQ(controller.endPoint.z, 6.0);
  EXPECT_EQ(controller.goal_angle, 0.0);
}

TEST(GoalIngestion, OnePosePathIsBothStartAndGoal) {
  Controller controller;
  Path path;
  path.poses.push_back(poseAt(2, -1, 0, 0, 0, 0, 1));
  controller.setStraightCB(path);
  EXPECT_EQ(controller.startPoint.x, 2.0);
  EXPECT_EQ(controller.endPoint.x, 2.0);
  EXPECT_EQ(controller.startPoint.y, -1.0);
  EXPECT_EQ(controller.endPoint.y, -1.0);
}

TEST(GoalIngestion, EmptyPathLeavesTheStoredPathUnchanged) {
  Controller controller;
  controller.setStraightCB(pathEndingIn(0, 0, 1, 1));
  controller.setStraightCB(Path{});
  controller.getstraightCB(Path{});
  EXPECT_EQ(controller.endPoint.x, 3.0);
  EXPECT_EQ(controller.endPoint.y, 4.0);
  EXPECT_EQ(controller.goal_angle, M_PI / 2);
}

TEST(GoalIngestion, HandingOverAPathKeepsTheRunState) {
  Controller controller;
  controller.step = Controller::kLineMove;
  controller.coutt = 5;
  controller.setStraightCB(pathEndingIn(0, 0, 0, 1));
  EXPECT_EQ(controller.step, Controller::kLineMove);
  EXPECT_EQ(controller.coutt, 5);
}

TEST(GoalIngestion, YawOfPlanarRotationsWrapsIntoHalfOpenRange) {
  // 90 degrees and 270 degrees about z; sin and cos of pi/4 are not exact, so neither is the yaw.
  const double s = std::sin(M_PI / 4), c = std::cos(M_PI / 4);
  EXPECT_NEAR(goalAngleOf(0, 0, s, c), M_PI / 2, 1e-15);
  const double s3 = std::sin(3 * M_PI / 4), c3 = std::cos(3 * M_PI / 4);
  EXPECT_NEAR(goalAngleOf(0, 0, s3, c3), -M_PI / 2, 1e-15);
  EXPECT_EQ(goalAngleOf(0, 0, 1, 0), M_PI);
}

TEST(GoalIngestion, UnnormalisedQuaternionsGiveTheRotationOfTheirDirection) {
  EXPECT_EQ(goalAngleOf(0, 0, 0, 2), 0.0);
  EXPECT_EQ(goalAngleOf(0, 0, 2, 2), M_PI / 2);
}

TEST(GoalIngestion, PitchSingularityAndZeroQuaternionGiveYawZero) {
  EXPECT_EQ(goalAngleOf(0, 1, 0, 1), 0.0);
  EXPECT_EQ(goalAngleOf(0, 0, 0, 0), 0.0);
}

TEST(GoalIngestion, FirstPoseOrientationHasNoEffect) {
  Controller a;
  Controller b;
  Path path = pathEndingIn(0, 0, 0.3, 0.9);
  a.setStraightCB(path);
  path.poses.front().pose.orientation.z = 1;
  path.poses.front().pose.orientation.w = 0;
  b.setStraightCB(path);
  EXPECT_EQ(a.goal_angle, b.goal_angle);
}

TEST(GoalIngestion, BothNamesLeaveTheSameState) {
  Controller a;
  Controller b;
  const Path path = pathEndingIn(0.1, -0.2, 0.5, 0.7);
  a.setStraightCB(path);
  b.getstraightCB(path);
  EXPECT_EQ(a.startPoint, b.startPoint);
  EXPECT_EQ(a.endPoint, b.endPoint);
  EXPECT_EQ(a.goal_angle, b.goal_angle);
}

TEST(GoalIngestion, YawMatchesTf2GetRpyBitForBitOnRandomQuaternions) {
  std::mt19937_64 rng(20261207);
  std::uniform_real_distribution<double> component(-1.0, 1.0);
  std::uniform_real_distribution<double> scale(0.01, 100.0);
  Controller controller;
  for (int i = 0; i < 20000; ++i) {
    double qx = component(rng), qy = component(rng), qz = component(rng), qw = component(rng);
    if (i % 2 == 0) {
      const double norm = std::sqrt(qx * qx + qy * qy + qz * qz + qw * qw);
      qx /= norm, qy /= norm, qz /= norm, qw /= norm;
    } else {
      const double s = scale(rng);
      qx *= s, qy *= s, qz *= s, qw *= s;
    }
    controller.setStraightCB(pathEndingIn(qx, qy, qz, qw));
    ASSERT_EQ(controller.goal_angle, tf2Yaw(qx, qy, qz, qw))
        << "quaternion " << qx << ", " << qy << ", " << qz << ", " << qw;
  }
}
