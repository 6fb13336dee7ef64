#include "node/drive/drive_cycle.hpp"

#include <fmt/format.h>

#include "trelvo/logger.hpp"

namespace node {
namespace {

spdlog::logger* log() {
  // The library's own facade: one logger for the process, configured from the environment.
  static const auto logger = tovrek::Logger::Instance("spdlog").getLogger();
  return logger.get();
}

template <typename... Args>
void info(fmt::format_string<Args...> format, Args&&... args) {
  if (auto* logger = log()) {
    logger->info(format, std::forward<Args>(args)...);
  }
}

template <typename... Args>
void warn(fmt::format_string<Args...> format, Args&&... args) {
  if (auto* logger = log()) {
    logger->warn(format, std::forward<Args>(args)...);
  }
}

std::string legsText(std::size_t legs) {
  return fmt::format("{} leg{}", legs, legs == 1 ? "" : "s");
}

const char* stateName(int step) {
  switch (step) {
    case Controller::kFirstTurn:
      return "first turn";
    case Controller::kLineMove:
      return "line move";
    default:
      return "final turn";
  }
}

}  // namespace

DriveCycle::DriveCycle(Clock::duration poseTimeout) : poses_(poseTimeout) {}

void DriveCycle::receivePath(const nav_msgs::msg::Path& path) {
  switch (route_.receivePath(path)) {
    case common::PathReception::Refused:
      warn(
          "trelvo-node: path of {} poses refused: a pose is not finite or too far out, or the "
          "goal orientation has no yaw; the route goes on",
          path.poses.size());
      break;
    case common::PathReception::Stopped:
      info("trelvo-node: empty path: the route ends with a stop");
      break;
    case common::PathReception::Taken:
    case common::PathReception::Unchanged:
      break;
  }
}

void DriveCycle::receivePose(const geometry_msgs::msg::PoseStamped& pose, Clock::time_point at) {
  if (poses_.receive(pose, at)) {
    return;
  }
  ++posesRefused_;
  if (!refusalLogged_ || at - *refusalLogged_ >= kPoseRefusalReport) {
    warn(
        "trelvo-node: {} refused: not finite or too far out; the next report comes in {} s at "
        "the earliest",
        posesRefused_ == 1 ? std::string("a pose") : fmt::format("{} poses", posesRefused_),
        kPoseRefusalReport.count());
    posesRefused_ = 0;
    refusalLogged_ = at;
  }
}

CycleOutput DriveCycle::cycle(Clock::time_point now) {
  CycleOutput output;
  const auto* pose = poses_.fresh(now);
  noteStale(pose == nullptr);
  if (pose != nullptr) {
    noteEvent(route_.cycle(*pose, output.command));
    const Controller& controller = route_.controller();
    if (route_.driving() && controller.step == Controller::kLineMove &&
        controller.targetPoint.x != -1.0) {
      output.lookAhead = controller.targetPoint;
    }
  }
  output.progress = progress();
  return output;
}

void DriveCycle::noteStale(bool stale) {
  if (stale && !stale_) {
    warn("trelvo-node: no fresh pose: zero commands until poses arrive again");
  } else if (!stale && stale_) {
    info("trelvo-node: poses arrive again: driving on");
  }
  stale_ = stale;
}

void DriveCycle::noteEvent(common::RouteEvent event) {
  const auto legs = route_.legs().size();
  switch (event) {
    case common::RouteEvent::RouteStarted:
      info("trelvo-node: new route of {}", legsText(legs));
      break;
    case common::RouteEvent::LegReached:
      info("trelvo-node: leg {} of {} reached", route_.legIndex(), legs);
      break;
    case common::RouteEvent::RouteFinished:
      info("trelvo-node: route finished: leg {} of {} reached", legs, legs);
      break;
    case common::RouteEvent::Stopped:
      info("trelvo-node: route stopped");
      break;
    case common::RouteEvent::None:
      break;
  }
}

std::string DriveCycle::progress() const {
  if (stale_) {
    return "stopped: no fresh pose";
  }
  const auto legs = route_.legs().size();
  if (route_.driving()) {
    return fmt::format("leg {} of {}: {}", route_.legIndex() + 1, legs,
                       stateName(route_.controller().step));
  }
  return legs > 0 ? "route finished" : "no route";
}

}  // namespace node
