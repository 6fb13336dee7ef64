// trelvo-node: drives a vehicle along the paths a planner publishes, on a ROS 2 network.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "common/real_time.hpp"
#include "node/cycle_loop.hpp"
#include "node/drive/drive_cycle.hpp"
#include "node/drive/node_log.hpp"
#include "node/exit_codes.hpp"
#include "node/managed_node.hpp"
#include "node/node_options.hpp"
#include "node/node_topics.hpp"
#include "node/obstacles/footprint_text.hpp"
#include "node/obstacles/obstacle_guard.hpp"
#include "node/obstacles/scan_topics.hpp"
#include "node/ros_args/ros_names.hpp"
#include "node/speed_limit_topic.hpp"
#include "wire/service_factory.hpp"

namespace {

// The stop is waited for this long at most: on a live network it is acknowledged within
// milliseconds. Cyclone DDS then lingers up to a second more (its WriterLingerDuration) on
// deleting a writer whose samples a reader has not acknowledged, so that the node exits within
// 2 s of the signal whatever the vehicle does.
constexpr std::chrono::milliseconds kStopDeliveryLimit{600};

// As the host of the library's logger the node logs to the console at level info unless the user
// chose otherwise (SPDLOG_SYSTEMD=true sends the lines to the journal as well).
void chooseLogging() {
  setenv("SPDLOG_STDOUT", "true", 0);
  setenv("SPDLOG_SYSTEMD", "false", 0);
  setenv("SPDLOG_LEVEL", "info", 0);
}

std::string rampText(const node::RampLimits& ramp) {
  if (!ramp.any()) {
    return "no command ramps";
  }
  const auto limit = [](double value, const char* unit) {
    return value > 0.0 ? fmt::format("{} {}", value, unit) : std::string("off");
  };
  return fmt::format("command ramps: accel {}, decel {}, turn {} (stops stay immediate)",
                     limit(ramp.maxAccel, "m/s2"), limit(ramp.maxDecel, "m/s2"),
                     limit(ramp.maxTurnAccel, "rad/s2"));
}

void logStart(node::NodeLog& log, const node::NodeOptions& options, const node::NodeTopics& topics,
              const wire::ServiceFactory& services, const node::SpeedLimitTopic& speedLimit,
              const node::ScanTopics& scans, const std::optional<node::ManagedNode>& managed) {
  const char* servicesOn =
      services.middleware() == wire::ServiceMiddleware::FastDds ? ", its services on Fast DDS" : "";
  const std::string managedText =
      managed ? fmt::format("; a managed node, unconfigured until configured and activated{}: {}",
                            servicesOn, managed->describe())
              : std::string();
  log.info(
      "trelvo-node {} started on DDS domain {}, namespace {}: {} Hz, poses from {} stop the "
      "vehicle when older than {} s, {}; {}{}",
      TRELVO_VERSION, options.domain, node::absoluteNamespace(options.nameSpace), options.rate,
      topics.poseTopic(), options.poseTimeout, rampText(options.ramp),
      topics.describe() + ", " + speedLimit.describe() +
          (options.obstacles.scanTopics.empty() ? std::string() : ", " + scans.describe()),
      managedText);
}

node::ObstacleSettings obstacleSettings(const node::ObstacleOptions& options,
                                        std::vector<std::string> sources) {
  node::ObstacleSettings settings;
  if (!options.footprint.empty()) {
    settings.footprint = node::parseFootprint(options.footprint);
  }
  settings.footprint.radius = options.robotRadius;
  settings.sources = std::move(sources);
  settings.sourceTimeout = std::chrono::duration_cast<node::Clock::duration>(
      std::chrono::duration<double>(options.sourceTimeout));
  settings.blockedTimeout = std::chrono::duration_cast<node::Clock::duration>(
      std::chrono::duration<double>(options.blockedTimeout));
  return settings;
}

// The vehicle must not drive on under the last command: a stop, delivered before leaving. True
// when every reader of the command topic acknowledged it.
bool deliverStop(node::NodeLog& log, node::NodeTopics& topics) {
  log.info("{}: stopping the vehicle", common::stopSignalName());
  const auto sent = std::chrono::steady_clock::now();
  topics.publishCommand(geometry_msgs::msg::Twist{});
  const std::uint32_t readers = topics.commandReaders();
  if (!topics.waitForCommandsAcknowledged(kStopDeliveryLimit)) {
    log.warn(
        "the stop was not acknowledged within {} ms by every one of the {} readers of the "
        "command topic: the vehicle may still be moving",
        kStopDeliveryLimit.count(), readers);
    return false;
  }
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - sent;
  if (readers == 0) {
    log.info("no reader of the command topic to deliver the stop to");
    return true;
  }
  log.info("the stop reached {} reader{} of the command topic in {:.0f} ms", readers,
           readers == 1 ? "" : "s", took.count());
  return true;
}

// The control cycle runs in this thread. The middleware's own threads, started with the
// participant before this, keep the normal scheduler: only the cycle is raised.
void raiseControlCycle(node::NodeLog& log, int priority) {
  if (priority == 0) {
    return;
  }
  if (const auto refusal = common::useRealtimeScheduling(priority)) {
    log.warn("--realtime-priority {}: {}: the control cycle runs under the normal scheduler",
             priority, *refusal);
    return;
  }
  log.info("the control cycle runs under SCHED_FIFO at priority {}", priority);
}

int drive(const node::NodeOptions& options, const std::atomic<bool>& stop) {
  node::NodeLog log(options.nameSpace, options.nodeName);
  bool stopAcknowledged = false;
  {
    node::NodeTopics topics(options);
    const wire::ServiceFactory services(topics.participant());
    node::SpeedLimitTopic speedLimit(topics.participant(), options, log);
    std::vector<std::string> scanTopics;
    for (const auto& topic : options.obstacles.scanTopics) {
      scanTopics.push_back(options.topic(topic));
    }
    node::ScanTopics scans(topics.participant(), options.nameSpace, scanTopics, options.rosDistro,
                           log);
    auto announced = speedLimit.endpoints();
    const auto scanReaders = scans.endpoints();
    announced.insert(announced.end(), scanReaders.begin(), scanReaders.end());
    topics.announce(announced);
    std::optional<node::ManagedNode> managed;
    if (options.lifecycle) {
      managed.emplace(topics, services, options, log);
    }
    logStart(log, options, topics, services, speedLimit, scans, managed);
    if (options.lifecycle && options.planTopicGiven) {
      log.warn(
          "--plan-topic {0}: this managed node drives paths published on {0} as well as goals, "
          "with or without a goal; Nav2's planner server publishes every plan it computes on "
          "plan for display, so a plan there moves the vehicle",
          options.planTopic);
    }
    if (options.rosNotice) {
      log.info("{}", *options.rosNotice);
    }
    node::DriveCycle drive(std::chrono::duration_cast<node::Clock::duration>(
                               std::chrono::duration<double>(options.poseTimeout)),
                           log, options.ramp,
                           {options.requiredMovementRadius,
                            std::chrono::duration_cast<node::Clock::duration>(
                                std::chrono::duration<double>(options.movementTimeAllowance))});
    drive.setPoseSource(topics.poseTopic(), !options.poseFromTf.empty());
    node::ObstacleGuard obstacles(obstacleSettings(options.obstacles, scans.names()), log);
    if (!options.obstacles.scanTopics.empty()) {
      drive.guardWith(obstacles);
    }
    const auto period = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::duration<double>(1.0 / options.rate));
    node::DriveFrames frames(std::chrono::duration_cast<node::Clock::duration>(
                                 std::chrono::duration<double>(options.transformTimeout)),
                             log, options.poseFromTf);
    node::NodeMonitor monitor(topics, log, options);
    raiseControlCycle(log, options.realtimePriority);
    {
      node::CycleLoop loop(topics, drive, frames, monitor, period, options.latencyLog);
      loop.takeAlso([&speedLimit, &drive, &scans, &frames, &topics, &obstacles] {
        speedLimit.take(drive.speedLimit());
        scans.take(frames, topics.baseFrame(), obstacles, node::Clock::now());
      });
      if (managed) {
        managed->drive(loop, monitor);
      }
      loop.run(stop);
      if (managed) {
        managed->close(node::Clock::now());
      }
    }
    stopAcknowledged = deliverStop(log, topics);
  }
  return stopAcknowledged ? node::kExitSuccess : node::kExitStopNotAcknowledged;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::atomic<bool>& stop = common::stopOnSignals();
    const auto options = node::parseNodeOptions(argc, argv);
    if (!options) {
      return node::kExitSuccess;
    }
    chooseLogging();
    return drive(*options, stop);
  } catch (const std::invalid_argument& error) {
    fmt::print(stderr, "trelvo-node: {}\n", error.what());
    return node::kExitBadInput;
  } catch (const std::exception& error) {
    fmt::print(stderr, "trelvo-node: {}\n", error.what());
    return node::kExitFailure;
  }
}
