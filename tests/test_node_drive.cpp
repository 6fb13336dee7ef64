// The node's control cycle without middleware: stale poses stop the vehicle and keep the route,
// and what the node logs comes once per occasion, not once per cycle.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

#include <spdlog/sinks/ostream_sink.h>

#include "controller_fixtures.hpp"
#include "node/drive/drive_cycle.hpp"
#include "trelvo/logger.hpp"

namespace {

using namespace std::chrono_literals;
using node::Clock;
using trelvo_test::planarPose;

nav_msgs::msg::Path pathThrough(std::initializer_list<geometry_msgs::msg::PoseStamped> poses) {
  nav_msgs::msg::Path path;
  path.poses = poses;
  return path;
}

bool moving(const geometry_msgs::msg::Twist& cmd) {
  return cmd.linear.x != 0.0 || cmd.angular.z != 0.0;
}

// Everything the process-wide logger writes from now on, as text.
class LogCapture {
 public:
  LogCapture() : sink_(std::make_shared<spdlog::sinks::ostream_sink_st>(text_)) {
    tovrek::Logger::Instance("spdlog").getLogger()->sinks().push_back(sink_);
  }
  ~LogCapture() { tovrek::Logger::Instance("spdlog").getLogger()->sinks().pop_back(); }
  int count(const std::string& phrase) const {
    int found = 0;
    const std::string all = text_.str();
    for (auto at = all.find(phrase); at != std::string::npos; at = all.find(phrase, at + 1)) {
      ++found;
    }
    return found;
  }

 private:
  std::ostringstream text_;
  std::shared_ptr<spdlog::sinks::ostream_sink_st> sink_;
};

TEST(DriveCycle, StalePoseStopsTheVehicleKeepsTheRouteAndLogsOnce) {
  LogCapture log;
  node::DriveCycle drive(500ms);
  const auto start = Clock::now();
  // Facing away from the goal: the first turn commands a turn at once.
  drive.receivePath(pathThrough({planarPose(0, 0, 0), planarPose(-2, 0, 0)}));
  auto now = start;
  bool drove = false;
  for (int cycle = 0; cycle < 10; ++cycle, now += 50ms) {
    drive.receivePose(planarPose(0, 0, 0), now);
    drove = drove || moving(drive.cycle(now).command);
  }
  ASSERT_TRUE(drove);

  // No pose for longer than the timeout: a zero command every cycle, one log line.
  const auto lastPose = now - 50ms;
  for (; now - lastPose <= 2s; now += 50ms) {
    const auto output = drive.cycle(now);
    if (now - lastPose > 500ms) {
      EXPECT_FALSE(moving(output.command));
      EXPECT_EQ(output.progress, "stopped: no fresh pose");
    }
  }
  EXPECT_EQ(log.count("no fresh pose"), 1);

  // Fresh poses again: the same route drives on.
  drove = false;
  for (int cycle = 0; cycle < 5; ++cycle, now += 50ms) {
    drive.receivePose(planarPose(0, 0, 0), now);
    const auto output = drive.cycle(now);
    drove = drove || moving(output.command);
    EXPECT_EQ(output.progress.rfind("leg 1 of 1", 0), 0u) << output.progress;
  }
  EXPECT_TRUE(drove);
  EXPECT_EQ(log.count("driving on"), 1);
}

TEST(DriveCycle, RefusalsAreLoggedOncePerOccasionAndNeverDrive) {
  LogCapture log;
  node::DriveCycle drive(500ms);
  auto now = Clock::now();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  drive.receivePath(pathThrough({planarPose(0, 0, 0), planarPose(nan, 1, 0)}));
  for (int cycle = 0; cycle < 20; ++cycle, now += 50ms) {
    drive.receivePose(planarPose(nan, 0, 0), now);
    const auto output = drive.cycle(now);
    EXPECT_FALSE(moving(output.command));
  }
  EXPECT_EQ(log.count("path of 2 poses refused"), 1);
  EXPECT_EQ(log.count("a pose refused"), 1);
  EXPECT_EQ(log.count("no fresh pose"), 1);
}

}  // namespace
