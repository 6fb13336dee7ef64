// trelvo-sim --dds: the simulated vehicle alone on a ROS 2 network, in real time. Each step takes
// the real time elapsed since the one before, drives the vehicle on under the command in force
// over it, takes the newest command that arrived, and publishes odometry. Steps follow absolute
// deadlines on the steady clock, so that the rate does not drift with the time a step takes.

#include <atomic>
#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>

#include <fmt/format.h>

#include "common/real_time.hpp"
#include "sim/cli/exit_codes.hpp"
#include "sim/modes/modes.hpp"
#include "sim/modes/route_watch.hpp"
#include "sim/modes/vehicle_topics.hpp"
#include "sim/output/report.hpp"
#include "sim/run/live_vehicle.hpp"
#include "wire/topic_names.hpp"

namespace sim {
namespace {

using Clock = LiveVehicle::Clock;

// Without --start and --waypoints the vehicle starts at the origin of odom, facing +x.
constexpr common::Pose2D kOdometryOrigin{0.0, 0.0, 0.0};

// The next step's deadline; a step that overran by a whole period (the process was stopped, or
// starved) starts the schedule afresh instead of catching up with a burst of steps.
Clock::time_point nextDeadline(Clock::time_point deadline, Clock::duration period,
                               Clock::time_point now) {
  deadline += period;
  return deadline + period < now ? now + period : deadline;
}

// Where the vehicle starts: --start, else where its route starts, else the origin.
common::Pose2D vehicleStart(const Options& options) {
  if (options.dds->startGiven) {
    return options.scenario.start;
  }
  const auto& route = options.scenario.waypoints;
  return route.empty() ? kOdometryOrigin : route.front();
}

// The ROS 2 name of a topic, as ros2 topic list shows it: /robot1/cmd_vel.
std::string rosTopic(const DdsSettings& dds, const char* name) {
  constexpr std::size_t kRosTopicPrefixLength = 2;  // "rt"
  return wire::ddsTopicName(dds.nameSpace, name).substr(kRosTopicPrefixLength);
}

void printHeader(const Options& options, const common::Pose2D& start) {
  const DdsSettings& dds = *options.dds;
  fmt::print("trelvo-sim: {} vehicle on DDS domain {}, {} ({}) in, {} out at {} Hz\n",
             vehicleName(options.run.vehicle.kind), dds.domain, rosTopic(dds, "cmd_vel"),
             dds.stamped ? "TwistStamped" : "Twist", rosTopic(dds, "odom"), dds.odometryRate);
  fmt::print(
      "start ({:.3f}, {:.3f}) heading {:.1f} deg; a command older than {} s counts as zero\n",
      start.x, start.y, common::toDegrees(start.heading),
      std::chrono::duration<double>(kCommandTimeout).count());
  std::fflush(stdout);
}

void takeCommand(VehicleTopics& topics, LiveVehicle& vehicle, Clock::time_point now) {
  const auto command = topics.takeNewestCommand();
  if (!command) {
    return;
  }
  const double v = command->linear.x;
  const double w = command->angular.z;
  // A command that is not a number stops the vehicle.
  const bool finite = std::isfinite(v) && std::isfinite(w);
  vehicle.receiveCommand(finite ? v : 0.0, finite ? w : 0.0, now);
}

int drive(const Options& options) {
  const DdsSettings& dds = *options.dds;
  const std::atomic<bool>& stopRequested = common::stopOnSignals();
  const common::Pose2D start = vehicleStart(options);
  printHeader(options, start);
  VehicleTopics topics(dds);
  const Clock::time_point started = Clock::now();
  LiveVehicle vehicle(options.run.vehicle, start, options.scenario.noiseSeed, started);
  std::optional<RouteWatch> route;
  if (!options.scenario.waypoints.empty()) {
    route.emplace(options.scenario.waypoints, options.run, started, stdout);
  }
  const auto period = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(1.0 / dds.odometryRate));
  const auto duration =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(dds.duration));
  Clock::time_point deadline = started;
  while (!stopRequested) {
    const Clock::time_point now = Clock::now();
    vehicle.step(now);
    takeCommand(topics, vehicle, now);
    common::Vehicle& model = vehicle.vehicle();
    const VehicleReport report{model.measuredPose(), model.appliedV(), model.appliedW()};
    topics.publishOdometry(odometryMessage(report, options.run.vehicle));
    if (route) {
      if (const auto status = route->check(topics, vehicle, now)) {
        return *status;
      }
    }
    if (dds.duration > 0.0 && now - started >= duration) {
      break;
    }
    deadline = nextDeadline(deadline, period, now);
    common::sleepUntil(deadline);
  }
  fmt::print("stopped after {:.2f} s\n",
             std::chrono::duration<double>(Clock::now() - started).count());
  return kExitSuccess;
}

}  // namespace

int runDdsVehicle(const Options& options) {
  try {
    return drive(options);
  } catch (const std::runtime_error& error) {
    std::fflush(stdout);
    fmt::print(stderr, "trelvo-sim: {}\n", error.what());
    return kExitOutputError;
  }
}

}  // namespace sim
