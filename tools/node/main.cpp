// trelvo-node: drives a vehicle along the paths a planner publishes, on a ROS 2 network.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>

#include <fmt/format.h>

#include "common/real_time.hpp"
#include "node/cycle_loop.hpp"
#include "node/drive/drive_cycle.hpp"
#include "node/node_options.hpp"
#include "node/node_topics.hpp"

namespace {

// The stop is delivered this long at most before the process exits regardless.
constexpr std::chrono::seconds kStopDeliveryLimit{2};

constexpr int kExitBadInput = 2;
constexpr int kExitFailure = 3;

// As the host of the library's logger the node logs to the console at level info unless the user
// chose otherwise (SPDLOG_SYSTEMD=true sends the lines to the journal as well).
void chooseLogging() {
  setenv("SPDLOG_STDOUT", "true", 0);
  setenv("SPDLOG_SYSTEMD", "false", 0);
  setenv("SPDLOG_LEVEL", "info", 0);
}

int drive(const node::NodeOptions& options, const std::atomic<bool>& stop) {
  node::NodeTopics topics(options);
  node::DriveCycle drive(std::chrono::duration_cast<node::Clock::duration>(
      std::chrono::duration<double>(options.poseTimeout)));
  const auto period = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::duration<double>(1.0 / options.rate));
  {
    node::CycleLoop loop(topics, drive, period, options.latencyLog);
    loop.run(stop);
  }
  // The vehicle must not drive on under the last command: a stop, delivered before leaving.
  topics.publishCommand(geometry_msgs::msg::Twist{});
  if (!topics.waitForCommandsAcknowledged(kStopDeliveryLimit)) {
    fmt::print(stderr, "trelvo-node: the stop command was not acknowledged within {} s\n",
               kStopDeliveryLimit.count());
  }
  return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::atomic<bool>& stop = common::stopOnSignals();
    const auto options = node::parseNodeOptions(argc, argv);
    if (!options) {
      return EXIT_SUCCESS;
    }
    chooseLogging();
    return drive(*options, stop);
  } catch (const std::invalid_argument& error) {
    fmt::print(stderr, "trelvo-node: {}\n", error.what());
    return kExitBadInput;
  } catch (const std::exception& error) {
    fmt::print(stderr, "trelvo-node: {}\n", error.what());
    return kExitFailure;
  }
}
