// The node's obstacles without middleware: a laser scan as points in the base frame, the
// footprint's text, and the drive cycle's command limited by what lies on the route ahead.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "controller_fixtures.hpp"
#include "log_capture.hpp"
#include "node/drive/drive_cycle.hpp"
#include "node/obstacles/footprint_text.hpp"
#include "node/obstacles/obstacle_guard.hpp"
#include "node/obstacles/scan_points.hpp"

namespace {

using namespace std::chrono_literals;
using node::Clock;
using trelvo_test::planarPose;
using trelvo_test::Unicycle;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr auto kPeriod = 50ms;
constexpr auto kBlockedTimeout = 25s;

// Three rays: -90°, 0°, +90°, returns between 0.2 and 5 m.
sensor_msgs::msg::LaserScan threeRays(std::vector<float> ranges) {
  sensor_msgs::msg::LaserScan scan;
  scan.header.frame_id = "laser";
  scan.angle_min = static_cast<float>(-M_PI / 2);
  scan.angle_max = static_cast<float>(M_PI / 2);
  scan.angle_increment = static_cast<float>(M_PI / 2);
  scan.range_min = 0.2F;
  scan.range_max = 5.0F;
  scan.ranges = std::move(ranges);
  return scan;
}

geometry_msgs::msg::Transform mounting(double x, double y, double yaw) {
  geometry_msgs::msg::Transform transform;
  transform.translation.x = x;
  transform.translation.y = y;
  transform.rotation.z = std::sin(yaw / 2);
  transform.rotation.w = std::cos(yaw / 2);
  return transform;
}

TEST(ScanPoints, ReturnsInRangeBecomePointsInTheBaseFrame) {
  struct Case {
    const char* what;
    std::vector<float> ranges;
    geometry_msgs::msg::Transform mounting;
    std::vector<trelvo::Point2D> points;
  };
  const std::vector<Case> cases = {
      {"at the origin", {1.0F, 2.0F, 3.0F}, mounting(0, 0, 0), {{0, -1}, {2, 0}, {0, 3}}},
      {"no return: not finite", {kInf, kNaN, -kInf}, mounting(0, 0, 0), {}},
      {"no return: below range_min and above range_max",
       {0.1F, 5.5F, 0.2F},
       mounting(0, 0, 0),
       {{0, 0.2}}},
      {"range_max itself is a return", {5.0F, kInf, kInf}, mounting(0, 0, 0), {{0, -5}}},
      {"mounted 0.3 m ahead", {kInf, 1.0F, kInf}, mounting(0.3, 0, 0), {{1.3, 0}}},
      {"mounted turned left",
       {kInf, 1.0F, 2.0F},
       mounting(0.1, 0.2, M_PI / 2),
       {{0.1, 1.2}, {-1.9, 0.2}}},
      {"mounted facing back", {1.0F, 1.0F, kInf}, mounting(-0.4, 0, M_PI), {{-0.4, 1}, {-1.4, 0}}},
  };
  for (const auto& c : cases) {
    const auto points = node::scanInBase(threeRays(c.ranges), c.mounting);
    ASSERT_EQ(points.size(), c.points.size()) << c.what;
    for (std::size_t i = 0; i < points.size(); ++i) {
      EXPECT_NEAR(points[i].x, c.points[i].x, 1e-6) << c.what << " point " << i;
      EXPECT_NEAR(points[i].y, c.points[i].y, 1e-6) << c.what << " point " << i;
    }
  }
}

TEST(ScanPoints, UpsideDownMountingMirrorsTheScan) {
  geometry_msgs::msg::Transform flipped;  // rolled half a turn about x
  flipped.rotation.x = 1.0;
  flipped.rotation.w = 0.0;
  const auto points = node::scanInBase(threeRays({1.0F, kInf, kInf}), flipped);
  ASSERT_EQ(points.size(), 1u);
  EXPECT_NEAR(points[0].x, 0.0, 1e-6);
  EXPECT_NEAR(points[0].y, 1.0, 1e-6);
}

TEST(FootprintText, ReadsNav2sPolygonAndRefusesTheRest) {
  const auto footprint = node::parseFootprint("[[0.5, 0.3], [0.5,-0.3],[-0.5, -0.3], [-0.5, 0.3]]");
  ASSERT_EQ(footprint.polygon.size(), 4u);
  EXPECT_DOUBLE_EQ(footprint.polygon[1].x, 0.5);
  EXPECT_DOUBLE_EQ(footprint.polygon[1].y, -0.3);
  EXPECT_DOUBLE_EQ(footprint.radius, 0.0);
  for (const char* refused :
       {"", "[]", "[[1, 0], [0, 1]]", "[[1, 0], [0, 1], [0, 0]", "[[1, 0], [0, 1], [0, 0]] x",
        "[[1 0], [0, 1], [0, 0]]", "[[1, nan], [0, 1], [0, 0]]", "0.3"}) {
    EXPECT_THROW(node::parseFootprint(refused), std::invalid_argument) << refused;
  }
}

// A drive cycle along x from the origin to (4, 0), guarded by one scan source whose points are
// given in the base frame, one cycle every kPeriod.
struct GuardedDrive {
  node::NodeLog log{"robot1"};
  node::ObstacleGuard guard{{trelvo::Footprint{{}, 0.3}, {"/scan"}, 500ms, kBlockedTimeout, {}},
                            log};
  node::DriveCycle drive{500ms, log};
  Unicycle vehicle{0, 0, 0};
  Clock::time_point now = Clock::now();

  GuardedDrive() {
    drive.guardWith(guard);
    nav_msgs::msg::Path path;
    path.header.frame_id = "odom";
    path.poses = {planarPose(0, 0, 0), planarPose(4, 0, 0)};
    drive.receivePath(path);
  }

  // One cycle; `obstacles` in the map frame, seen from where the vehicle stands, unless nothing.
  node::CycleOutput step(const std::optional<std::vector<trelvo::Point2D>>& obstacles) {
    if (obstacles) {
      std::vector<trelvo::Point2D> seen;
      const double c = std::cos(vehicle.yaw);
      const double s = std::sin(vehicle.yaw);
      for (const auto& p : *obstacles) {
        const double dx = p.x - vehicle.x;
        const double dy = p.y - vehicle.y;
        seen.push_back({c * dx + s * dy, -s * dx + c * dy});
      }
      guard.receive(0, seen, now);
    }
    drive.receivePose(vehicle.pose(), now);
    node::CycleOutput output = drive.cycle(now);
    vehicle.apply(output.command, std::chrono::duration<double>(kPeriod).count());
    now += kPeriod;
    return output;
  }
};

TEST(ObstacleGuard, PointOnTheRouteStopsTheVehicleShortOfIt) {
  log_capture::LogCapture log;
  GuardedDrive d;
  for (int cycle = 0; cycle < 400; ++cycle) {
    d.step(std::vector<trelvo::Point2D>{{2.0, 0.0}});
  }
  // Stopped short of the point, the footprint clear of it, the route still under way.
  EXPECT_LT(d.vehicle.x, 2.0 - 0.3);
  EXPECT_GT(d.vehicle.x, 0.5);
  const auto output = d.step(std::vector<trelvo::Point2D>{{2.0, 0.0}});
  EXPECT_EQ(output.command.linear.x, 0.0);
  EXPECT_TRUE(output.routeUnderWay);
  EXPECT_FALSE(output.stall) << "standing before an obstacle is no stall";
  ASSERT_TRUE(d.guard.blockedFor(d.now));
  EXPECT_GT(*d.guard.blockedFor(d.now), 3s);
  // Each zone logged as it came, not each cycle.
  EXPECT_EQ(log.count("obstacles: stop zone"), 1) << log.text();
  EXPECT_FALSE(output.blocked) << "within the blocked timeout the route waits unreported";
  for (int cycle = 0; cycle < 300; ++cycle) {
    d.step(std::vector<trelvo::Point2D>{{2.0, 0.0}});
  }
  const auto held = d.step(std::vector<trelvo::Point2D>{{2.0, 0.0}});
  ASSERT_TRUE(held.blocked);
  EXPECT_NE(held.blocked->find(fmt::format("by an obstacle at ({:.2f}, ", 2.0 - d.vehicle.x)),
            std::string::npos)
      << *held.blocked;
  EXPECT_EQ(held.command.linear.x, 0.0);
  EXPECT_TRUE(held.routeUnderWay) << "a plain route waits";
  EXPECT_EQ(log.count("the route waits until the way is clear"), 1) << log.text();
  const auto report = d.drive.status(d.now).guard;
  ASSERT_TRUE(report);
  EXPECT_EQ(report->zone, "stop");
  EXPECT_EQ(report->nearest, fmt::format("({:.2f}, 0.00) in the base frame", 2.0 - d.vehicle.x));
  EXPECT_NE(report->blockedFor, "not blocked");

  // The obstacle gone: the vehicle drives on to the route's end.
  for (int cycle = 0; cycle < 600 && !d.step(std::vector<trelvo::Point2D>{}).routeFinished;
       ++cycle) {
  }
  EXPECT_NEAR(d.vehicle.x, 4.0, 0.1);
  EXPECT_EQ(log.count("the route ahead is clear"), 1) << log.text();
  EXPECT_FALSE(d.guard.blockedFor(d.now));
  EXPECT_EQ(d.drive.status(d.now).guard->blockedFor, "not blocked");
}

TEST(ObstacleGuard, PointBesideTheRouteLetsTheVehiclePass) {
  GuardedDrive d;
  bool finished = false;
  for (int cycle = 0; cycle < 600 && !finished; ++cycle) {
    finished = d.step(std::vector<trelvo::Point2D>{{2.0, 0.6}, {2.0, -0.6}}).routeFinished;
    EXPECT_FALSE(d.guard.stopping()) << cycle;
  }
  EXPECT_TRUE(finished);
  EXPECT_NEAR(d.vehicle.x, 4.0, 0.1);
}

TEST(ObstacleGuard, SilentSourceStopsTheVehicleUntilItSendsAgain) {
  log_capture::LogCapture log;
  GuardedDrive d;
  for (int cycle = 0; cycle < 20; ++cycle) {
    d.step(std::vector<trelvo::Point2D>{});
  }
  ASSERT_GT(d.vehicle.x, 0.0);
  // Within the source timeout the vehicle drives on the last points; past it, it stops.
  int stoppedAfter = -1;
  for (int cycle = 0; cycle < 30; ++cycle) {
    if (d.step(std::nullopt).command.linear.x == 0.0 && stoppedAfter < 0) {
      stoppedAfter = cycle;
    }
  }
  EXPECT_EQ(stoppedAfter, 10) << "500 ms of silence at 50 ms a cycle";
  EXPECT_EQ(log.count("[ERROR]"), 1) << log.text();
  EXPECT_EQ(log.count("no obstacle data from /scan for 0.55 s"), 1) << log.text();
  EXPECT_FALSE(d.guard.blockedFor(d.now)) << "a silent source is no obstacle";

  const double x = d.vehicle.x;
  for (int cycle = 0; cycle < 10; ++cycle) {
    d.step(std::vector<trelvo::Point2D>{});
  }
  EXPECT_GT(d.vehicle.x, x);
  EXPECT_EQ(log.count("obstacle data from /scan arrives again"), 1) << log.text();
}

TEST(ObstacleGuard, SourceNeverHeardStopsTheVehicle) {
  GuardedDrive d;
  for (int cycle = 0; cycle < 20; ++cycle) {
    EXPECT_EQ(d.step(std::nullopt).command.linear.x, 0.0) << cycle;
  }
  EXPECT_DOUBLE_EQ(d.vehicle.x, 0.0);
}

}  // namespace
