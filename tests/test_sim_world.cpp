// trelvo-sim's world: outlines and their gaps, the laser's returns, walkers that halt for the
// vehicle, obstacles on the command line, random obstacles, and runs among obstacles through the
// clearance check.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "sim/run/run.hpp"
#include "sim/scenarios/random_obstacles.hpp"
#include "sim/world/laser.hpp"
#include "sim/world/obstacle.hpp"
#include "sim/world/obstacle_text.hpp"
#include "sim/world/outline.hpp"

using namespace sim;

namespace {

const Outline kUnitSquare{{{0.5, 0.5}, {-0.5, 0.5}, {-0.5, -0.5}, {0.5, -0.5}}, 0.0};

Outline circleAt(double x, double y, double radius) {
  return {{{x, y}}, radius};
}

Obstacle standingCircle(double x, double y, double radius) {
  Obstacle obstacle;
  obstacle.radius = radius;
  obstacle.at = {x, y, 0.0};
  return obstacle;
}

// A straight 8 m run with a round vehicle of 0.3 m and the given obstacles.
RunResult aisleRun(std::vector<Obstacle> obstacles, double timeLimit = 60.0) {
  Scenario scenario{{0.0, 0.0, 0.0}, {8.0, 0.0, 0.0}, 1};
  scenario.obstacles = std::move(obstacles);
  RunSettings settings;
  settings.timeLimit = timeLimit;
  return runScenario(scenario, settings);
}

}  // namespace

TEST(SimOutline, GapsBetweenShapesAtTouchingApartAndOverlapping) {
  struct Case {
    const char* what;
    Outline other;
    double gap;
  };
  const std::vector<Case> cases = {
      {"circle touching a side", circleAt(1.0, 0.0, 0.5), 0.0},
      {"circle 0.2 beyond a side", circleAt(1.2, 0.0, 0.5), 0.2},
      {"circle off a corner", circleAt(1.5, 1.5, 0.5), std::hypot(1.0, 1.0) - 0.5},
      {"circle inside", circleAt(0.1, 0.1, 0.1), -0.1},
      {"square 0.3 to the left", placed(kUnitSquare, {0.0, 1.3, 0.0}), 0.3},
      {"square crossing it, no corner inside", placed(kUnitSquare, {0.0, 0.0, M_PI / 4}), 0.0},
      {"square enclosing it", {{{5, 5}, {-5, 5}, {-5, -5}, {5, -5}}, 0.0}, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(gapBetween(kUnitSquare, c.other), c.gap, 1e-12) << c.what;
    EXPECT_NEAR(gapBetween(c.other, kUnitSquare), c.gap, 1e-12) << c.what << ", swapped";
  }
}

TEST(SimOutline, PlacedTurnsCounterClockwiseThenMoves) {
  const Outline moved = placed({{{1.0, 0.0}}, 0.2}, {2.0, 3.0, M_PI / 2});
  EXPECT_NEAR(moved.core[0].x, 2.0, 1e-12);
  EXPECT_NEAR(moved.core[0].y, 4.0, 1e-12);
  EXPECT_EQ(moved.radius, 0.2);
}

TEST(SimOutline, RaysMeetTheNearSideAndMissWhatLiesBehindOrBeside) {
  const Point2D east{1.0, 0.0};
  EXPECT_NEAR(*rayHit(circleAt(3.0, 0.0, 0.5), {0.0, 0.0}, east), 2.5, 1e-12);
  EXPECT_NEAR(*rayHit(placed(kUnitSquare, {3.0, 0.0, 0.0}), {0.0, 0.0}, east), 2.5, 1e-12);
  EXPECT_FALSE(rayHit(circleAt(-3.0, 0.0, 0.5), {0.0, 0.0}, east));
  EXPECT_FALSE(rayHit(placed(kUnitSquare, {3.0, 0.51, 0.0}), {0.0, 0.0}, east));
  EXPECT_EQ(*rayHit(kUnitSquare, {0.0, 0.0}, east), 0.0);
}

TEST(SimLaser, ReturnsLieOnTheObstacleInTheBaseFrameAndNothingBeyondRange) {
  LaserSettings settings;
  settings.range = 4.0;
  settings.mount = {0.2, 0.0, 0.0};
  Laser laser(settings, 1);
  // The vehicle faces +y; a circle 3 m ahead of it in the map is 3 m along +x in its base frame.
  const common::Pose2D vehicle{1.0, 1.0, M_PI / 2};
  const std::vector<double> ranges = laser.scan(vehicle, {circleAt(1.0, 4.0, 0.5)});
  ASSERT_EQ(ranges.size(), beamCount(settings));
  const std::vector<Point2D> points = laser.pointsOf(ranges);
  ASSERT_FALSE(points.empty());
  for (const Point2D& p : points) {
    EXPECT_NEAR(std::hypot(p.x - 3.0, p.y), 0.5, 1e-9);
  }
  EXPECT_TRUE(laser.pointsOf(laser.scan(vehicle, {circleAt(1.0, 6.0, 0.5)})).empty());
}

TEST(SimLaser, BeamsSpanTheFieldOfViewEdgeToEdge) {
  LaserSettings settings;
  settings.fieldOfView = M_PI;
  settings.resolution = M_PI / 180;
  EXPECT_EQ(beamCount(settings), 181u);
  // A wall on either side: the first beam points to the right, the last to the left.
  Laser laser(settings, 1);
  const Outline left{{{-10, 5}, {10, 5}}, 0.0};
  const Outline right{{{-10, -5}, {10, -5}}, 0.0};
  const std::vector<Point2D> points = laser.pointsOf(laser.scan({0.0, 0.0, 0.0}, {left, right}));
  // The beams ahead run past the walls' ends.
  ASSERT_GE(points.size(), 2u);
  EXPECT_NEAR(points.front().y, -5.0, 1e-9);
  EXPECT_NEAR(points.back().y, 5.0, 1e-9);
}

TEST(SimWalker, WalksFromItsStartTimeAtItsSpeedAndStandsAtItsEnd) {
  Obstacle walker = standingCircle(0.0, 0.0, 0.25);
  walker.walk = Walk{{2.0, 0.0}, 0.5, 1.0};
  ObstacleField field({walker});
  const Outline farAway = circleAt(100.0, 100.0, 0.3);
  for (const auto& [time, x] : std::vector<std::pair<double, double>>{
           {0.5, 0.0}, {1.0, 0.0}, {2.0, 0.5}, {4.0, 1.5}, {9.0, 2.0}}) {
    field.advance(time, farAway);
    EXPECT_NEAR(field.outlines()[0].core[0].x, x, 1e-12) << "at " << time << " s";
  }
}

TEST(SimWalker, HaltsForAVehicleAcrossItsWayAndPassesOneBeside) {
  Obstacle walker = standingCircle(0.0, -2.0, 0.25);
  walker.walk = Walk{{0.0, 2.0}, 1.0, 0.0};
  const Outline across = circleAt(0.0, 0.0, 0.3);
  ObstacleField blocked({walker});
  for (double t = 0.05; t < 5.0; t += 0.05) {
    blocked.advance(t, across);
  }
  const double gap = blocked.clearance(across);
  EXPECT_GT(gap, 0.0);
  EXPECT_LE(gap, kWalkerDistance + 0.05 + 1e-9);
  ObstacleField passing({walker});
  const Outline beside = circleAt(0.6, 0.0, 0.3);
  passing.advance(5.0, beside);
  EXPECT_NEAR(passing.outlines()[0].core[0].y, 2.0, 1e-12);
}

TEST(SimObstacleText, ReadsBackWhatItWritesAndNamesWhatIsWrong) {
  for (const std::string& text :
       {std::string("circle,1,2,0.25"), std::string("box,1,-2,30,1.2,0.8"),
        std::string("circle,4,-2.5,0.25,to,4,2.5,0.8,3")}) {
    const auto read = obstacleFromText(text);
    ASSERT_TRUE(std::holds_alternative<Obstacle>(read)) << text;
    EXPECT_EQ(obstacleText(std::get<Obstacle>(read)), text);
  }
  for (const std::string& text :
       {std::string("square,1,2,3"), std::string("circle,1,2"), std::string("circle,1,2,0"),
        std::string("box,1,2,0,1,-1"), std::string("circle,1,2,0.3,by,1,1,1,1"),
        std::string("circle,1,2,0.3,to,1,1,0,1"), std::string("circle,1,x,0.3")}) {
    EXPECT_TRUE(std::holds_alternative<std::string>(obstacleFromText(text))) << text;
  }
}

TEST(SimRandomObstacles, NoneTouchesTheVehicleTurningAtTheStartOrTheGoal) {
  std::mt19937_64 random(7);
  const double reach = reachOf({{{0.4, 0.3}, {-0.4, 0.3}, {-0.4, -0.3}, {0.4, -0.3}}, 0.0});
  EXPECT_NEAR(reach, 0.5, 1e-12);
  int walkers = 0;
  for (int i = 0; i < 200; ++i) {
    const Scenario scenario{{0.0, 0.0, 0.0}, {std::cos(i) * 4, std::sin(i) * 4, 0.0}, 1};
    for (const Obstacle& obstacle : drawObstacles(random, scenario, 5, reach)) {
      walkers += obstacle.walk ? 1 : 0;
      const Outline outline = outlineAt(obstacle, {obstacle.at.x, obstacle.at.y});
      for (const common::Pose2D& end : {scenario.start, scenario.goal}) {
        EXPECT_GT(gapBetween(outline, circleAt(end.x, end.y, reach)), 0.0);
      }
    }
  }
  EXPECT_GT(walkers, 0);
}

TEST(SimObstacleRun, APalletOnTheLineStopsTheVehicleShortOfItUntilTheEnd) {
  Obstacle pallet;
  pallet.shape = ObstacleShape::Box;
  pallet.length = 1.2;
  pallet.width = 0.8;
  pallet.at = {5.0, 0.0, 0.0};
  const RunResult result = aisleRun({pallet}, 30.0);
  EXPECT_EQ(result.outcome, Outcome::TimeLimit);
  EXPECT_TRUE(result.blockedAtEnd);
  EXPECT_EQ(result.waits, 1);
  EXPECT_GT(result.waitTime, 10.0);
  EXPECT_GE(result.minClearance, RunSettings{}.clearance.stop_margin);
}

TEST(SimObstacleRun, AnObstacleBesideTheLineNeitherSlowsNorStopsTheVehicle) {
  const RunResult clear = aisleRun({});
  const RunResult beside = aisleRun({standingCircle(4.0, 0.9, 0.3)});
  EXPECT_EQ(beside.outcome, Outcome::Reached);
  EXPECT_EQ(beside.waits, 0);
  EXPECT_EQ(beside.slowTime, 0.0);
  EXPECT_EQ(beside.simulatedTime, clear.simulatedTime);
  EXPECT_NEAR(beside.minClearance, 0.3, 0.01);
  EXPECT_TRUE(std::isinf(clear.minClearance));
}

TEST(SimObstacleRun, ContactEndsTheRunAsAFailure) {
  // The vehicle starts inside a circle: nothing the clearance check does can help.
  const RunResult result = aisleRun({standingCircle(0.2, 0.0, 0.2)});
  EXPECT_EQ(result.outcome, Outcome::Contact);
  EXPECT_EQ(result.contactTime, 0.0);
  EXPECT_STREQ(outcomeKey(result.outcome), "contact");
}

TEST(SimObstacleRun, APersonCrossingAheadIsWaitedForAndTheGoalStillReached) {
  Obstacle person = standingCircle(4.0, -2.5, 0.25);
  person.walk = Walk{{4.0, 2.5}, 0.25, 0.0};
  const RunResult result = aisleRun({person});
  EXPECT_EQ(result.outcome, Outcome::Reached);
  EXPECT_GE(result.waits, 1);
  EXPECT_GT(result.waitTime, 0.0);
  EXPECT_FALSE(result.blockedAtEnd);
  EXPECT_GT(result.minClearance, 0.0);
}
