// Clearance along the route ahead: which zone a point falls in, on legs and in the sweeps of turns
// on the spot, and a safe answer for every input.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "clearance_poses.hpp"
#include "trelvo/clearance.hpp"

using trelvo::ClearanceAction;
using trelvo::ClearanceDecision;
using trelvo::ClearanceSettings;
using trelvo::ClearanceZone;
using trelvo::Footprint;
using trelvo::Point2D;
using trelvo::RouteAhead;
using trelvo::VelocityCommand;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
// The shapes grow by a micrometre so that rounding never lets a point on their edge out.
constexpr double kSlack = 1e-5;

// 0.6 m long, 0.4 m wide, centred on the base origin.
Footprint rectangle() {
  return {{{-0.3, -0.2}, {0.3, -0.2}, {0.3, 0.2}, {-0.3, 0.2}}, 0.0};
}

// Stopping distance 0.4^2 / (2 * 0.5) + 0.05 = 0.21 m at 0.4 m/s; approach binds within 0.8 m.
ClearanceSettings settings() {
  return {0.05, 0.5, 1.0, 0.5, 2.0, 1};
}

// The same without a margin, where the exact sweep of a turn is what is tested.
ClearanceSettings withoutMargin() {
  ClearanceSettings s = settings();
  s.stop_margin = 0.0;
  return s;
}

const RouteAhead kStraightOn{{{3.0, 0.0}}, 0.0};

ClearanceDecision decide(const RouteAhead& route, double speed, std::vector<Point2D> points,
                         const ClearanceSettings& s = settings()) {
  return trelvo::decideClearance(rectangle(), route, {speed, 0.0}, points, s);
}

TEST(Clearance, ZonesAlongAStraightLegAtTheirBoundaries) {
  struct Case {
    double x;  // a point on the leg's line, ahead
    ClearanceAction action;
    ClearanceZone zone;
    double speed;
    double distance;
  };
  const Case cases[] = {
      {0.34, ClearanceAction::Stop, ClearanceZone::Stop, 0.0, 0.0},  // within the margin
      {0.55, ClearanceAction::Stop, ClearanceZone::Stop, 0.0, 0.20},
      {0.57, ClearanceAction::Slow, ClearanceZone::Approach, 0.135, 0.27},
      {1.00, ClearanceAction::Slow, ClearanceZone::Slowdown, 0.2, 0.70},
      {1.29, ClearanceAction::Slow, ClearanceZone::Slowdown, 0.2, 0.99},
      {1.31, ClearanceAction::Go, ClearanceZone::None, 0.4, kInf},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    const ClearanceDecision d = decide(kStraightOn, 0.4, {{c.x, 0.0}});
    EXPECT_EQ(d.action, c.action);
    EXPECT_EQ(d.zone, c.zone);
    EXPECT_NEAR(d.speed, c.speed, kSlack);
    if (c.action == ClearanceAction::Go) {
      EXPECT_FALSE(d.nearest);
      EXPECT_EQ(d.distance, kInf);
    } else {
      ASSERT_TRUE(d.nearest);
      EXPECT_EQ(d.nearest->x, c.x);
      EXPECT_NEAR(d.distance, c.distance, kSlack);
    }
  }
}

TEST(Clearance, PointBesideTheSweptLegNeitherStopsNorSlows) {
  struct Case {
    Point2D point;
    ClearanceZone zone;
  };
  const Case cases[] = {
      {{0.40, 0.24}, ClearanceZone::Stop},      // the margin's rounded corner meets it
      {{0.40, 0.26}, ClearanceZone::None},      // beyond the margin
      {{1.00, 0.19}, ClearanceZone::Slowdown},  // inside the footprint's sweep
      {{1.00, 0.21}, ClearanceZone::None},      // beside it, half a width and a centimetre out
      {{1.00, -0.21}, ClearanceZone::None},    {{-0.40, 0.0}, ClearanceZone::None},  // behind
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.point.x << ", " << c.point.y);
    EXPECT_EQ(decide(kStraightOn, 0.4, {c.point}).zone, c.zone);
  }
}

TEST(Clearance, TurnOnTheSpotStopsForAPointInItsSweepOnly) {
  // (0.25, 0.25) lies 0.354 m from the centre, inside the half diagonal of 0.361 m: the front left
  // corner passes over it from 10.6 to 13.1 degrees into a left turn; a right turn swings the
  // corners away from it.
  struct Case {
    const char* name;
    RouteAhead route;
    ClearanceZone zone;
  };
  const Case cases[] = {
      {"left turn to the next leg", {{{0.0, 2.0}}, std::nullopt}, ClearanceZone::Stop},
      {"right turn to the next leg", {{{0.0, -2.0}}, std::nullopt}, ClearanceZone::None},
      {"left turn of 10 degrees", {{}, 10.0 * M_PI / 180.0}, ClearanceZone::None},
      {"left turn of 12 degrees", {{}, 12.0 * M_PI / 180.0}, ClearanceZone::Stop},
      {"left turn of 20 degrees, past it", {{}, 20.0 * M_PI / 180.0}, ClearanceZone::Stop},
      {"half a turn either way", {{}, M_PI}, ClearanceZone::Stop},
      {"no turn, standing", {{}, 0.0}, ClearanceZone::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ClearanceDecision d = decide(c.route, 0.0, {{0.25, 0.25}}, withoutMargin());
    EXPECT_EQ(d.zone, c.zone);
    if (c.zone == ClearanceZone::Stop) {
      EXPECT_EQ(d.action, ClearanceAction::Stop);
      EXPECT_EQ(d.distance, 0.0);
    }
  }
}

TEST(Clearance, TurnAtACornerStopsTheVehicleOnceTheCornerIsWithinStoppingDistance) {
  // At 0.4 m/s without a margin the vehicle stops within 0.16 m. The point lies in the sweep of
  // the left turn at the corner, beside both legs.
  struct Case {
    double corner;  // m ahead
    ClearanceZone zone;
    double distance;
  };
  const Case cases[] = {
      {0.15, ClearanceZone::Stop, 0.15},
      {0.17, ClearanceZone::Approach, 0.17},
      {0.0, ClearanceZone::Stop, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.corner);
    const RouteAhead route{{{c.corner, 0.0}, {c.corner, 2.0}}, std::nullopt};
    const ClearanceDecision d = decide(route, 0.4, {{c.corner + 0.25, 0.25}}, withoutMargin());
    EXPECT_EQ(d.zone, c.zone);
    EXPECT_NEAR(d.distance, c.distance, kSlack);
  }
}

TEST(Clearance, FollowsTheRouteRoundItsCornerNotTheStraightProjection) {
  const RouteAhead leftAtHalfAMetre{{{0.5, 0.0}, {0.5, 2.0}}, std::nullopt};
  const ClearanceDecision onNextLeg = decide(leftAtHalfAMetre, 0.4, {{0.5, 0.7}});
  EXPECT_EQ(onNextLeg.zone, ClearanceZone::Slowdown);
  EXPECT_NEAR(onNextLeg.distance, 0.5 + 0.4, kSlack);
  EXPECT_EQ(decide(leftAtHalfAMetre, 0.4, {{1.2, 0.0}}).zone, ClearanceZone::None);
}

TEST(Clearance, RouteWithoutCornersFollowsTheCommand) {
  const RouteAhead none;
  struct Case {
    const char* name;
    VelocityCommand command;
    Point2D point;
    ClearanceAction action;
  };
  const Case cases[] = {
      {"forward, point ahead", {0.4, 0.0}, {0.4, 0.0}, ClearanceAction::Stop},
      {"forward, point behind", {0.4, 0.0}, {-0.4, 0.0}, ClearanceAction::Go},
      {"backward, point behind", {-0.4, 0.0}, {-0.4, 0.0}, ClearanceAction::Stop},
      {"turning, point in the sweep", {0.0, 0.3}, {0.25, 0.25}, ClearanceAction::Stop},
      {"standing, point in the sweep", {0.0, 0.0}, {0.25, 0.25}, ClearanceAction::Go},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(
        trelvo::decideClearance(rectangle(), none, c.command, {c.point}, withoutMargin()).action,
        c.action);
  }
}

TEST(Clearance, ZoneActsFromMinPointsAndIgnoresPointsWithoutAReturn) {
  const std::vector<Point2D> twoInFront{{0.4, 0.0}, {0.4, 0.1}};
  const std::vector<Point2D> oneAndNoReturns{{0.4, 0.0}, {kInf, 0.0}, {kNaN, kNaN}, {0.0, -kInf}};
  struct Case {
    const std::vector<Point2D>* points;
    std::size_t minPoints;
    ClearanceZone zone;
  };
  const Case cases[] = {
      {&twoInFront, 0, ClearanceZone::Stop},      {&twoInFront, 2, ClearanceZone::Stop},
      {&twoInFront, 3, ClearanceZone::None},      {&oneAndNoReturns, 1, ClearanceZone::Stop},
      {&oneAndNoReturns, 2, ClearanceZone::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.minPoints);
    ClearanceSettings s = settings();
    s.min_points = c.minPoints;
    EXPECT_EQ(decide(kStraightOn, 0.4, *c.points, s).zone, c.zone);
  }
}

TEST(Clearance, ApproachUsesTheMinPointsNearestContact) {
  ClearanceSettings s = settings();
  s.slowdown_distance = 0.0;
  s.min_points = 2;
  // Contacts 0.3 and 0.5 m along: the second sets the speed, 0.5 / 2 s.
  const ClearanceDecision d = decide(kStraightOn, 0.4, {{0.8, 0.0}, {0.6, 0.0}}, s);
  EXPECT_EQ(d.zone, ClearanceZone::Approach);
  EXPECT_NEAR(d.speed, 0.25, kSlack);
  EXPECT_NEAR(d.distance, 0.3, kSlack);
}

TEST(Clearance, RoundFootprintIsARadiusAboutTheCentre) {
  const Footprint round{{}, 0.3};
  const auto zone = [&](Point2D p) {
    return trelvo::decideClearance(round, {}, {0.0, 0.0}, {p}, withoutMargin()).zone;
  };
  EXPECT_EQ(zone({0.21, 0.21}), ClearanceZone::Stop);  // 0.297 m out
  EXPECT_EQ(zone({0.22, 0.22}), ClearanceZone::None);  // 0.311 m out
}

TEST(Clearance, FootprintOffTheCentreCountsWhereItIs) {
  // Base origin on the rear axle: 0.6 m of vehicle ahead of it to the tip of its nose, 0.1 m
  // behind. A point as far behind as the nose is ahead is clear.
  const Footprint rearAxle{{{-0.1, -0.2}, {0.5, -0.2}, {0.6, 0.0}, {0.5, 0.2}, {-0.1, 0.2}}, 0.0};
  struct Case {
    Point2D point;
    double finalHeading;
    ClearanceZone zone;
  };
  const Case cases[] = {
      {{0.4, 0.0}, 0.0, ClearanceZone::Stop},
      {{-0.6, 0.0}, 0.0, ClearanceZone::None},
      {{0.0, 0.4}, M_PI_2, ClearanceZone::Stop},
      {{0.0, -0.4}, M_PI_2, ClearanceZone::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.point.x << ", " << c.point.y);
    EXPECT_EQ(trelvo::decideClearance(rearAxle, {{}, c.finalHeading}, {0.0, 0.0}, {c.point},
                                      withoutMargin())
                  .zone,
              c.zone);
  }
}

TEST(Clearance, FootprintKeepsAVertexWhoseTurnUnderflows) {
  // The cross product at (0, 0.1) after (0, 0) and (5e-324, 0) underflows to zero.
  const Footprint tiny{{{0, 0}, {5e-324, 0}, {-1, -1}, {-1, 0.5}, {0, 0.1}}, 0.0};
  EXPECT_EQ(trelvo::decideClearance(tiny, {}, {0.0, 0.0}, {{0.0, 0.1}}, withoutMargin()).zone,
            ClearanceZone::Stop);
}

TEST(Clearance, InputsItCannotUseStopTheVehicle) {
  struct Case {
    const char* name;
    Footprint footprint;
    RouteAhead route;
    VelocityCommand command;
    ClearanceSettings settings;
  };
  const auto with = [](auto change) {
    ClearanceSettings s = settings();
    change(s);
    return s;
  };
  const Case cases[] = {
      {"no footprint", {}, kStraightOn, {0.4, 0.0}, settings()},
      {"footprint in a line", {{{0, 0}, {1, 0}, {2, 0}}, 0.0}, kStraightOn, {0.4, 0}, settings()},
      {"footprint vertex NaN",
       {{{kNaN, 0}, {1, 0}, {0, 1}}, 0.0},
       kStraightOn,
       {0.4, 0},
       settings()},
      {"footprint beyond reach", {{}, 1e10}, kStraightOn, {0.4, 0.0}, settings()},
      {"negative radius", {{}, -0.1}, kStraightOn, {0.4, 0.0}, settings()},
      {"corner NaN", rectangle(), {{{kNaN, 0.0}}, 0.0}, {0.4, 0.0}, settings()},
      {"corner beyond reach", rectangle(), {{{2e9, 0.0}}, 0.0}, {0.4, 0.0}, settings()},
      {"final heading infinite", rectangle(), {{}, kInf}, {0.4, 0.0}, settings()},
      {"speed NaN", rectangle(), kStraightOn, {kNaN, 0.0}, settings()},
      {"turn rate infinite", rectangle(), kStraightOn, {0.4, kInf}, settings()},
      {"margin NaN", rectangle(), kStraightOn, {0.4, 0.0}, with([](auto& s) {
         s.stop_margin = kNaN;
       })},
      {"no deceleration", rectangle(), kStraightOn, {0.4, 0.0}, with([](auto& s) {
         s.deceleration = 0.0;
       })},
      {"slowdown distance NaN", rectangle(), kStraightOn, {0.4, 0.0}, with([](auto& s) {
         s.slowdown_distance = kNaN;
       })},
      {"slowdown ratio above 1", rectangle(), kStraightOn, {0.4, 0.0}, with([](auto& s) {
         s.slowdown_ratio = 1.5;
       })},
      {"time before collision NaN", rectangle(), kStraightOn, {0.4, 0.0}, with([](auto& s) {
         s.time_before_collision = kNaN;
       })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ClearanceDecision d =
        trelvo::decideClearance(c.footprint, c.route, c.command, {}, c.settings);
    EXPECT_EQ(d.action, ClearanceAction::Stop);
    EXPECT_EQ(d.zone, ClearanceZone::Unusable);
    EXPECT_EQ(d.speed, 0.0);
  }
}

TEST(Clearance, HugeSpeedAndDecelerationStillStopForAPointAhead) {
  constexpr double kLargest = std::numeric_limits<double>::max();
  ClearanceSettings s = settings();
  s.deceleration = kLargest;
  const ClearanceDecision d = decide(kStraightOn, kLargest, {{2.0, 0.0}}, s);
  EXPECT_EQ(d.action, ClearanceAction::Stop);
  EXPECT_NEAR(d.distance, 1.65, kSlack);
}

TEST(Clearance, ClearRouteGoesAtTheCommandedSpeed) {
  const ClearanceDecision zeroLength = decide({{{0.0, 0.0}}, std::nullopt}, 0.4, {{2.0, 0.0}});
  EXPECT_EQ(zeroLength.action, ClearanceAction::Go);
  EXPECT_EQ(zeroLength.speed, 0.4);
  EXPECT_EQ(decide(kStraightOn, -0.3, {}).speed, 0.3);
}

// Random footprints, routes, commands and points of every size: the speed is finite, within the
// command's, zero on a stop; a point in the bare footprint where it stands always stops it.
TEST(Clearance, AnyInputGivesAFiniteSpeedWithinTheCommand) {
  std::mt19937_64 random(36);
  const double scales[] = {1e-9, 1.0, 1e3, 1e9, 1e300};
  std::uniform_int_distribution<int> pick(0, 4);
  const auto value = [&] {
    return std::uniform_real_distribution<double>(-1.0, 1.0)(random) * scales[pick(random)];
  };
  for (int run = 0; run < 2000; ++run) {
    Footprint footprint{{}, std::fabs(value())};
    for (int i = pick(random); i > 0; --i) {
      footprint.polygon.push_back({value(), value()});
    }
    RouteAhead route;
    for (int i = pick(random); i > 0; --i) {
      route.corners.push_back({value(), value()});
    }
    if (pick(random) > 2) {
      route.finalHeading = value();
    }
    const VelocityCommand command{value(), value()};
    std::vector<Point2D> points{{0.0, 0.0}};
    for (int i = 0; i < 20; ++i) {
      points.push_back({value(), value()});
    }
    ClearanceSettings s{
        std::fabs(value()), std::fabs(value()),
        std::fabs(value()), std::uniform_real_distribution<double>(0.0, 1.0)(random),
        std::fabs(value()), 1};
    const ClearanceDecision d = trelvo::decideClearance(footprint, route, command, points, s);
    ASSERT_TRUE(std::isfinite(d.speed)) << run;
    ASSERT_GE(d.speed, 0.0) << run;
    ASSERT_LE(d.speed, std::fabs(command.speed)) << run;
    if (d.action == ClearanceAction::Stop) {
      ASSERT_EQ(d.speed, 0.0) << run;
    }
    // The centre lies in a round footprint: usable or not, it stops the vehicle.
    if (footprint.polygon.empty() && footprint.radius > 0.0) {
      ASSERT_EQ(d.action, ClearanceAction::Stop) << run;
    }
    const VelocityCommand limited = trelvo::limitCommand(d, command);
    ASSERT_TRUE(std::isfinite(limited.speed) && std::isfinite(limited.turnRate)) << run;
    ASSERT_LE(std::fabs(limited.speed), d.speed) << run;
  }
}

// Points inside the footprint wherever the vehicle passes within its stopping distance, on random
// routes of up to four corners: every one of them stops the vehicle.
TEST(Clearance, EveryPointTheFootprintPassesWithinTheStoppingDistanceStops) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_real_distribution<double> metres(-3.0, 3.0);
  const Footprint footprint = rectangle();
  for (int run = 0; run < 20000; ++run) {
    RouteAhead route;
    for (int i = static_cast<int>(unit(random) * 5); i > 0; --i) {
      route.corners.push_back({metres(random), metres(random)});
    }
    const double speed = unit(random) * 1.5;
    ClearanceSettings s = settings();
    s.stop_margin = unit(random) < 0.5 ? 0.0 : 0.05;
    const double stopping = speed * speed / (2.0 * s.deceleration) + s.stop_margin;
    const trelvo_test::PassedPose pose =
        trelvo_test::poseWithin(route, stopping, unit(random), unit(random));
    // A point of the footprint: between two of its corners and the centre.
    const Point2D a = footprint.polygon[run % 4];
    const Point2D b = footprint.polygon[(run + 1) % 4];
    const double u = unit(random), v = unit(random) * (1.0 - u);
    const Point2D local{u * a.x + v * b.x, u * a.y + v * b.y};
    const Point2D point = trelvo_test::placedAt(pose, local);
    const ClearanceDecision d = trelvo::decideClearance(footprint, route, {speed, 0.0}, {point}, s);
    ASSERT_EQ(d.action, ClearanceAction::Stop)
        << "run " << run << ": point " << point.x << ", " << point.y << " at speed " << speed;
    ASSERT_LE(d.distance, stopping) << run;
  }
}

TEST(LimitCommand, ScalesSpeedAndTurnRateAlikeOnSlow) {
  const ClearanceDecision slow{ClearanceAction::Slow, 0.2, ClearanceZone::Slowdown, {}, 1.0};
  const ClearanceDecision go{ClearanceAction::Go, 0.4, ClearanceZone::None, {}, kInf};
  const ClearanceDecision stop{ClearanceAction::Stop, 0.0, ClearanceZone::Stop, {}, 0.1};
  struct Case {
    const ClearanceDecision* decision;
    VelocityCommand command;
    VelocityCommand expected;
  };
  const Case cases[] = {
      {&slow, {0.4, 0.1}, {0.2, 0.05}}, {&slow, {-0.4, 0.1}, {-0.2, 0.05}},
      {&slow, {0.1, 0.1}, {0.1, 0.1}},  {&slow, {0.0, 0.3}, {0.0, 0.3}},
      {&go, {0.4, -0.2}, {0.4, -0.2}},  {&stop, {0.4, 0.3}, {0.0, 0.0}},
      {&go, {kNaN, 0.1}, {0.0, 0.0}},
  };
  for (const Case& c : cases) {
    const VelocityCommand limited = trelvo::limitCommand(*c.decision, c.command);
    EXPECT_DOUBLE_EQ(limited.speed, c.expected.speed);
    EXPECT_DOUBLE_EQ(limited.turnRate, c.expected.turnRate);
  }
}

TEST(RouteAhead, PutsTheLegsStillToDriveIntoTheBaseFrame) {
  // An L: north from (1, 0) to (1, 4), then east to (4, 4), ending facing south.
  const std::vector<trelvo::Leg> legs{{{1, 0, M_PI_2}, {1, 4, 0}}, {{1, 4, 0}, {4, 4, -M_PI_2}}};
  struct Case {
    const char* name;
    trelvo::Pose2D vehicle;
    std::size_t legIndex;
    std::vector<Point2D> corners;
    double finalHeading;
  };
  const Case cases[] = {
      {"on the first leg", {1, 1, M_PI_2}, 0, {{3, 0}, {3, -3}}, -M_PI},
      {"at its corner", {1, 3.96, M_PI_2}, 0, {{0.04, -3}}, -M_PI},
      {"on the last leg", {2, 4, 0}, 1, {{2, 0}}, -M_PI_2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RouteAhead ahead = trelvo::routeAhead(c.vehicle, legs, c.legIndex);
    ASSERT_EQ(ahead.corners.size(), c.corners.size());
    for (std::size_t i = 0; i < c.corners.size(); ++i) {
      EXPECT_NEAR(ahead.corners[i].x, c.corners[i].x, 1e-12);
      EXPECT_NEAR(ahead.corners[i].y, c.corners[i].y, 1e-12);
    }
    ASSERT_TRUE(ahead.finalHeading);
    EXPECT_NEAR(std::fabs(*ahead.finalHeading), std::fabs(c.finalHeading), 1e-12);
  }
  const RouteAhead finished = trelvo::routeAhead({4, 4, 0}, legs, 2);
  EXPECT_TRUE(finished.corners.empty());
  EXPECT_FALSE(finished.finalHeading);
}

}  // namespace
