// The look-ahead point the line move publishes for the host.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "trelvo/controller.hpp"

namespace {

Controller::PlanarPoint lookAhead(double sx, double sy, double ex, double ey, double px,
                                  double py) {
  Controller controller;
  double start[2] = {sx, sy};
  double end[2] = {ex, ey};
  double current[2] = {px, py};
  EXPECT_EQ(controller.getNextTargetPoint(start, end, current), 0);
  EXPECT_EQ(start[0], sx);
  EXPECT_EQ(current[1], py);
  return controller.nextTargetPoint;
}

}  // namespace

TEST(LookAhead, VerticalLineLooksHalfAMetreAheadAndStopsAtTheGoal) {
  auto target = lookAhead(0, 0, 0, 5, 0.1, 1);
  EXPECT_EQ(target.x, 0.0);
  EXPECT_EQ(target.y, 1.5);
  target = lookAhead(0, 0, 0, 5, 0.1, 4.8);
  EXPECT_EQ(target.x, 0.0);
  EXPECT_EQ(target.y, 5.0);
  target = lookAhead(0, 5, 0, 0, 0, 3);
  EXPECT_EQ(target.x, 0.0);
  EXPECT_EQ(target.y, 2.5);
}

TEST(LookAhead, HorizontalLineLooksAlongX) {
  auto target = lookAhead(0, 0, 4, 0, 1, 0.2);
  EXPECT_EQ(target.x, 1.5);
  EXPECT_EQ(target.y, 0.0);
  target = lookAhead(4, 1, 0, 1, 0.3, 7);
  EXPECT_EQ(target.x, 0.0);
  EXPECT_EQ(target.y, 1.0);
}

TEST(LookAhead, ObliqueLineTowardsDecreasingXProjectsAndAdvances) {
  auto target = lookAhead(4, 4, 0, 0, 2, 2);
  EXPECT_EQ(target.x, 1.6464466094067263);
  EXPECT_EQ(target.y, 1.6464466094067263);
  target = lookAhead(4, 0, 0, 2, 2, 1.5);
  EXPECT_EQ(target.x, 1.3527864045000422);
  EXPECT_EQ(target.y, 1.3236067977499788);
}

TEST(LookAhead, ObliqueLookAheadPastTheGoalGivesTheGoal) {
  const auto target = lookAhead(4, 4, 0, 0, 0.2, 0.2);
  EXPECT_EQ(target.x, 0.0);
  EXPECT_EQ(target.y, 0.0);
}

TEST(LookAhead, ObliqueLineTowardsIncreasingXAlwaysGivesTheGoal) {
  for (double px : {-3.0, 0.0, 2.0, 9.0}) {
    const auto target = lookAhead(0, 0, 4, 4, px, 1.0);
    EXPECT_EQ(target.x, 4.0);
    EXPECT_EQ(target.y, 4.0);
  }
}

TEST(LookAhead, ZeroLengthLineTakesTheVerticalBranch) {
  const auto target = lookAhead(2, 2, 2, 2, 1, 1);
  EXPECT_EQ(target.x, 2.0);
  EXPECT_EQ(target.y, 1.5);
}

TEST(LookAhead, NanCoordinateOfAnObliqueLineGivesTheOrigin) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Controller controller;
  controller.nextTargetPoint = {7, 7};
  double start[2] = {nan, 1};
  double end[2] = {2, 3};
  double current[2] = {0, 0};
  controller.getNextTargetPoint(start, end, current);
  EXPECT_EQ(controller.nextTargetPoint.x, 0.0);
  EXPECT_EQ(controller.nextTargetPoint.y, 0.0);
}
