// The node's control cycle without middleware: stale poses stop the vehicle and keep the route,
// no command computed before a stop is handed out after it, and what the node logs comes once per
// occasion, not once per cycle.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "controller_fixtures.hpp"
#include "log_capture.hpp"
#include "node/drive/drive_cycle.hpp"
#include "node/drive/drive_frames.hpp"
#include "node/drive/path_handover.hpp"
#include "node/drive/progress_repeat.hpp"

namespace {

using log_capture::LogCapture;
using namespace std::chrono_literals;
using node::Clock;
using trelvo_test::planarPose;
using trelvo_test::radians;
using trelvo_test::Unicycle;

constexpr auto kPeriod = 50ms;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

nav_msgs::msg::Path pathThrough(std::initializer_list<geometry_msgs::msg::PoseStamped> poses) {
  nav_msgs::msg::Path path;
  path.header.frame_id = "odom";
  path.poses = poses;
  return path;
}

bool moving(const geometry_msgs::msg::Twist& cmd) {
  return cmd.linear.x != 0.0 || cmd.angular.z != 0.0;
}

// A drive cycle steering a unicycle, one cycle every kPeriod.
struct Drive {
  node::NodeLog log{"robot1"};
  node::DriveCycle drive{500ms, log};
  Unicycle vehicle{0, 0, 0};
  Clock::time_point now = Clock::now();
  std::vector<node::CycleOutput> outputs;

  const node::CycleOutput& step(bool posesArrive = true) {
    if (posesArrive) {
      drive.receivePose(vehicle.pose(), now);
    }
    outputs.push_back(drive.cycle(now));
    vehicle.apply(outputs.back().command, std::chrono::duration<double>(kPeriod).count());
    now += kPeriod;
    return outputs.back();
  }
  void stepUntil(const std::string& progressStart, int limit = 2000) {
    for (int i = 0; i < limit; ++i) {
      if (step().progress.rfind(progressStart, 0) == 0) {
        return;
      }
    }
    FAIL() << "never reached " << progressStart;
  }
};

TEST(DriveCycle, StalePoseStopsTheVehicleKeepsTheRouteAndLogsOnce) {
  LogCapture log;
  Drive d;
  d.drive.setPoseSource("TF map -> base_link", true);
  d.drive.receivePath(pathThrough({planarPose(0, 0, 0), planarPose(-2, 0, 0)}));
  for (int cycle = 0; cycle < 10; ++cycle) {
    d.step();
  }
  ASSERT_TRUE(moving(d.outputs.back().command));

  // No pose for longer than the timeout: a zero command every cycle, one log line.
  d.outputs.clear();
  for (int cycle = 0; cycle < 40; ++cycle) {
    d.step(false);
  }
  for (std::size_t i = 11; i < d.outputs.size(); ++i) {
    EXPECT_FALSE(moving(d.outputs[i].command)) << i;
    EXPECT_FALSE(d.outputs[i].driving);
    EXPECT_EQ(d.outputs[i].progress, "stopped: no fresh pose");
  }
  EXPECT_EQ(log.count("no pose for"), 1);
  // The lines about poses name where they come from.
  EXPECT_EQ(log.count(" s from TF map -> base_link: zero commands until poses arrive again"), 1)
      << log.text();
  EXPECT_EQ(log.count(", from TF map -> base_link"), 1) << log.text();

  // Fresh poses again: the same route drives on.
  bool drove = false;
  for (int cycle = 0; cycle < 5; ++cycle) {
    const auto& output = d.step();
    drove = drove || moving(output.command);
    EXPECT_EQ(output.progress.rfind("leg 1 of 1", 0), 0u) << output.progress;
  }
  EXPECT_TRUE(drove);
  EXPECT_EQ(log.count("poses arrive again after"), 1);
  EXPECT_EQ(log.count("driving on"), 1);
}

TEST(DriveCycle, AVehicleBackFacingAwayGetsNoForwardCommandUntilItHasTurned) {
  Drive d;
  d.drive.receivePath(pathThrough({planarPose(0, 0, 0), planarPose(4, 0, 0)}));
  d.stepUntil("leg 1 of 1: line move");
  for (int cycle = 0; cycle < 20; ++cycle) {
    d.step();
  }
  ASSERT_GT(d.outputs.back().command.linear.x, 0.1) << "driving the line";

  // The vehicle dies; it comes back a second later, restarted facing back along the line.
  for (int cycle = 0; cycle < 20; ++cycle) {
    d.step(false);
  }
  d.vehicle = Unicycle{1.0, 0.0, M_PI};
  d.outputs.clear();
  for (int cycle = 0;
       cycle < 200 && std::fabs(std::remainder(d.vehicle.yaw, 2 * M_PI)) > radians(10); ++cycle) {
    const auto& output = d.step();
    EXPECT_LE(output.command.linear.x, 0.0) << "cycle " << cycle << " after poses came back";
  }
  ASSERT_FALSE(d.outputs.empty());
  EXPECT_FALSE(moving(d.outputs.front().command)) << "the first command after the stop";
  EXPECT_LT(std::fabs(std::remainder(d.vehicle.yaw, 2 * M_PI)), radians(10)) << "it turned";
}

TEST(DriveCycle, RefusedPosesNeverDriveAndAreLoggedOncePerOccasion) {
  LogCapture log;
  Drive d;
  // A route the vehicle would turn for at once.
  d.drive.receivePath(pathThrough({planarPose(0, 0, 0), planarPose(-2, 0, 0)}));
  auto broken = [](double x, double qz) {
    auto pose = planarPose(x, 0, 0);
    pose.pose.orientation.z = qz;
    return pose;
  };
  for (const auto& refused : {broken(kNaN, 0), broken(0, kNaN), broken(2e9, 0)}) {
    for (int cycle = 0; cycle < 20; ++cycle) {
      d.drive.receivePose(refused, d.now);
      const auto output = d.drive.cycle(d.now);
      d.now += kPeriod;
      EXPECT_FALSE(moving(output.command));
      EXPECT_EQ(output.progress, "waiting for the first pose");
    }
  }
  d.drive.receivePath(pathThrough({planarPose(0, 0, 0), planarPose(kNaN, 1, 0)}));
  EXPECT_EQ(log.count("pose refused: x = nan is not finite"), 1) << log.text();
  EXPECT_EQ(log.count("path of 2 poses refused: pose 2 of 2: x = nan is not finite"), 1)
      << log.text();
  EXPECT_EQ(log.count("waiting for the first pose"), 1);
  EXPECT_EQ(log.count("no pose for"), 0) << "no stale warning before the first pose";
}

TEST(DriveCycle, ARouteIsLoggedWithItsLegsAndFinishesWithItsError) {
  LogCapture log;
  Drive d;
  d.drive.receivePath(
      pathThrough({planarPose(0, 0, 0), planarPose(1.5, 0, 0), planarPose(1.5, 1.0, radians(90))}));
  d.stepUntil("route finished");
  const std::string text = log.text();
  EXPECT_EQ(log.count("] [robot1.trelvo_node]: new route of 2 legs in odom: (0.000, 0.000) -> "
                      "(1.500, 0.000) -> (1.500, 1.000), goal heading 90.0 deg"),
            1)
      << text;
  EXPECT_EQ(log.count("leg 1 of 2 reached at (1.4"), 1) << text;
  EXPECT_EQ(log.count("route finished at (1.5"), 1) << text;
  EXPECT_EQ(log.count(" from the goal (1.500, 1.000, 90.0 deg)"), 1) << text;
  // Every line of the node's in rclcpp's form: level, wall time, logger name.
  const std::regex rclcppLine(R"(\[(INFO|WARN)\] \[\d{10}\.\d{9}\] \[robot1\.trelvo_node\]: .+)");
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_TRUE(std::regex_match(line, rclcppLine)) << line;
  }
}

// A new path received while no pose is fresh waits for the next pose to begin: until then the
// route finished before is no longer the one reported as finished.
TEST(DriveCycle, ANewPathAfterAFinishedRouteIsNotFinishedBeforeItsFirstPose) {
  Drive d;
  d.drive.receivePath(pathThrough({planarPose(0, 0, 0), planarPose(1, 0, 0)}));
  d.stepUntil("route finished");
  ASSERT_TRUE(d.outputs.back().routeFinished);
  for (int cycle = 0; cycle < 20; ++cycle) {
    d.step(false);
  }
  ASSERT_EQ(d.outputs.back().progress, "stopped: no fresh pose");
  ASSERT_EQ(d.drive.receivePath(pathThrough({planarPose(1, 0, 0), planarPose(2, 0, 0)})),
            trelvo::PathReception::Taken);
  const auto& waiting = d.step(false);
  EXPECT_FALSE(waiting.routeFinished);
  EXPECT_TRUE(waiting.routeUnderWay);
  const auto& started = d.step();
  EXPECT_FALSE(started.routeFinished);
  EXPECT_EQ(started.progress.rfind("leg 1 of 1", 0), 0u) << started.progress;
}

// The logger's name as rcl gives a node's, its level as rclcpp prints it, and the wall time of
// the line in seconds since the epoch.
TEST(NodeLog, LinesCarryLevelTimeAndTheNodesLoggerName) {
  struct Case {
    const char* nameSpace;
    const char* nodeName;
    const char* logger;
  };
  const Case cases[] = {{"", "trelvo_node", "trelvo_node"},
                        {"/", "trelvo_node", "trelvo_node"},
                        {"robot1", "trelvo_node", "robot1.trelvo_node"},
                        {"/robot1/", "mover", "robot1.mover"},
                        {"/fleet/robot1", "trelvo_node", "fleet.robot1.trelvo_node"}};
  for (const auto& c : cases) {
    node::NodeLog log{c.nameSpace, c.nodeName};
    EXPECT_EQ(log.who(), c.logger) << c.nameSpace;
  }
  LogCapture capture;
  node::NodeLog log{"robot1"};
  const double before =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  log.info("route {}", 1);
  log.warn("stall {}", 2);
  std::istringstream lines(capture.text());
  std::string info;
  std::string warn;
  std::getline(lines, info);
  std::getline(lines, warn);
  std::smatch match;
  ASSERT_TRUE(std::regex_match(
      info, match, std::regex(R"(\[INFO\] \[(\d+\.\d{9})\] \[robot1\.trelvo_node\]: route 1)")))
      << info;
  EXPECT_NEAR(std::stod(match[1]), before, 1.0);
  EXPECT_TRUE(std::regex_match(
      warn, std::regex(R"(\[WARN\] \[\d+\.\d{9}\] \[robot1\.trelvo_node\]: stall 2)")))
      << warn;
  EXPECT_EQ(log.lastWarning(), "stall 2");
}

TEST(DriveCycle, RampsLimitTheRouteCommandButNeverAStop) {
  constexpr double kAccel = 0.2;      // m/s2
  constexpr double kTurnAccel = 0.5;  // rad/s2
  node::NodeLog log{""};
  Drive d;
  node::DriveCycle ramped(500ms, log, {kAccel, kAccel, kTurnAccel});
  ramped.receivePath(
      pathThrough({planarPose(0, 0, 0), planarPose(4, 0, 0), planarPose(4, -2, radians(-90))}));
  geometry_msgs::msg::Twist before;
  double fastest = 0.0;
  const double dt = std::chrono::duration<double>(kPeriod).count();
  for (int cycle = 0; cycle < 400 && fastest <= 0.3; ++cycle) {
    ramped.receivePose(d.vehicle.pose(), d.now);
    const auto output = ramped.cycle(d.now);
    EXPECT_LE(std::fabs(output.command.linear.x - before.linear.x), kAccel * dt + 1e-12) << cycle;
    EXPECT_LE(std::fabs(output.command.angular.z - before.angular.z), kTurnAccel * dt + 1e-12)
        << cycle;
    fastest = std::max(fastest, output.command.linear.x);
    before = output.command;
    d.vehicle.apply(output.command, dt);
    d.now += kPeriod;
  }
  ASSERT_GT(fastest, 0.3) << "the ramp lets the vehicle reach its speed";
  // Poses stop: the zero comes at once, not down the ramp.
  d.now += 600ms;
  EXPECT_EQ(ramped.cycle(d.now).command, geometry_msgs::msg::Twist{});
}

TEST(DriveCycle, ASpeedLimitCapsTheRouteFromTheNextCycleThroughTheRamp) {
  constexpr double kDecel = 0.5;  // m/s2
  constexpr double kCap = 0.1;    // m/s
  const double dt = std::chrono::duration<double>(kPeriod).count();
  node::NodeLog log{""};
  Drive d;
  node::DriveCycle ramped(500ms, log, {kDecel, kDecel, 0.0});
  ramped.receivePath(pathThrough({planarPose(0, 0, 0), planarPose(6, 0, 0)}));
  const auto step = [&] {
    ramped.receivePose(d.vehicle.pose(), d.now);
    const auto output = ramped.cycle(d.now);
    d.vehicle.apply(output.command, dt);
    d.now += kPeriod;
    return output.command;
  };
  geometry_msgs::msg::Twist before;
  for (int cycle = 0; cycle < 400 && before.linear.x <= 0.3; ++cycle) {
    before = step();
  }
  ASSERT_GT(before.linear.x, 0.3);

  ASSERT_FALSE(ramped.speedLimit().set(false, kCap));
  EXPECT_EQ(ramped.status(d.now).speedLimit, "0.1 m/s");
  for (int cycle = 0; cycle < 40; ++cycle) {  // down to the cap no faster than the ramp allows
    const auto command = step();
    EXPECT_LT(command.linear.x, before.linear.x) << cycle;
    EXPECT_LE(before.linear.x - command.linear.x, kDecel * dt + 1e-12) << cycle;
    EXPECT_GE(command.linear.x, kCap) << cycle;
    before = command;
    if (command.linear.x == kCap) {
      break;
    }
  }
  EXPECT_EQ(before.linear.x, kCap);
  for (int cycle = 0; cycle < 20; ++cycle) {
    EXPECT_LE(step().linear.x, kCap) << cycle;
  }
  // A stop under a limit is a zero at once.
  d.now += 600ms;
  EXPECT_EQ(ramped.cycle(d.now).command, geometry_msgs::msg::Twist{});
  // Lifted: the route speeds up past it again.
  ASSERT_FALSE(ramped.speedLimit().set(true, 100.0));
  EXPECT_EQ(ramped.status(d.now).speedLimit, "none");
  double fastest = 0.0;
  for (int cycle = 0; cycle < 40; ++cycle) {
    fastest = std::max(fastest, step().linear.x);
  }
  EXPECT_GT(fastest, 2 * kCap);
}

TEST(DriveCycle, LookAheadIsPublishedOnlyAsAPointOnTheLine) {
  Drive d;
  d.drive.receivePath(
      pathThrough({planarPose(0, 0, 0), planarPose(2, 0, 0), planarPose(2, 2, radians(90))}));
  d.stepUntil("route finished");
  int published = 0;
  for (const auto& output : d.outputs) {
    if (output.lookAhead) {
      ++published;
      EXPECT_FALSE(output.lookAhead->x == -1.0 && output.lookAhead->y == -1.0);
      EXPECT_GE(output.lookAhead->x, 0.0);
    }
  }
  EXPECT_GT(published, 20);
}

// Each report of refused poses counts those since the report before, not since the start.
TEST(DriveCycle, RefusalCountsRestartAfterEachReport) {
  LogCapture log;
  Drive d;
  auto broken = planarPose(kNaN, 0, 0);
  const auto start = d.now;
  // 1 refusal reported at once, then bursts of `refused` more, the last of each reported.
  for (const auto& [at, refused] : {std::pair{0s, 1}, std::pair{10s, 5}, std::pair{20s, 3}}) {
    for (int i = 0; i < refused; ++i) {
      d.drive.receivePose(broken, start + at - (refused - 1 - i) * 100ms);
    }
  }
  EXPECT_EQ(log.count("pose refused: "), 3) << log.text();
  EXPECT_EQ(log.count("pose refused: x = nan is not finite; the next report"), 1) << log.text();
  EXPECT_EQ(log.count("(5 poses refused since the last report)"), 1) << log.text();
  EXPECT_EQ(log.count("(3 poses refused since the last report)"), 1) << log.text();
}

// route_progress goes out in the cycle it changes, and while it does not change at least once a
// second, never more often than a change or the repeat asks for.
TEST(ProgressRepeat, EachChangeGoesOutInItsCycleAndAStandingOneEverySecond) {
  node::ProgressRepeat repeat;
  const auto start = Clock::now();
  std::optional<Clock::time_point> lastSent;
  std::string before;
  int sent = 0;
  // 5 s of 20 Hz cycles; the text changes at cycles 30, 31 and 75.
  for (int cycle = 0; cycle < 100; ++cycle) {
    const auto now = start + cycle * kPeriod;
    const std::string progress = cycle < 30   ? "no route"
                                 : cycle < 31 ? "leg 1 of 1: first turn"
                                 : cycle < 75 ? "leg 1 of 1: line move"
                                              : "route finished";
    const bool due = repeat.due(progress, now);
    if (progress != before) {
      EXPECT_TRUE(due) << "cycle " << cycle << ": a change goes out at once";
    } else {
      EXPECT_EQ(due, now - *lastSent >= node::kProgressRepeat) << "cycle " << cycle;
    }
    if (due) {
      EXPECT_EQ(repeat.sent(), progress);
      lastSent = now;
      ++sent;
    }
    before = progress;
  }
  // 4 changes besides the first, and repeats at 1 s: 0, 1, 1.5 (change), 1.55 (change), 2.55,
  // 3.55, 3.75 (change), 4.75.
  EXPECT_EQ(sent, 8);
}

tf2_msgs::msg::TFMessage mapToOdom(double x, double y, double yawDegrees) {
  geometry_msgs::msg::TransformStamped transform;
  transform.header.frame_id = "map";
  transform.header.stamp.sec = 1700000000;
  transform.child_frame_id = "odom";
  transform.transform.translation.x = x;
  transform.transform.translation.y = y;
  transform.transform.rotation.z = std::sin(radians(yawDegrees) / 2);
  transform.transform.rotation.w = std::cos(radians(yawDegrees) / 2);
  tf2_msgs::msg::TFMessage message;
  message.transforms.push_back(transform);
  return message;
}

// A route in map driven on poses in odom, through TF as the node takes it: the vehicle ends at
// the goal in map, also when localisation moves map -> odom by 0.1 m midway.
TEST(DriveFrames, ARouteInMapEndsAtItsGoalInMapFromPosesInOdom) {
  for (const double correction : {0.0, 0.1}) {
    SCOPED_TRACE(correction);
    node::NodeLog log{"robot1"};
    node::DriveCycle drive(500ms, log);
    node::DriveFrames frames(500ms, log);
    frames.addTransforms(mapToOdom(2, 1, 30), true, Clock::now());
    Unicycle vehicle{0, 0, 0};  // in odom, where map's (2, 1) lies
    auto now = Clock::now();
    auto path = pathThrough(
        {planarPose(2, 1, radians(30)), planarPose(4, 1, 0), planarPose(4, 3, radians(90))});
    path.header.frame_id = "map";
    frames.receivePath(path, now);
    const auto ready = frames.readyPath(now);
    ASSERT_TRUE(ready);
    ASSERT_EQ(drive.receivePath(*ready), trelvo::PathReception::Taken);
    frames.routeTaken(*ready);
    bool finished = false;
    for (int cycle = 0; cycle < 2000 && !finished; ++cycle, now += kPeriod) {
      if (cycle == 300) {
        frames.addTransforms(mapToOdom(2 + correction, 1, 30), true, now);
      }
      auto pose = vehicle.pose();
      pose.header.frame_id = "odom";
      const auto inMap = frames.toDriveFrame(pose);
      ASSERT_TRUE(inMap);
      EXPECT_EQ(inMap->header.frame_id, "map");
      drive.receivePose(*inMap, now);
      const auto output = drive.cycle(now);
      finished = output.progress == "route finished";
      vehicle.apply(output.command, std::chrono::duration<double>(kPeriod).count());
    }
    ASSERT_TRUE(finished);
    // The vehicle in map, through the transform that holds at the end.
    const double yaw = radians(30);
    const double mapX = 2 + correction + std::cos(yaw) * vehicle.x - std::sin(yaw) * vehicle.y;
    const double mapY = 1 + std::sin(yaw) * vehicle.x + std::cos(yaw) * vehicle.y;
    EXPECT_LT(std::hypot(mapX - 4, mapY - 3), 0.05) << mapX << ", " << mapY;
    RecordProperty(
        correction == 0.0 ? "final_error_in_map" : "final_error_in_map_corrected",
        std::to_string(std::hypot(mapX - 4, mapY - 3)) + " m, " +
            std::to_string(std::fabs(std::remainder(vehicle.yaw + yaw - radians(90), 2 * M_PI)) /
                           M_PI * 180) +
            " deg");
    EXPECT_LT(std::fabs(std::remainder(vehicle.yaw + yaw - radians(90), 2 * M_PI)), radians(5));
  }
}

TEST(DriveFrames, APathInAFrameTfDoesNotKnowIsRefusedNamingBothFrames) {
  LogCapture capture;
  node::NodeLog log{""};
  node::DriveFrames frames(500ms, log);
  auto pose = planarPose(0, 0, 0);
  pose.header.frame_id = "odom";
  ASSERT_TRUE(frames.toDriveFrame(pose));
  auto path = pathThrough({planarPose(0, 0, 0), planarPose(2, 0, 0)});
  path.header.frame_id = "map";
  const auto now = Clock::now();
  frames.receivePath(path, now);
  EXPECT_FALSE(frames.readyPath(now + 499ms));
  EXPECT_EQ(capture.count("refused"), 0);
  EXPECT_FALSE(frames.readyPath(now + 500ms));
  EXPECT_EQ(capture.count("path of 2 poses in map refused: no transform from map to odom within "
                          "0.5 s"),
            1)
      << capture.text();
  // A path in the poses' frame, or in none, needs no transform.
  for (const char* frame : {"odom", ""}) {
    path.header.frame_id = frame;
    frames.receivePath(path, now);
    EXPECT_TRUE(frames.readyPath(now)) << frame;
  }
}

// A path that the route refuses, or one that repeats the route under way, in a frame other than
// the route's: the poses stay in the route's frame, and so does the look-ahead point.
TEST(PathHandover, OnlyATakenRouteMovesTheFramePosesAreDrivenIn) {
  LogCapture capture;
  node::NodeLog log{""};
  node::DriveCycle drive(500ms, log);
  node::DriveFrames frames(500ms, log);
  frames.addTransforms(mapToOdom(2, 1, 30), true, Clock::now());
  auto now = Clock::now();
  auto pose = planarPose(0, 0, 0);
  pose.header.frame_id = "odom";
  const auto framesAfter = [&](nav_msgs::msg::Path path) {
    frames.receivePath(path, now);
    node::handOverPath(frames, drive, now);
    const auto moved = frames.toDriveFrame(pose);
    EXPECT_TRUE(moved);
    drive.receivePose(*moved, now);
    drive.cycle(now);
    now += kPeriod;
    return std::pair{frames.driveFrame(), moved ? moved->header.frame_id : std::string()};
  };
  ASSERT_TRUE(frames.toDriveFrame(pose));
  auto route = pathThrough({planarPose(0, 0, 0), planarPose(2, 0, 0)});
  route.header.frame_id = "map";
  EXPECT_EQ(framesAfter(route), (std::pair<std::string, std::string>{"map", "map"}));

  auto refused = pathThrough({planarPose(0, 0, 0), planarPose(kNaN, 0, 0)});
  refused.header.frame_id = "odom";
  EXPECT_EQ(framesAfter(refused), (std::pair<std::string, std::string>{"map", "map"}));
  EXPECT_EQ(drive.status(now).pathRefusal, "pose 2 of 2: x = nan is not finite");

  auto repeated = route;  // the same numbers, named in odom
  repeated.header.frame_id = "odom";
  ASSERT_EQ(drive.receivePath(repeated), trelvo::PathReception::Unchanged);
  EXPECT_EQ(framesAfter(repeated), (std::pair<std::string, std::string>{"map", "map"}));
  EXPECT_EQ(drive.status(now).pathRefusal, "") << "a path accepted clears the refusal";
  EXPECT_EQ(capture.count("new route"), 1) << capture.text();

  auto elsewhere = pathThrough({planarPose(0, 0, 0), planarPose(0, 3, radians(90))});
  elsewhere.header.frame_id = "odom";
  EXPECT_EQ(framesAfter(elsewhere), (std::pair<std::string, std::string>{"odom", "odom"}));
}

// The same path twice before a cycle is one route, logged once; a path the frames refuse is told
// in the drive's status until a route is taken.
TEST(PathHandover, APathReceivedTwiceBeforeACycleIsLoggedOnce) {
  LogCapture capture;
  node::NodeLog log{""};
  node::DriveCycle drive(500ms, log);
  node::DriveFrames frames(500ms, log);
  auto now = Clock::now();
  auto pose = planarPose(0, 0, 0);
  pose.header.frame_id = "odom";
  ASSERT_TRUE(frames.toDriveFrame(pose));
  auto unjoined = pathThrough({planarPose(0, 0, 0), planarPose(2, 0, 0)});
  unjoined.header.frame_id = "map";
  frames.receivePath(unjoined, now);
  node::handOverPath(frames, drive, now + 500ms);
  EXPECT_EQ(drive.status(now).pathRefusal, "no transform from map to odom within 0.5 s");
  node::handOverPath(frames, drive, now + 600ms);
  EXPECT_EQ(drive.status(now).pathRefusal, "no transform from map to odom within 0.5 s")
      << "kept until a path is taken";

  const auto path = pathThrough({planarPose(0, 0, 0), planarPose(2, 0, 0)});
  frames.receivePath(path, now);
  frames.receivePath(path, now);
  node::handOverPath(frames, drive, now);
  drive.receivePose(pose, now);
  EXPECT_EQ(drive.cycle(now).progress.rfind("leg 1 of 1", 0), 0u);
  EXPECT_EQ(capture.count("new route"), 1) << capture.text();
  EXPECT_EQ(drive.status(now).pathRefusal, "");
}

// A stray writer of the pose topic sends (5, 5) for 3 s while the vehicle drives leg 1 of an L:
// not one command moves the vehicle, the leg under way stays, and once the stray writer is gone
// the vehicle drives on and ends leg 1 at its corner, not where a foreign pose said.
TEST(DriveCycle, ASecondPoseWriterStopsTheVehicleAndHoldsTheRouteUntilOneRemains) {
  LogCapture log;
  Drive d;
  d.drive.setPoseSource("/odom", false);
  d.drive.receivePath(
      pathThrough({planarPose(0, 0, 0), planarPose(3, 0, 0), planarPose(3, 3, radians(90))}));
  const auto cycle = [&d](bool stray) {
    d.drive.receivePose(d.vehicle.pose(), d.now, "own");
    if (stray) {
      d.drive.receivePose(planarPose(5, 5, 0), d.now, "stray");
    }
    d.outputs.push_back(d.drive.cycle(d.now));
    d.vehicle.apply(d.outputs.back().command, std::chrono::duration<double>(kPeriod).count());
    d.now += kPeriod;
    return d.outputs.back();
  };
  for (int i = 0; i < 30; ++i) {
    cycle(false);
  }
  ASSERT_EQ(d.drive.status(d.now).leg, 1u);
  const double strayFrom = d.vehicle.x;
  ASSERT_GT(strayFrom, 0.1);
  for (int i = 0; i < 60; ++i) {
    const auto output = cycle(true);
    EXPECT_FALSE(moving(output.command)) << i;
    EXPECT_EQ(output.progress, "stopped: two writers of the pose topic");
    const auto status = d.drive.status(d.now);
    EXPECT_EQ(status.leg, 1u);
    EXPECT_EQ(status.poseWriters, (std::vector<std::string>{"own", "stray"}));
  }
  EXPECT_NEAR(d.vehicle.x, strayFrom, 0.05);
  EXPECT_EQ(log.count("2 writers publish /odom (own, stray)"), 1) << log.text();
  EXPECT_EQ(log.count("reached"), 0) << log.text();

  // The stray writer's last pose leaves the window 1 s later: the vehicle drives on.
  int stopped = 0;
  while (!moving(cycle(false).command) && stopped < 100) {
    ++stopped;
  }
  EXPECT_LE(stopped, 1000ms / kPeriod + 1);
  EXPECT_GE(stopped, 1000ms / kPeriod - 1);
  EXPECT_TRUE(d.drive.status(d.now).poseWriters.empty());
  EXPECT_EQ(log.count("one writer of /odom remains (own)"), 1);
  for (int i = 0; i < 2000 && d.outputs.back().progress != "route finished"; ++i) {
    cycle(false);
  }
  ASSERT_EQ(d.outputs.back().progress, "route finished");
  const auto corner = log.text().find("leg 1 of 2 reached at (");
  ASSERT_NE(corner, std::string::npos) << log.text();
  EXPECT_GT(std::stod(log.text().substr(corner + 23)), 2.9) << log.text();
  EXPECT_LT(std::hypot(d.vehicle.x - 3, d.vehicle.y - 3), 0.1);
}

// A stray writer's one pose at the corner of leg 1, after which both writers fall silent: with a
// pose timeout longer than the writers' window, the newest pose is still fresh when the stray
// writer stops counting, but it is never the stray one, so leg 1 does not end on it.
TEST(DriveCycle, NoLegEndsOnAForeignPose) {
  LogCapture log;
  node::NodeLog nodeLog{""};
  node::DriveCycle drive(3s, nodeLog);
  drive.receivePath(
      pathThrough({planarPose(0, 0, 0), planarPose(3, 0, 0), planarPose(3, 3, radians(90))}));
  auto now = Clock::now();
  for (int i = 0; i <= 28; ++i, now += kPeriod) {
    drive.receivePose(planarPose(0.1 * i, 0, 0), now, "own");
    drive.cycle(now);
  }
  ASSERT_EQ(log.count("reached"), 0) << log.text();
  drive.receivePose(planarPose(3, 0, 0), now, "stray");
  for (int i = 0; i < 40; ++i, now += kPeriod) {
    // On the corner's pose the controller would turn for leg 2.
    EXPECT_NE(drive.cycle(now).progress, "leg 1 of 2: final turn") << i;
  }
  EXPECT_EQ(log.count("reached"), 0) << log.text();
  EXPECT_EQ(drive.status(now).leg, 1u);
}

// A writer counts as publishing until a full window has passed since its last pose.
TEST(PoseWriters, AWriterCountsForItsWindowAfterItsLastPose) {
  const auto start = Clock::now();
  struct Case {
    Clock::duration later;
    bool alone;
  };
  for (const Case& c : {Case{0ms, false}, Case{node::kPoseWriterWindow, false},
                        Case{node::kPoseWriterWindow + 1ns, true}}) {
    node::PoseWriters writers;
    EXPECT_TRUE(writers.receive("a", start));
    EXPECT_EQ(writers.receive("b", start + c.later), c.alone)
        << std::chrono::duration<double>(c.later).count();
    EXPECT_EQ(writers.publishing(start + c.later).size(), c.alone ? 1u : 2u);
  }
}

// Poses as often as the pose timeout or less often are told of once, with the measured period and
// what to do; a source a little faster than the timeout is not.
TEST(DriveCycle, PosesNoFasterThanThePoseTimeoutAreToldOnceWithAdvice) {
  struct Case {
    Clock::duration period;
    bool fromTf;
    int told;
    const char* advice;
  };
  for (const Case& c : {Case{500ms, false, 1, "--pose-from-tf map base_link"},
                        Case{1000ms, false, 1, "every 1.00 s"}, Case{450ms, false, 0, ""},
                        Case{600ms, true, 1, "publish the transforms faster"}}) {
    SCOPED_TRACE(std::chrono::duration<double>(c.period).count());
    LogCapture log;
    node::NodeLog nodeLog{""};
    node::DriveCycle drive(500ms, nodeLog);
    drive.setPoseSource(c.fromTf ? "TF map -> base_link" : "/amcl_pose", c.fromTf);
    auto now = Clock::now();
    for (int pose = 0; pose < 20; ++pose, now += c.period) {
      drive.receivePose(planarPose(0, 0, 0), now);
      drive.receivePose(planarPose(0, 0, 0), now);  // two in one cycle count as one arrival
      drive.cycle(now);
    }
    EXPECT_EQ(log.count("no faster than the pose timeout of 0.5 s"), c.told) << log.text();
    if (c.told > 0) {
      EXPECT_EQ(log.count(c.advice), 1) << log.text();
    }
    if (c.fromTf) {
      EXPECT_EQ(log.count("--pose-from-tf"), 0);
    }
  }
}

geometry_msgs::msg::TransformStamped transformAt(const std::string& parent,
                                                 const std::string& child, double x,
                                                 int32_t seconds) {
  geometry_msgs::msg::TransformStamped transform;
  transform.header.frame_id = parent;
  transform.header.stamp.sec = seconds;
  transform.child_frame_id = child;
  transform.transform.translation.x = x;
  return transform;
}

tf2_msgs::msg::TFMessage transforms(std::vector<geometry_msgs::msg::TransformStamped> list) {
  tf2_msgs::msg::TFMessage message;
  message.transforms = std::move(list);
  return message;
}

// Transforms stamped 1000 to 1002 s, each giving the pose at x = 1 + the stamp: a robot driving
// before its simulator is reset.
void driveUntilTheReset(node::DriveFrames& frames, Clock::time_point now) {
  for (int32_t t = 1000; t <= 1002; ++t) {
    frames.addTransforms(
        transforms({transformAt("map", "odom", 1, t), transformAt("odom", "base_link", t, t)}),
        false, now);
    const auto pose = frames.poseFromTf();
    ASSERT_TRUE(pose);
    EXPECT_DOUBLE_EQ(pose->pose.position.x, 1 + t);
  }
}

// The robot's pose from TF map -> odom -> base_link. After a simulator reset its transforms come
// stamped 100 s earlier: tf2 alone would refuse them as old data for good. Whether the clock says
// so first (transforms sent before the reset still arriving after it) or the stamps do, there is
// one line, and the pose flows again in the cycle the new transforms arrive.
TEST(DriveFrames, TimeGoingBackClearsTheTransformsAndPosesFlowAgainAtOnce) {
  for (const bool clockFirst : {false, true}) {
    SCOPED_TRACE(clockFirst);
    LogCapture capture;
    node::NodeLog log{""};
    node::DriveFrames frames(500ms, log, {"map", "base_link"});
    const auto now = Clock::now();
    ASSERT_NO_FATAL_FAILURE(driveUntilTheReset(frames, now));
    if (clockFirst) {
      frames.clockJumpedBack(100.0, now);
      // Sent before the reset, taken after the clock's.
      frames.addTransforms(transforms({transformAt("map", "odom", 1, 1003),
                                       transformAt("odom", "base_link", 1003, 1003)}),
                           false, now + 50ms);
    }
    frames.addTransforms(
        transforms({transformAt("map", "odom", 1, 902), transformAt("odom", "base_link", 2, 902)}),
        false, now + 100ms);
    const auto pose = frames.poseFromTf();
    ASSERT_TRUE(pose);
    EXPECT_DOUBLE_EQ(pose->pose.position.x, 3);
    EXPECT_EQ(pose->header.stamp.sec, 902);
    EXPECT_EQ(capture.count("the transforms are cleared"), 1) << capture.text();
    EXPECT_EQ(capture.count(clockFirst ? "the clock went back 100.0 s"
                                       : "a transform's stamp went back 100.0 s"),
              1)
        << capture.text();
    EXPECT_EQ(capture.count("refused"), 0) << capture.text();
  }
}

// A simulator reset of half a second: /clock goes back 0.5 s and the transforms come stamped
// 0.5 s before the newest. Too little for the stamps alone to tell a jump back from a late
// message; the clock's jump clears the transforms, and the new ones give the pose at once.
TEST(DriveFrames, AfterTheClockWentBackHalfASecondTheNewTransformsAreUsedAtOnce) {
  LogCapture capture;
  node::NodeLog log{""};
  node::DriveFrames frames(500ms, log, {"map", "base_link"});
  const auto now = Clock::now();
  ASSERT_NO_FATAL_FAILURE(driveUntilTheReset(frames, now));
  frames.clockJumpedBack(0.5, now);
  auto odom = transformAt("map", "odom", 1, 1001);
  auto base = transformAt("odom", "base_link", 5, 1001);
  odom.header.stamp.nanosec = base.header.stamp.nanosec = 500000000;
  frames.addTransforms(transforms({odom, base}), false, now + 50ms);
  const auto pose = frames.poseFromTf();
  ASSERT_TRUE(pose);
  EXPECT_DOUBLE_EQ(pose->pose.position.x, 6);
  EXPECT_EQ(pose->header.stamp.sec, 1001);
  EXPECT_EQ(pose->header.stamp.nanosec, 500000000u);
  EXPECT_EQ(capture.count("the clock went back 0.5 s: the transforms are cleared"), 1)
      << capture.text();
  EXPECT_EQ(capture.count("refused"), 0) << capture.text();
}

// After the clock's jump back, transforms sent before it may still arrive for a second: their
// stamps' own jump back clears the transforms again without a line. A stamp that jumps back later
// than that is a jump of its own, told in its own line.
TEST(DriveFrames, AStampJumpMoreThanASecondAfterTheClocksIsToldOnItsOwn) {
  struct Case {
    Clock::duration afterClock;
    int stampLines;
  };
  for (const Case& c : {Case{1000ms, 0}, Case{1001ms, 1}, Case{1500ms, 1}}) {
    SCOPED_TRACE(std::chrono::duration<double>(c.afterClock).count());
    LogCapture capture;
    node::NodeLog log{""};
    node::DriveFrames frames(500ms, log, {"map", "base_link"});
    const auto now = Clock::now();
    frames.addTransforms(transforms({transformAt("map", "odom", 1, 1000),
                                     transformAt("odom", "base_link", 1000, 1000)}),
                         false, now);
    frames.clockJumpedBack(100.0, now);
    frames.addTransforms(transforms({transformAt("map", "odom", 1, 1001),
                                     transformAt("odom", "base_link", 1001, 1001)}),
                         false, now + 50ms);
    frames.addTransforms(
        transforms({transformAt("map", "odom", 1, 901), transformAt("odom", "base_link", 2, 901)}),
        false, now + c.afterClock);
    const auto pose = frames.poseFromTf();
    ASSERT_TRUE(pose);
    EXPECT_DOUBLE_EQ(pose->pose.position.x, 3);
    EXPECT_EQ(capture.count("the clock went back 100.0 s"), 1) << capture.text();
    EXPECT_EQ(capture.count("a transform's stamp went back 100.0 s: the transforms are cleared"),
              c.stampLines)
        << capture.text();
  }
}

// A transform stamped a little before the newest (a late message) is no jump back in time.
TEST(DriveFrames, ALateTransformWithinASecondClearsNothing) {
  LogCapture capture;
  node::NodeLog log{""};
  node::DriveFrames frames(500ms, log, {"odom", "base_link"});
  frames.addTransforms(transforms({transformAt("odom", "base_link", 1, 1000)}), false,
                       Clock::now());
  ASSERT_TRUE(frames.poseFromTf());
  auto late = transformAt("odom", "base_link", 0.5, 999);
  late.header.stamp.nanosec = 1;
  frames.addTransforms(transforms({late}), false, Clock::now());
  EXPECT_FALSE(frames.poseFromTf());  // nothing newer than the pose handed out
  EXPECT_EQ(capture.count("cleared"), 0);
}

// Poses in odom for a route in map: the link from odom to map is lost (odom hung under another
// parent), rejoined and lost again. Each loss is told once; none while it lasts.
TEST(DriveFrames, ALostRejoinedAndLostLinkWarnsTwice) {
  LogCapture capture;
  node::NodeLog log{""};
  node::DriveFrames frames(500ms, log);
  const auto now = Clock::now();
  frames.addTransforms(transforms({transformAt("map", "odom", 1, 1000)}), false, now);
  auto path = pathThrough({planarPose(0, 0, 0), planarPose(2, 0, 0)});
  path.header.frame_id = "map";
  frames.receivePath(path, now);
  const auto ready = frames.readyPath(now);
  ASSERT_TRUE(ready);
  frames.routeTaken(*ready);
  auto pose = planarPose(0, 0, 0);
  pose.header.frame_id = "odom";
  const std::string lost = "no transform from odom to map";
  struct Step {
    const char* parent;
    bool joined;
    int told;
  };
  int32_t t = 1001;
  for (const Step& step :
       {Step{"map", true, 0}, Step{"earth", false, 1}, Step{"earth", false, 1},
        Step{"map", true, 1}, Step{"earth", false, 2}, Step{"earth", false, 2}}) {
    SCOPED_TRACE(step.parent);
    frames.addTransforms(transforms({transformAt(step.parent, "odom", 1, t++)}), false, now);
    const auto moved = frames.toDriveFrame(pose);
    EXPECT_EQ(moved.has_value(), step.joined);
    if (moved) {
      EXPECT_DOUBLE_EQ(moved->pose.position.x, 1);
    }
    EXPECT_EQ(capture.count(lost), step.told) << capture.text();
  }
}

// A route in map on poses in odom: the localisation's map -> odom is told of once it has not
// arrived for ten transform timeouts, a static one never, and nothing when no frames are crossed.
TEST(DriveFrames, ALocalisationThatStopsIsToldAfterTenTransformTimeouts) {
  struct Case {
    const char* pathFrame;
    bool isStatic;
    Clock::duration silence;
    bool told;
  };
  for (const Case& c : {Case{"map", false, 5000ms, false}, Case{"map", false, 5001ms, true},
                        Case{"map", true, 60s, false}, Case{"odom", false, 60s, false}}) {
    SCOPED_TRACE(std::string(c.pathFrame) + (c.isStatic ? " static " : " moving ") +
                 std::to_string(std::chrono::duration<double>(c.silence).count()));
    node::NodeLog log{""};
    node::DriveFrames frames(500ms, log);
    const auto now = Clock::now();
    frames.addTransforms(transforms({transformAt("map", "odom", 1, 1000)}), c.isStatic, now);
    frames.addTransforms(transforms({transformAt("odom", "base_link", 0, 1000)}), false,
                         now + c.silence);
    auto pose = planarPose(0, 0, 0);
    pose.header.frame_id = "odom";
    ASSERT_TRUE(frames.toDriveFrame(pose));
    auto path = pathThrough({planarPose(0, 0, 0), planarPose(2, 0, 0)});
    path.header.frame_id = c.pathFrame;
    frames.receivePath(path, now);
    const auto ready = frames.readyPath(now);
    ASSERT_TRUE(ready);
    frames.routeTaken(*ready);
    ASSERT_TRUE(frames.toDriveFrame(pose));
    const auto silent = frames.silentLocalisation(now + c.silence);
    EXPECT_EQ(silent.has_value(), c.told);
    if (silent) {
      EXPECT_NE(silent->find("map -> odom has not arrived for 5.0 s"), std::string::npos)
          << *silent;
    }
  }
}

// With the pose from TF, the chain map -> odom -> base_link is watched: the odometry link arrives,
// the localisation's does not.
TEST(DriveFrames, APoseFromTfWatchesTheLocalisationLinkOfItsChain) {
  node::NodeLog log{""};
  node::DriveFrames frames(500ms, log, {"map", "base_link"});
  const auto now = Clock::now();
  frames.addTransforms(transforms({transformAt("map", "odom", 1, 1000)}), false, now);
  frames.addTransforms(transforms({transformAt("odom", "base_link", 0, 1010)}), false, now + 10s);
  const auto silent = frames.silentLocalisation(now + 10s);
  ASSERT_TRUE(silent);
  EXPECT_NE(silent->find("map -> odom"), std::string::npos) << *silent;
  frames.addTransforms(transforms({transformAt("map", "odom", 1, 1010)}), false, now + 10s);
  EXPECT_FALSE(frames.silentLocalisation(now + 10s));
}

}  // namespace
