// Routes of many poses: how they become legs, and how a RouteFollower drives them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "route_drives.hpp"
#include "trelvo/route.hpp"

using trelvo::Leg;
using trelvo::makeLegs;
using trelvo::PathReception;
using trelvo::RouteEvent;
using trelvo::RouteFollower;
using trelvo_test::densePoints;
using trelvo_test::pathThrough;
using trelvo_test::planarPose;
using trelvo_test::radians;
using trelvo_test::RouteDrive;
using trelvo_test::Unicycle;
using trelvo_test::XY;

namespace {

std::vector<XY> wavyCorridor() {
  std::vector<XY> points;
  for (int i = 0; i <= 200; ++i) {
    points.emplace_back(i * 0.05, 0.02 * std::sin(i * 0.3));  // 2 cm either side of y = 0
  }
  return points;
}

std::vector<XY> westwardCorridor() {
  std::vector<XY> points;
  for (int i = 0; i <= 100; ++i) {
    points.emplace_back(-i * 0.05, i % 2 == 0 ? 0.01 : -0.01);
  }
  return points;
}

const std::vector<XY> kL{{0, 0}, {4, 0}, {4, 3}};

double distanceToLeg(const XY& p, const Leg& leg) {
  const double dx = leg.end.x - leg.start.x;
  const double dy = leg.end.y - leg.start.y;
  const double squared = dx * dx + dy * dy;
  const double t =
      squared == 0.0
          ? 0.0
          : std::clamp(((p.first - leg.start.x) * dx + (p.second - leg.start.y) * dy) / squared,
                       0.0, 1.0);
  return std::hypot(p.first - (leg.start.x + t * dx), p.second - (leg.start.y + t * dy));
}

TEST(RouteLegs, MergesPosesAlongOneLineAndBreaksAtCornersAndTurnBacks) {
  struct Case {
    const char* name;
    std::vector<XY> points;
    std::size_t legs;
  };
  const Case cases[] = {
      {"dense corridor", wavyCorridor(), 1},
      {"L", kL, 2},
      {"U-turn round a shelf", {{0, 0}, {3, 0}, {3, 2}, {0, 2}}, 3},
      {"planner path, a pose every 5 cm", densePoints({{0, 0}, {3, 0}, {3, 2}}), 2},
      {"repeats", {{0, 0}, {0, 0}, {0.0005, 0}, {2, 0}, {2, 0.0004}, {2, 0}}, 1},
      {"back and forth", {{0, 0}, {2, 0}, {0, 0}}, 2},
      {"back to 1e-160 m beside the start", {{0, 0}, {2, 0}, {0, 1e-160}}, 2},
      {"turn back along the line", {{0, 0}, {1, 0}, {2, 0}, {1.5, 0}}, 2},
      {"one pose", {{1, 2}}, 1},
      {"planner path turning right", densePoints({{0, 0}, {3, 0}, {3, -2}}), 2},
      {"planner path with a corner near its end", densePoints({{0, 0}, {4, 0}, {4, 0.5}}), 2},
      {"westward, 1 cm either side (bearings across +-180 degrees)", westwardCorridor(), 1},
      {"grid stair-step along 20 degrees", trelvo_test::stairStep(20, 1930), 1},
      {"grid stair-step to the cell (56, 20), then north",
       [] {
         std::vector<XY> points = trelvo_test::stairStep(std::atan2(20.0, 56.0) * 180.0 / M_PI, 76);
         const XY corner = points.back();
         for (int i = 1; i <= 40; ++i) {
           points.emplace_back(corner.first, corner.second + i * 0.05);
         }
         return points;
       }(),
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto legs = makeLegs(pathThrough(c.points, radians(30)));
    ASSERT_TRUE(legs.has_value());
    ASSERT_EQ(legs->size(), c.legs);
    EXPECT_EQ(legs->front().start.x, c.points.front().first);
    EXPECT_EQ(legs->front().start.y, c.points.front().second);
    EXPECT_NEAR(legs->back().end.x, c.points.back().first, trelvo::kSamePosition);
    EXPECT_NEAR(legs->back().end.y, c.points.back().second, trelvo::kSamePosition);
    EXPECT_NEAR(legs->back().end.heading, radians(30), 1e-12);
    for (std::size_t i = 0; i + 1 < legs->size(); ++i) {
      const Leg& next = (*legs)[i + 1];
      // Every corner is one of the path's points.
      const auto atCorner = [&](const XY& p) {
        return std::hypot(p.first - next.start.x, p.second - next.start.y) <= 1e-9;
      };
      EXPECT_TRUE(std::any_of(c.points.begin(), c.points.end(), atCorner))
          << "corner " << i + 1 << " at " << next.start.x << ", " << next.start.y;
      EXPECT_DOUBLE_EQ((*legs)[i].end.heading,
                       std::atan2(next.end.y - next.start.y, next.end.x - next.start.x))
          << "a leg ends facing along the next";
    }
  }
}

TEST(RouteLegs, NoLegShorterThanTheToleranceIsDrivenOnItsOwn) {
  struct Case {
    const char* name;
    std::vector<XY> points;
    std::vector<XY> corners;  // where the legs start and end, in order
  };
  const Case cases[] = {
      {"a replan from a vehicle measured 6 cm off the corner",
       {{4.01, 0.06}, {4, 0}, {4, 1}},
       {{4, 0}, {4, 1}}},
      {"a replan from a vehicle measured 1 cm off the corner",
       {{4.01, 0.006}, {4, 0}, {4, 1}},
       {{4.01, 0.006}, {4, 1}}},
      {"a jog back 3 cm at the goal", {{0, 0}, {2, 0}, {1.97, 0}}, {{0, 0}, {1.97, 0}}},
      {"a jog back 3 cm at a corner",
       {{0, 0}, {2, 0}, {1.97, 0}, {1.97, 2}},
       {{0, 0}, {2, 0}, {1.97, 2}}},
      {"a sideways jog of 4 cm",
       {{0, 0}, {2, 0}, {2, 0.04}, {2.04, 0.04}, {2.04, 2}},
       {{0, 0}, {2, 0}, {2.04, 2}}},
      {"a planner dithering at a corner",
       {{0, 0}, {1, 0}, {1.03, 0}, {1.01, 0}, {1.025, 0}, {1.025, 1}},
       {{0, 0}, {1.03, 0}, {1.025, 1}}},
      {"a jog of 6 cm sideways and 4 cm back at the goal",
       {{0, 0}, {1, 0}, {1, 0.06}, {1, 0.02}},
       {{0, 0}, {1, 0.02}}},
      {"a whole path shorter than the tolerance",
       {{0, 0}, {0.02, 0}, {0.02, 0.02}},
       {{0, 0}, {0.02, 0.02}}},
      // Not a jog: a back-and-forth of 20 cm is driven as the planner asks.
      {"a first leg of 20 cm back", {{4.2, 0}, {4, 0}, {4, 1}}, {{4.2, 0}, {4, 0}, {4, 1}}},
      // Not a jog either: the first pose lies 7 cm from the line it joins.
      {"a replan from a vehicle measured 7 cm beside the line it joins",
       [] {
         std::vector<XY> points{{0, 0.07}};
         const std::vector<XY> line = densePoints({{0.05, 0}, {2, 0}});
         points.insert(points.end(), line.begin(), line.end());
         points.emplace_back(2, 1);
         return points;
       }(),
       {{0, 0.07}, {0.05, 0}, {2, 0}, {2, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto legs = makeLegs(pathThrough(c.points));
    ASSERT_TRUE(legs.has_value());
    ASSERT_EQ(legs->size() + 1, c.corners.size());
    for (std::size_t i = 0; i < legs->size(); ++i) {
      EXPECT_NEAR((*legs)[i].start.x, c.corners[i].first, 1e-12);
      EXPECT_NEAR((*legs)[i].start.y, c.corners[i].second, 1e-12);
      EXPECT_NEAR((*legs)[i].end.x, c.corners[i + 1].first, 1e-12);
      EXPECT_NEAR((*legs)[i].end.y, c.corners[i + 1].second, 1e-12);
    }
    for (const XY& p : c.points) {
      double nearest = std::numeric_limits<double>::infinity();
      for (const Leg& leg : *legs) {
        nearest = std::min(nearest, distanceToLeg(p, leg));
      }
      EXPECT_LE(nearest, trelvo::kCornerTolerance + 1e-12)
          << "the pose " << p.first << ", " << p.second << " lies off every leg";
    }
  }
}

TEST(RouteLegs, RefusesWhatTheControllerRefuses) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  auto withMiddle = [](double x, double y, double z) {
    auto path = pathThrough({{0, 0}, {1, 0}, {2, 0}});
    path.poses[1].pose.position.x = x;
    path.poses[1].pose.position.y = y;
    path.poses[1].pose.position.z = z;
    return path;
  };
  auto withGoalOrientation = [](double z, double w) {
    auto path = pathThrough({{0, 0}, {2, 0}});
    path.poses.back().pose.orientation.z = z;
    path.poses.back().pose.orientation.w = w;
    return path;
  };
  const nav_msgs::msg::Path refused[] = {
      withMiddle(kNaN, 0, 0),
      withMiddle(1, kInf, 0),
      withMiddle(1, 0, kNaN),
      withMiddle(1.1e9, 0, 0),
      withMiddle(0, -1.1e9, 0),
      withGoalOrientation(kNaN, 1),
      withGoalOrientation(1e-160, 1e-160),  // its squared length underflows: no yaw
  };
  for (const auto& path : refused) {
    EXPECT_FALSE(makeLegs(path).has_value());
  }
  const auto zeroQuaternion = makeLegs(withGoalOrientation(0, 0));
  ASSERT_TRUE(zeroQuaternion.has_value());
  EXPECT_EQ(zeroQuaternion->back().end.heading, 0.0);
  EXPECT_TRUE(makeLegs(withMiddle(1, 1e9, 0)).has_value());
  EXPECT_TRUE(makeLegs(nav_msgs::msg::Path{})->empty());
}

constexpr int kCycleLimit = 20000;
constexpr double kPeriod = trelvo_test::kRoutePeriod;

// A follower driving a unicycle, with the steps of a test around it.
struct Drive : RouteDrive {
  void start(const nav_msgs::msg::Path& path) {
    ASSERT_EQ(follower.receivePath(path), PathReception::Taken);
    ASSERT_EQ(step(), RouteEvent::RouteStarted);
  }
  // Drives until the controller is in its line move of leg `leg`, some way along it.
  void intoLineMove(std::size_t leg, int cycles) {
    while (follower.legIndex() != leg || follower.controller().step != Controller::kLineMove) {
      ASSERT_TRUE(follower.driving());
      step();
    }
    for (int i = 0; i < cycles; ++i) {
      step();
    }
  }
  void toTheEnd() {
    for (int i = 0; i < kCycleLimit && follower.driving(); ++i) {
      step();
    }
  }
};

TEST(RouteFollower, DrivesAnLRouteToItsGoal) {
  Drive drive;
  drive.start(pathThrough(densePoints(kL), radians(180)));
  drive.toTheEnd();
  const std::vector<RouteEvent> expected{RouteEvent::RouteStarted, RouteEvent::LegReached,
                                         RouteEvent::RouteFinished};
  EXPECT_EQ(drive.events, expected);
  EXPECT_LT(std::hypot(drive.vehicle.x - 4, drive.vehicle.y - 3), 0.05);
  EXPECT_LT(std::fabs(std::remainder(drive.vehicle.yaw - radians(180), 2 * M_PI)), radians(5));
  EXPECT_EQ(drive.step(), RouteEvent::None);
  EXPECT_EQ(drive.cmd, geometry_msgs::msg::Twist{});
}

TEST(RouteFollower, TheCycleThatEndsALegHandsOutTheZeroCommand) {
  Drive drive;
  drive.start(pathThrough(densePoints(kL), radians(180)));
  drive.toTheEnd();
  ASSERT_EQ(drive.legEndCommands.size(), 2u);
  for (const auto& cmd : drive.legEndCommands) {
    EXPECT_EQ(cmd, geometry_msgs::msg::Twist{});
  }
}

TEST(RouteFollower, APathOfOnePoseAtTheOriginTurnsToItsHeadingAndFinishes) {
  Drive drive;
  drive.start(pathThrough({{0, 0}}, radians(90)));
  drive.toTheEnd();
  EXPECT_EQ(drive.events.back(), RouteEvent::RouteFinished);
  EXPECT_LT(std::fabs(std::remainder(drive.vehicle.yaw - radians(90), 2 * M_PI)), radians(5));
  EXPECT_LT(std::hypot(drive.vehicle.x, drive.vehicle.y), 1e-9);
}

TEST(RouteFollower, AReplanFromAVehicleMeasuredOffItsCornerNeverSpinsIt) {
  // The integrator's case: a vehicle 6 cm up the second leg of an L, and a planner that replans
  // from it back through the corner.
  Drive drive;
  drive.vehicle = Unicycle{4.01, 0.06, radians(87)};
  drive.start(pathThrough({{4.01, 0.06}, {4, 0}, {4, 1}}, radians(90)));
  drive.toTheEnd();
  EXPECT_EQ(drive.events.back(), RouteEvent::RouteFinished);
  EXPECT_LT(drive.largestTurnOnTheSpot, radians(20));
  EXPECT_LT(drive.cycles * kPeriod, 8.0);
  EXPECT_LT(std::hypot(drive.vehicle.x - 4, drive.vehicle.y - 1), 0.05);

  // A planner replanning every second from poses measured 1 cm off: the route is never begun
  // again, and no turn on the spot goes beyond the corner's quarter turn.
  Drive noisy;
  noisy.noise = 0.01;
  const std::vector<XY> corners = kL;
  noisy.start(pathThrough(densePoints(corners), radians(180)));
  while (noisy.follower.driving() && noisy.cycles < kCycleLimit) {
    if (noisy.cycles % 20 == 0) {
      const auto from = noisy.measured().pose.position;
      const std::size_t leg = noisy.follower.legIndex();
      std::vector<XY> rest{{from.x, from.y}};
      // Through the corner just passed, as planners do while the vehicle is close to it.
      if (std::hypot(from.x - corners[leg].first, from.y - corners[leg].second) < 0.1) {
        rest.push_back(corners[leg]);
      }
      rest.insert(rest.end(), corners.begin() + static_cast<long>(leg) + 1, corners.end());
      EXPECT_EQ(noisy.follower.receivePath(pathThrough(densePoints(rest), radians(180))),
                PathReception::Unchanged)
          << "cycle " << noisy.cycles;
    }
    noisy.step();
  }
  const std::vector<RouteEvent> expected{RouteEvent::RouteStarted, RouteEvent::LegReached,
                                         RouteEvent::RouteFinished};
  EXPECT_EQ(noisy.events, expected);
  EXPECT_LT(noisy.largestTurnOnTheSpot, radians(100));
}

TEST(RouteFollower, NoCommandOfAnAbandonedRunIsHandedOut) {
  const auto route = pathThrough(kL, radians(180));
  const auto behind = pathThrough({{0, 0}, {-3, 0}}, 0.0);
  {
    SCOPED_TRACE("a stop, then a new route");
    Drive drive;
    drive.start(route);
    drive.intoLineMove(0, 20);
    ASSERT_GT(drive.cmd.linear.x, 0.0);
    drive.follower.receivePath(nav_msgs::msg::Path{});
    EXPECT_EQ(drive.step(), RouteEvent::Stopped);
    EXPECT_EQ(drive.cmd, geometry_msgs::msg::Twist{});
    drive.follower.receivePath(behind);
    EXPECT_EQ(drive.step(), RouteEvent::RouteStarted);
    EXPECT_EQ(drive.cmd, geometry_msgs::msg::Twist{});
  }
  {
    SCOPED_TRACE("a route replaced midway along a leg");
    Drive drive;
    drive.start(route);
    drive.intoLineMove(0, 20);
    ASSERT_GT(drive.cmd.linear.x, 0.0);
    ASSERT_EQ(drive.follower.receivePath(behind), PathReception::Taken);
    EXPECT_EQ(drive.step(), RouteEvent::RouteStarted);
    EXPECT_EQ(drive.cmd, geometry_msgs::msg::Twist{});
    EXPECT_EQ(drive.follower.controller().endPoint.x, -3.0) << "the controller drives the new leg";
    EXPECT_EQ(drive.follower.controller().endPoint.y, 0.0);
  }
  {
    SCOPED_TRACE("a vehicle held still from outside");
    Drive drive;
    drive.start(route);
    drive.intoLineMove(0, 20);
    ASSERT_GT(drive.cmd.linear.x, 0.0);
    drive.follower.holdStill();
    EXPECT_EQ(drive.step(), RouteEvent::None);
    EXPECT_EQ(drive.cmd, geometry_msgs::msg::Twist{});
    drive.step();
    EXPECT_GT(drive.cmd.linear.x, 0.0) << "then drives on from the poses that came since";
  }
}

TEST(RouteFollower, TheLastLegTakesTheGoalHeadingBitForBitAsThePathGivesIt) {
  // Goal headings whose orientation, read as a yaw and turned back into an orientation, reads a
  // yaw one bit apart.
  for (const double degrees : {-113.8, -110.1, -97.2}) {
    SCOPED_TRACE(degrees);
    const nav_msgs::msg::Path path = pathThrough({{0, 0}, {4, 0}}, radians(degrees));
    Controller direct;
    direct.setStraightCB(path);
    RouteFollower follower;
    follower.receivePath(path);
    geometry_msgs::msg::Twist cmd;
    follower.cycle(planarPose(0, 0, 0), cmd);
    EXPECT_EQ(follower.controller().goal_angle, direct.goal_angle);
  }
}

TEST(RouteFollower, ResentOrReplannedRouteNeverRestartsALeg) {
  Drive drive;
  const auto route = pathThrough(densePoints(kL), radians(180));
  drive.start(route);
  drive.intoLineMove(0, 20);
  const int cyclesInLineMove = drive.follower.controller().coutt;
  // The planner's replan from where the vehicle stands, a little off the line.
  const auto replan = pathThrough(
      densePoints({{drive.vehicle.x, drive.vehicle.y + 0.02}, {4, 0}, {4, 3}}), radians(180.5));
  EXPECT_EQ(drive.follower.receivePath(route), PathReception::Unchanged);
  EXPECT_EQ(drive.follower.receivePath(replan), PathReception::Unchanged);
  EXPECT_EQ(drive.step(), RouteEvent::None);
  EXPECT_EQ(drive.follower.legIndex(), 0u);
  EXPECT_EQ(drive.follower.controller().step, Controller::kLineMove);
  EXPECT_EQ(drive.follower.controller().coutt, cyclesInLineMove + 1);

  // A replan from the corner while the vehicle turns there to face the next leg.
  while (drive.follower.controller().step != Controller::kFinalTurn) {
    drive.step();
  }
  drive.step();
  const int cyclesInFinalTurn = drive.follower.controller().coutt;
  EXPECT_EQ(drive.follower.receivePath(pathThrough(
                densePoints({{drive.vehicle.x, drive.vehicle.y}, {4, 3}}), radians(180))),
            PathReception::Unchanged);
  EXPECT_EQ(drive.step(), RouteEvent::None);
  EXPECT_EQ(drive.follower.legIndex(), 0u);
  EXPECT_EQ(drive.follower.controller().step, Controller::kFinalTurn);
  EXPECT_EQ(drive.follower.controller().coutt, cyclesInFinalTurn + 1);

  // A new path waits for the next cycle; the route under way, resent before it, wins.
  EXPECT_EQ(drive.follower.receivePath(pathThrough({{4, 0}, {4, 3.5}}, radians(180))),
            PathReception::Taken);
  EXPECT_EQ(drive.follower.receivePath(route), PathReception::Unchanged);
  EXPECT_EQ(drive.step(), RouteEvent::None);
  EXPECT_EQ(drive.follower.controller().coutt, cyclesInFinalTurn + 2);

  drive.toTheEnd();
  EXPECT_EQ(drive.follower.receivePath(route), PathReception::Unchanged);
  EXPECT_EQ(drive.follower.receivePath(pathThrough({{4, 3}}, radians(180))),
            PathReception::Unchanged);
  EXPECT_EQ(drive.step(), RouteEvent::None);
  EXPECT_FALSE(drive.follower.driving());
}

TEST(RouteFollower, ADifferentPathRestartsAndAnEmptyOneStops) {
  const nav_msgs::msg::Path different[] = {
      pathThrough({{0, 0}, {4, 0}, {4, 3.2}}, radians(180)),         // another goal
      pathThrough({{0, 0}, {4, 0}, {4, 3}}, radians(175)),           // another goal heading
      pathThrough({{0, 0}, {4, 0.5}, {4, 3}}, radians(180)),         // another corner
      pathThrough({{0, 0}, {2, -1}, {4, 0}, {4, 3}}, radians(180)),  // more legs
  };
  for (const auto& path : different) {
    Drive drive;
    drive.start(pathThrough(kL, radians(180)));
    drive.intoLineMove(0, 5);
    EXPECT_EQ(drive.follower.receivePath(path), PathReception::Taken);
    EXPECT_EQ(drive.step(), RouteEvent::RouteStarted);
    EXPECT_EQ(drive.follower.legIndex(), 0u);
  }

  Drive drive;
  drive.start(pathThrough(kL, radians(180)));
  drive.intoLineMove(0, 5);
  auto broken = pathThrough(kL);
  broken.poses[1].pose.position.x = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(drive.follower.receivePath(broken), PathReception::Refused);
  EXPECT_EQ(drive.step(), RouteEvent::None);
  EXPECT_EQ(drive.follower.legs().size(), 2u);
  EXPECT_EQ(drive.follower.receivePath(nav_msgs::msg::Path{}), PathReception::Stopped);
  EXPECT_EQ(drive.step(), RouteEvent::Stopped);
  EXPECT_EQ(drive.cmd, geometry_msgs::msg::Twist{});
  EXPECT_FALSE(drive.follower.driving());
}

TEST(RouteFollower, APathReceivedTwiceBeforeACycleIsOneRoute) {
  Drive drive;
  const auto route = pathThrough(densePoints(kL), radians(180));
  EXPECT_EQ(drive.follower.receivePath(route), PathReception::Taken);
  EXPECT_EQ(drive.follower.receivePath(route), PathReception::Unchanged);
  EXPECT_EQ(drive.step(), RouteEvent::RouteStarted);
  drive.toTheEnd();
  const std::vector<RouteEvent> expected{RouteEvent::RouteStarted, RouteEvent::LegReached,
                                         RouteEvent::RouteFinished};
  EXPECT_EQ(drive.events, expected);
}

TEST(RouteFollower, OfTwoPathsBeforeACycleTheSecondIsDrivenWithItsGoalHeading) {
  // The same corners, the goal heading changed from 180 to 90 degrees before the route began.
  Drive drive;
  EXPECT_EQ(drive.follower.receivePath(pathThrough(densePoints(kL), radians(180))),
            PathReception::Taken);
  EXPECT_EQ(drive.follower.receivePath(pathThrough(densePoints(kL), radians(90))),
            PathReception::Taken);
  EXPECT_EQ(drive.step(), RouteEvent::RouteStarted);
  drive.toTheEnd();
  EXPECT_EQ(drive.events.back(), RouteEvent::RouteFinished);
  EXPECT_LT(std::fabs(std::remainder(drive.vehicle.yaw - radians(90), 2 * M_PI)), radians(5));
}

TEST(RouteFollower, ReplansEverySecondCostNoStopNoTurnAndNoTime) {
  // The L in a planner frame turned 30 degrees, arriving rounded to the millimetre, replanned
  // every second from where the vehicle is measured; beside the same path sent once. The noise is
  // on every pose of the path and on the measured poses.
  for (const double noise : {0.0, 0.02}) {
    SCOPED_TRACE(noise);
    RouteDrive once;
    once.noise = noise;
    trelvo_test::driveTurnedL(once, noise, false);
    RouteDrive replanned;
    replanned.noise = noise;
    trelvo_test::driveTurnedL(replanned, noise, true);
    const std::vector<RouteEvent> expected{RouteEvent::RouteStarted, RouteEvent::LegReached,
                                           RouteEvent::RouteFinished};
    ASSERT_EQ(once.events, expected);
    EXPECT_EQ(replanned.events, expected);
    EXPECT_LE(replanned.stops, once.stops);
    EXPECT_LT(replanned.largestTurnOnTheSpot, once.largestTurnOnTheSpot + radians(5));
    EXPECT_LE(replanned.cycles, once.cycles * 1.1);
  }
}

TEST(RouteFollower, AGridPlannersStairStepIsDrivenWithoutAStop) {
  for (const bool replans : {false, true}) {
    SCOPED_TRACE(replans ? "replanned every second, 1 cm noise" : "sent once");
    RouteDrive drive;
    trelvo_test::driveStairStep(drive, replans ? 0.01 : 0.0, replans);
    EXPECT_EQ(drive.follower.legs().size(), 1u);
    EXPECT_EQ(drive.events, std::vector<RouteEvent>{RouteEvent::RouteStarted});
    EXPECT_EQ(drive.stops, 0);
    EXPECT_GT(drive.metres, 11.0) << "30 s at up to 0.4 m/s";
  }
}

TEST(RouteFollower, AVehicleAlreadyDrivingAlongANewRouteDrivesOn) {
  struct Case {
    const char* name;
    double offset;  // rad, of the new route's goal from the vehicle's line
    double ahead;   // m, of the goal from the vehicle
    bool drivesOn;
  };
  const Case cases[] = {
      {"straight ahead", 0.0, 6.0, true},
      {"4 degrees to the left", radians(4), 6.0, true},
      {"6 degrees to the right", radians(-6), 6.0, false},
      // Too near to stop in time from speed: the leg starts from rest.
      {"straight ahead, ending 5 cm ahead", 0.0, 0.05, false},
  };
  // Along the L's first leg (east) and its second (north).
  for (const std::size_t leg : {0u, 1u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " on leg " + std::to_string(leg));
      Drive drive;
      drive.start(pathThrough(densePoints(kL), radians(180)));
      drive.intoLineMove(leg, 39);
      const double line = leg == 0 ? 0.0 : M_PI / 2;
      // Where the follower sees the vehicle: the pose of its last cycle.
      const XY from{drive.vehicle.x, drive.vehicle.y};
      drive.step();
      const XY goal{from.first + c.ahead * std::cos(line + c.offset),
                    from.second + c.ahead * std::sin(line + c.offset)};
      ASSERT_EQ(drive.follower.receivePath(pathThrough(densePoints({from, goal}), 0.0)),
                PathReception::Taken);
      EXPECT_EQ(drive.step(), RouteEvent::RouteStarted);
      bool stopped = drive.cmd == geometry_msgs::msg::Twist{};
      EXPECT_EQ(stopped, !c.drivesOn) << "the new route's first command";
      for (int i = 0; i < 20; ++i) {
        drive.step();
        stopped = stopped || drive.cmd.linear.x == 0.0;
      }
      EXPECT_EQ(!stopped, c.drivesOn);
      EXPECT_NEAR(drive.follower.controller().endPoint.x, goal.first, 1e-9);
      drive.toTheEnd();
      EXPECT_EQ(drive.events.back(), RouteEvent::RouteFinished);
      EXPECT_LT(std::hypot(drive.vehicle.x - goal.first, drive.vehicle.y - goal.second), 0.05);
    }
  }
}

TEST(RouteFollower, AReplanWithItsCornerMovedKeepsDriving) {
  struct Case {
    const char* name;
    XY corner;  // of the replan, instead of (4, 0)
    XY legEnd;  // where the leg under way then ends
  };
  // Both corners may lie a tolerance off the planner's: 7 cm apart is still the same corner.
  const Case cases[] = {
      {"3 cm aside: the leg under way keeps its end", {4, 0.03}, {4, 0}},
      {"7 cm aside: the leg under way keeps its end", {4, 0.07}, {4, 0}},
      {"30 cm further along the leg: the leg goes on to it", {4.3, 0}, {4.3, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Drive drive;
    drive.start(pathThrough(densePoints(kL), radians(180)));
    drive.intoLineMove(0, 40);
    const int stopsBefore = drive.stops;
    const XY from{drive.vehicle.x, drive.vehicle.y};
    EXPECT_EQ(drive.follower.receivePath(
                  pathThrough(densePoints({from, c.corner, {4, 3}}), radians(180))),
              PathReception::Unchanged);
    EXPECT_EQ(drive.step(), RouteEvent::None);
    EXPECT_GT(drive.cmd.linear.x, 0.0);
    EXPECT_EQ(drive.follower.controller().step, Controller::kLineMove);
    EXPECT_EQ(drive.follower.legs().size(), 2u);
    EXPECT_NEAR(drive.follower.legs()[0].end.x, c.legEnd.first, 1e-9);
    EXPECT_NEAR(drive.follower.legs()[0].end.y, c.legEnd.second, 1e-9);
    EXPECT_NEAR(drive.follower.controller().endPoint.x, c.legEnd.first, 1e-9);
    EXPECT_NEAR(drive.follower.controller().endPoint.y, c.legEnd.second, 1e-9);
    EXPECT_NEAR(drive.follower.legs()[1].start.x, c.corner.first, 1e-9);
    EXPECT_NEAR(drive.follower.legs()[1].start.y, c.corner.second, 1e-9);
    while (drive.follower.legIndex() == 0) {
      ASSERT_TRUE(drive.follower.driving());
      drive.step();
    }
    EXPECT_LT(std::hypot(drive.vehicle.x - c.legEnd.first, drive.vehicle.y - c.legEnd.second), 0.05)
        << "the leg ends at its corner";
    EXPECT_EQ(drive.stops, stopsBefore + 2)
        << "one stop at the end of the line, one after the turn";
  }
}

TEST(RouteFollower, AReplanFromTheCornerAheadLetsTheLegUnderWayGoOn) {
  // A planner replanning from the next corner leaves out the leg under way. The vehicle, 6.4 cm
  // short of that corner, lies further than the tolerance from the replan's first pose.
  Drive drive;
  drive.start(pathThrough(densePoints(kL), radians(180)));
  drive.intoLineMove(0, 0);
  while (std::hypot(drive.vehicle.x - 4, drive.vehicle.y) > 0.064) {
    ASSERT_EQ(drive.follower.legIndex(), 0u);
    drive.step();
  }
  const double shortOfCorner = std::hypot(drive.vehicle.x - 4, drive.vehicle.y);
  ASSERT_GT(shortOfCorner, trelvo::kCornerTolerance);
  drive.step();  // the follower sees the vehicle there
  ASSERT_EQ(drive.follower.controller().step, Controller::kLineMove);
  EXPECT_EQ(drive.follower.receivePath(pathThrough(densePoints({{4, 0}, {4, 3}}), radians(180))),
            PathReception::Unchanged);
  EXPECT_EQ(drive.step(), RouteEvent::None);
  EXPECT_EQ(drive.follower.legIndex(), 0u);
  EXPECT_EQ(drive.follower.controller().step, Controller::kLineMove);
  while (drive.follower.legIndex() == 0) {
    ASSERT_TRUE(drive.follower.driving());
    drive.step();
  }
  EXPECT_LT(std::hypot(drive.vehicle.x - 4, drive.vehicle.y), 0.03) << "the leg ends at its corner";
  drive.toTheEnd();
  const std::vector<RouteEvent> expected{RouteEvent::RouteStarted, RouteEvent::LegReached,
                                         RouteEvent::RouteFinished};
  EXPECT_EQ(drive.events, expected);
}

TEST(RouteFollower, APathThatPassesTheVehicleTwiceGoesOnFromTheLaterPass) {
  // A loop that drives along y = 0 twice, then leaves south. The vehicle is on the later pass
  // when the planner resends its whole path with the loop moved 30 cm north.
  const auto loop = [](double north) {
    return pathThrough(
        densePoints({{0, 0}, {3, 0}, {3, north}, {0, north}, {0, 0}, {3, 0}, {3, -1}}),
        radians(-90));
  };
  Drive drive;
  drive.start(loop(1.0));
  ASSERT_EQ(drive.follower.legs().size(), 6u);
  drive.intoLineMove(4, 40);
  ASSERT_LT(drive.vehicle.x, 2.5);
  EXPECT_EQ(drive.follower.receivePath(loop(1.3)), PathReception::Unchanged);
  EXPECT_EQ(drive.step(), RouteEvent::None);
  EXPECT_EQ(drive.follower.legIndex(), 4u);
  EXPECT_EQ(drive.follower.controller().step, Controller::kLineMove);
  ASSERT_EQ(drive.follower.legs().size(), 6u) << "only the leg south is left after this one";
  drive.toTheEnd();
  EXPECT_EQ(drive.events.back(), RouteEvent::RouteFinished);
  EXPECT_EQ(std::count(drive.events.begin(), drive.events.end(), RouteEvent::LegReached), 5);
  EXPECT_LT(std::hypot(drive.vehicle.x - 3, drive.vehicle.y + 1), 0.05);
}

TEST(RouteFollower, AReplanPassingFurtherThanTheToleranceBesideTheVehicleIsANewRoute) {
  // The replan's line runs beside the vehicle, parallel to the leg under way, to a corner 9.5 cm
  // beyond the leg's and on to the same goal: too far from the leg's corner to repeat the route's
  // legs. Within the tolerance of the vehicle it is the leg's corridor; beyond, a new route.
  struct Case {
    const char* name;
    double beside;  // m, of the replan's line from the vehicle
    PathReception reception;
  };
  const Case cases[] = {
      {"4 cm beside", 0.04, PathReception::Unchanged},
      {"7 cm beside", 0.07, PathReception::Taken},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Drive drive;
    drive.start(pathThrough(densePoints(kL), radians(180)));
    drive.intoLineMove(0, 39);
    const XY seen{drive.vehicle.x, drive.vehicle.y};
    drive.step();
    const double y = seen.second + c.beside;
    EXPECT_EQ(drive.follower.receivePath(
                  pathThrough(densePoints({{seen.first, y}, {4.095, y}, {4, 3}}), radians(180))),
              c.reception);
    EXPECT_EQ(drive.step(),
              c.reception == PathReception::Taken ? RouteEvent::RouteStarted : RouteEvent::None);
  }
}

TEST(RouteFollower, APathFromBesideAVehicleStandingAtItsCornerIsANewRoute) {
  // The vehicle turns at the L's corner; the planner sends a path with the same goal by another
  // way (through (3, 1.5)), from where the vehicle stands or from 7 cm behind it.
  struct Case {
    const char* name;
    double behind;  // m, of the path's first pose from the vehicle, back along the leg
    PathReception reception;
  };
  const Case cases[] = {
      {"from the vehicle", 0.0, PathReception::Unchanged},
      {"7 cm behind the vehicle", 0.07, PathReception::Taken},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Drive drive;
    drive.start(pathThrough(densePoints(kL), radians(180)));
    while (drive.follower.controller().step != Controller::kFinalTurn) {
      ASSERT_TRUE(drive.follower.driving());
      drive.step();
    }
    const XY seen{drive.vehicle.x, drive.vehicle.y};
    drive.step();
    ASSERT_LT(std::hypot(seen.first - 4, seen.second), trelvo::kCornerTolerance);
    EXPECT_EQ(
        drive.follower.receivePath(pathThrough(
            densePoints({{seen.first - c.behind, seen.second}, {3, 1.5}, {4, 3}}), radians(180))),
        c.reception);
    EXPECT_EQ(drive.step(),
              c.reception == PathReception::Taken ? RouteEvent::RouteStarted : RouteEvent::None);
  }
}

}  // namespace
