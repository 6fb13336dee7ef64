// trelvo-sim --dds as a vehicle driver on a ROS 2 network, seen from a host on loopback: commands
// on cmd_vel move the odometry on odom in real time, a silent host stops the vehicle, SIGTERM
// ends the program cleanly, and a route's time limit is wall time.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "background_process.hpp"
#include "dds_loopback.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::uint32_t kDomain = dds_loopback::freeDomain();
constexpr double kSpeed = 0.2;                  // m/s, the host's command
constexpr auto kDriving = 1s;                   // how long the host sends it
constexpr auto kCommandInterval = 50ms;         // as a 20 Hz host sends
constexpr double kCommandTimeoutSeconds = 0.5;  // the vehicle's: then it stands
constexpr double kDistanceTolerance = 0.03;     // m: a few odometry steps and the delivery delay

class Odometry {
 public:
  explicit Odometry(const wire::Participant& host)
      : subscription_(host, "rt/odom", wire::poseSourceQos().get()) {}

  bool matched() const { return subscription_.matchedPublications() > 0; }
  // The newest message, after taking all that arrived.
  const std::optional<nav_msgs::msg::Odometry>& latest() {
    for (auto& message : subscription_.take()) {
      latest_ = std::move(message);
    }
    return latest_;
  }

 private:
  wire::Subscription<nav_msgs::msg::Odometry> subscription_;
  std::optional<nav_msgs::msg::Odometry> latest_;
};

void expectWellFormed(const nav_msgs::msg::Odometry& odometry) {
  EXPECT_EQ(odometry.header.frame_id, "odom");
  EXPECT_EQ(odometry.child_frame_id, "base_link");
  const auto& p = odometry.pose.pose;
  for (const double value : {p.position.x, p.position.y, p.orientation.z, p.orientation.w,
                             odometry.twist.twist.linear.x, odometry.twist.twist.angular.z}) {
    EXPECT_TRUE(std::isfinite(value));
  }
  EXPECT_GT(odometry.header.stamp.sec, 0);  // wall time, not time since start
}

TEST(SimDdsVehicle, DrivesUnderCommandsStopsAfterTheirTimeoutAndEndsOnSigterm) {
  dds_loopback::useLoopbackOnly();
  const std::string log = (std::filesystem::temp_directory_path() /
                           ("trelvo-sim-dds-" + std::to_string(getpid()) + ".log"))
                              .string();
  BackgroundProcess sim({TRELVO_SIM_PROGRAM, "--dds", "--domain", std::to_string(kDomain)},
                        {std::string("CYCLONEDDS_URI=") + dds_loopback::kConfig}, log);
  wire::Participant host(kDomain);
  wire::Publisher<geometry_msgs::msg::Twist> command(host, "rt/cmd_vel", wire::commandQos().get());
  Odometry odometry(host);
  ASSERT_TRUE(dds_loopback::eventually([&] {
    return command.matchedSubscriptions() == 1 && odometry.matched() && odometry.latest();
  })) << sim.output();
  EXPECT_NEAR(odometry.latest()->pose.pose.position.x, 0.0, 1e-9);

  geometry_msgs::msg::Twist forward;
  forward.linear.x = kSpeed;
  const auto started = Clock::now();
  auto sent = started;
  for (;;) {
    command.publish(forward);
    sent = Clock::now();
    if (sent - started >= kDriving) {
      break;
    }
    std::this_thread::sleep_for(kCommandInterval);
  }
  ASSERT_TRUE(command.waitForAcknowledgement(1s));
  // The last command is still in force: the vehicle has driven ever since the first arrived.
  const nav_msgs::msg::Odometry driving = *odometry.latest();
  const double drivenSoFar = std::chrono::duration<double>(Clock::now() - started).count();
  const double sending = std::chrono::duration<double>(sent - started).count();
  expectWellFormed(driving);
  EXPECT_DOUBLE_EQ(driving.twist.twist.linear.x, kSpeed);
  EXPECT_NEAR(driving.pose.pose.position.x, kSpeed * drivenSoFar, kDistanceTolerance);

  // The host falls silent: the last command drives on until it times out, then the vehicle stands.
  std::this_thread::sleep_for(std::chrono::duration<double>(kCommandTimeoutSeconds) + 200ms);
  const nav_msgs::msg::Odometry stopped = *odometry.latest();
  expectWellFormed(stopped);
  EXPECT_EQ(stopped.twist.twist.linear.x, 0.0);
  EXPECT_NEAR(stopped.pose.pose.position.x, kSpeed * (sending + kCommandTimeoutSeconds),
              kDistanceTolerance);
  EXPECT_NEAR(stopped.pose.pose.position.y, 0.0, 1e-9);

  sim.signal(SIGTERM);
  const std::optional<int> status = sim.exitWithin(2s);
  ASSERT_TRUE(status.has_value()) << sim.output();
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << sim.output();
}

TEST(SimDdsVehicle, RouteTimeLimitIsWallTimeAndEndsTheRouteWithStatusOne) {
  dds_loopback::useLoopbackOnly();
  const auto logFor = [](const char* name) {
    return (std::filesystem::temp_directory_path() /
            ("trelvo-sim-dds-" + std::to_string(getpid()) + "-" + name + ".log"))
        .string();
  };
  const std::vector<std::string> environment = {std::string("CYCLONEDDS_URI=") +
                                                dds_loopback::kConfig};
  // Nobody drives the vehicle: the route ends at its time limit, in wall time.
  const int kShortDomain = dds_loopback::freeDomain();
  const auto started = Clock::now();
  BackgroundProcess shortLimit(
      {TRELVO_SIM_PROGRAM, "--dds", "--domain", std::to_string(kShortDomain), "--waypoints",
       "0,0,0", "1,0,0", "--time-limit", "1"},
      environment, logFor("short"));
  const std::optional<int> status = shortLimit.exitWithin(5s);
  ASSERT_TRUE(status.has_value()) << shortLimit.output();
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << shortLimit.output();
  EXPECT_GE(Clock::now() - started, 1s);

  // A time limit longer than any closed-loop run may take is no reason to refuse one on DDS,
  // which counts no control periods.
  const int kLongDomain = dds_loopback::freeDomain();
  BackgroundProcess longLimit({TRELVO_SIM_PROGRAM, "--dds", "--domain", std::to_string(kLongDomain),
                               "--waypoints", "0,0,0", "1,0,0", "--time-limit", "100000"},
                              environment, logFor("long"));
  EXPECT_FALSE(longLimit.exitWithin(1s).has_value()) << longLimit.output();
  longLimit.signal(SIGTERM);
  const std::optional<int> stopped = longLimit.exitWithin(2s);
  ASSERT_TRUE(stopped.has_value()) << longLimit.output();
  EXPECT_TRUE(WIFEXITED(*stopped) && WEXITSTATUS(*stopped) == 0) << longLimit.output();
}

}  // namespace
