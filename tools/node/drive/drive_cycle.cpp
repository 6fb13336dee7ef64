#include "node/drive/drive_cycle.hpp"

#include <cmath>
#include <utility>

#include <fmt/format.h>

#include "common/controller_phase.hpp"
#include "common/pose.hpp"
#include "trelvo/route.hpp"

namespace node {
namespace {

// From (x, y) to the end of the leg under way, then along the legs after it: what Nav2's
// controller reports as the distance to the goal, its path's length from the robot on.
double distanceToGoal(const std::vector<trelvo::Leg>& legs, std::size_t leg, double x, double y) {
  double distance = std::hypot(legs[leg].end.x - x, legs[leg].end.y - y);
  for (std::size_t next = leg + 1; next < legs.size(); ++next) {
    distance +=
        std::hypot(legs[next].end.x - legs[next].start.x, legs[next].end.y - legs[next].start.y);
  }
  return distance;
}

// A route's corners in a log line: the first few and the goal.
constexpr std::size_t kCornersLogged = 8;

std::string legsText(std::size_t legs) {
  return fmt::format("{} leg{}", legs, legs == 1 ? "" : "s");
}

std::string frameText(const std::string& frame) {
  return frame.empty() ? std::string("the poses' frame") : frame;
}

std::string pointText(double x, double y) {
  return fmt::format("({:.3f}, {:.3f})", x, y);
}

double headingOf(const geometry_msgs::msg::PoseStamped& pose) {
  return trelvo::goalYaw(pose.pose.orientation);
}

std::string poseText(const geometry_msgs::msg::PoseStamped& pose) {
  const auto& p = pose.pose.position;
  return fmt::format("({:.3f}, {:.3f}, {:.1f} deg)", p.x, p.y, common::toDegrees(headingOf(pose)));
}

std::string cornersText(const std::vector<trelvo::Leg>& legs) {
  std::string text = pointText(legs.front().start.x, legs.front().start.y);
  for (std::size_t i = 0; i < legs.size(); ++i) {
    if (i + 1 == kCornersLogged && i + 1 < legs.size()) {
      text += " -> ...";
      i = legs.size() - 1;
    }
    text += " -> " + pointText(legs[i].end.x, legs[i].end.y);
  }
  return text;
}

double seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

}  // namespace

DriveCycle::DriveCycle(Clock::duration poseTimeout, NodeLog& log, RampLimits ramp,
                       StallLimits stall)
    : poses_(poseTimeout), ramp_(ramp), stall_(stall), log_(log) {}

void DriveCycle::setPoseSource(std::string name, bool fromTf) {
  poseSource_ = std::move(name);
  poseFromTf_ = fromTf;
}

trelvo::PathReception DriveCycle::receivePath(const nav_msgs::msg::Path& path) {
  const bool wasDriving = route_.driving();
  const trelvo::PathReception reception = route_.receivePath(path);
  pathRefusal_.clear();
  switch (reception) {
    case trelvo::PathReception::Refused:
      pathRefusal_ = trelvo::refusalReason(path);
      log_.warn("path of {} poses refused: {}; {}", path.poses.size(), pathRefusal_,
                wasDriving ? "the route under way goes on" : "no route is driven");
      break;
    case trelvo::PathReception::Stopped:
      log_.info("empty path: {}", wasDriving ? "the route ends with a stop" : "no route to stop");
      break;
    case trelvo::PathReception::Taken: {
      const auto& legs = *route_.pendingLegs();
      log_.info("new route of {} in {}: {}, goal heading {:.1f} deg", legsText(legs.size()),
                frameText(path.header.frame_id), cornersText(legs),
                common::toDegrees(legs.back().end.heading));
      break;
    }
    case trelvo::PathReception::Unchanged:
      break;
  }
  return reception;
}

void DriveCycle::receivePose(const geometry_msgs::msg::PoseStamped& pose, Clock::time_point at,
                             const std::string& writer) {
  if (!writers_.receive(writer, at)) {
    return;
  }
  const std::string problem = poses_.receive(pose, at);
  if (problem.empty()) {
    rate_.arrived(at);
    notePoseRate();
    return;
  }
  ++posesRefused_;
  if (!refusalLogged_ || at - *refusalLogged_ >= kPoseRefusalReport) {
    log_.warn("pose refused: {}{}; the next report comes in {} s at the earliest", problem,
              posesRefused_ == 1
                  ? std::string()
                  : fmt::format(" ({} poses refused since the last report)", posesRefused_),
              kPoseRefusalReport.count());
    posesRefused_ = 0;
    refusalLogged_ = at;
  }
}

CycleOutput DriveCycle::cycle(Clock::time_point now) {
  CycleOutput output;
  const auto* pose = ownPose(now);
  if (pose == nullptr) {
    route_.holdStill();
    output.poseLost = poseLoss(now);
  } else {
    const trelvo::RouteEvent event = route_.cycle(*pose, output.command);
    noteEvent(event, *pose);
    output.driving = route_.driving() || event == trelvo::RouteEvent::LegReached;
    const Controller& controller = route_.controller();
    if (route_.driving() && controller.step == Controller::kLineMove &&
        !(controller.targetPoint.x == -1.0 && controller.targetPoint.y == -1.0)) {
      output.lookAhead = controller.targetPoint;
    }
  }
  const double sinceLastCycle = lastCycle_ ? seconds(now - *lastCycle_) : 0.0;
  lastCycle_ = now;
  if (output.driving) {
    output.command = speedLimit_.apply(output.command);
    if (guard_ != nullptr) {
      output.command =
          guard_->limit({pose->pose.position.x, pose->pose.position.y, headingOf(*pose)},
                        route_.legs(), route_.legIndex(), output.command, now);
    }
  } else if (guard_ != nullptr) {
    guard_->idle();
  }
  if (output.driving && (guard_ == nullptr || !guard_->stopping())) {
    output.command = ramp_.limit(output.command, sinceLastCycle);
  } else {
    ramp_.stopNow();
  }
  if (output.driving && guard_ != nullptr) {
    output.blocked = guard_->blocked(now);
    if (output.blocked && !blockedLogged_) {
      log_.warn("{}: the route waits until the way is clear", *output.blocked);
    }
  }
  blockedLogged_ = output.blocked.has_value();
  output.stall = stall_.update(output.command, pose ? &pose->pose : nullptr, now);
  if (output.stall) {
    log_.warn("{}", *output.stall);
  }
  output.progress = progress();
  output.routeUnderWay = route_.driving() || route_.pendingLegs() != nullptr;
  const auto& legs = route_.legs();
  output.routeFinished =
      !legs.empty() && route_.legIndex() >= legs.size() && route_.pendingLegs() == nullptr;
  if (pose != nullptr && route_.driving()) {
    output.distanceToGoal =
        distanceToGoal(legs, route_.legIndex(), pose->pose.position.x, pose->pose.position.y);
  }
  return output;
}

// The fresh pose, unless two writers publish poses now: then the vehicle stops on the spot, its
// route held, as it does without a pose. Poses are taken from neither writer meanwhile.
const geometry_msgs::msg::PoseStamped* DriveCycle::ownPose(Clock::time_point now) {
  const auto writers = writers_.publishing(now);
  if (writers.size() > 1) {
    if (!writersShared_) {
      std::string names;
      for (const auto& writer : writers) {
        names += (names.empty() ? "" : ", ") + writer;
      }
      log_.warn(
          "{} writers publish {} ({}): their poses cannot all be this vehicle's, so none is "
          "taken; the vehicle stops and the route is held until one writer remains",
          writers.size(), poseSource_, names);
      writersShared_ = true;
    }
    return nullptr;
  }
  const auto* pose = poses_.fresh(now);
  if (writersShared_ && pose != nullptr) {
    log_.info("one writer of {} remains ({}): driving on its poses", poseSource_,
              writers.empty() ? std::string("none") : writers.front());
    writersShared_ = false;
  }
  if (!writersShared_) {
    notePoses(pose, now);
  }
  return pose;
}

void DriveCycle::notePoseRate() {
  const auto period = rate_.period();
  if (slowPosesLogged_ || !period || *period < poses_.timeout()) {
    return;
  }
  slowPosesLogged_ = true;
  const std::string advice =
      poseFromTf_ ? std::string("publish the transforms faster, or raise --pose-timeout")
                  : std::string(
                        "take the pose from TF with --pose-from-tf map base_link (odometry's "
                        "rate, corrected by localisation), or raise --pose-timeout");
  log_.warn(
      "poses from {} arrive every {:.2f} s, no faster than the pose timeout of {} s, so the "
      "vehicle stops whenever one is late: {}",
      poseSource_, seconds(*period), seconds(poses_.timeout()), advice);
}

DriveStatus DriveCycle::status(Clock::time_point now) const {
  DriveStatus status;
  status.legs = route_.legs().size();
  status.leg = route_.legIndex() + 1;
  status.driving = route_.driving();
  status.state = progress();
  status.poseFresh = poseState_ == PoseState::Fresh;
  if (const auto at = poses_.newestAt()) {
    status.poseAge = seconds(now - *at);
  }
  status.pathRefusal = pathRefusal_;
  status.standingWarnings = stall_.standing();
  status.speedLimit = speedLimit_.text();
  if (guard_ != nullptr) {
    status.guard = guard_->report(now);
  }
  if (const auto writers = writers_.publishing(now); writers.size() > 1) {
    status.poseWriters = writers;
  }
  return status;
}

void DriveCycle::notePoses(const geometry_msgs::msg::PoseStamped* fresh, Clock::time_point now) {
  switch (poseState_) {
    case PoseState::Waiting:
      if (fresh != nullptr) {
        log_.info("first pose: {} in {}{}", poseText(*fresh), frameText(fresh->header.frame_id),
                  fromSource(","));
        poseState_ = PoseState::Fresh;
      } else if (!waitingLogged_) {
        log_.info("waiting for the first pose{}", fromSource(""));
        waitingLogged_ = true;
      }
      break;
    case PoseState::Fresh:
      if (fresh == nullptr) {
        log_.warn("no pose for {:.2f} s{}: zero commands until poses arrive again",
                  seconds(now - *poses_.newestAt()), fromSource(""));
        poseState_ = PoseState::Stale;
        staleSince_ = now;
      }
      break;
    case PoseState::Stale:
      if (fresh != nullptr) {
        log_.info("poses arrive again after {:.1f} s stopped{}", seconds(now - staleSince_),
                  route_.driving() ? ": driving on" : "");
        poseState_ = PoseState::Fresh;
      }
      break;
  }
}

std::string DriveCycle::poseLoss(Clock::time_point now) const {
  if (writersShared_) {
    return fmt::format("no pose taken from {}: two writers publish it", poseSource_);
  }
  if (const auto newest = poses_.newestAt()) {
    return fmt::format("no fresh pose from {}, the newest {:.2f} s old", poseSource_,
                       seconds(now - *newest));
  }
  return fmt::format("no pose has arrived from {}", poseSource_);
}

std::string DriveCycle::fromSource(const char* separator) const {
  return poseSource_.empty() ? std::string() : fmt::format("{} from {}", separator, poseSource_);
}

void DriveCycle::noteEvent(trelvo::RouteEvent event, const geometry_msgs::msg::PoseStamped& pose) {
  const auto& legs = route_.legs();
  switch (event) {
    case trelvo::RouteEvent::LegReached:
      log_.info("leg {} of {} reached at {}", route_.legIndex(), legs.size(), poseText(pose));
      break;
    case trelvo::RouteEvent::RouteFinished: {
      const trelvo::Leg& last = legs.back();
      const auto& p = pose.pose.position;
      log_.info(
          "route finished at {}: {:.3f} m and {:.1f} deg from the goal ({:.3f}, {:.3f}, "
          "{:.1f} deg)",
          poseText(pose), std::hypot(p.x - last.end.x, p.y - last.end.y),
          common::toDegrees(std::fabs(common::wrapAngle(headingOf(pose) - last.end.heading))),
          last.end.x, last.end.y, common::toDegrees(last.end.heading));
      break;
    }
    case trelvo::RouteEvent::Stopped:
      log_.info("route stopped by an empty path");
      break;
    case trelvo::RouteEvent::RouteStarted:  // logged when the path was received
    case trelvo::RouteEvent::None:
      break;
  }
}

std::string DriveCycle::progress() const {
  if (writersShared_) {
    return "stopped: two writers of the pose topic";
  }
  if (poseState_ == PoseState::Waiting) {
    return "waiting for the first pose";
  }
  if (poseState_ == PoseState::Stale) {
    return "stopped: no fresh pose";
  }
  const auto legs = route_.legs().size();
  if (route_.driving()) {
    return fmt::format("leg {} of {}: {}", route_.legIndex() + 1, legs,
                       common::phaseName(common::phaseOfStep(route_.controller().step)));
  }
  return legs > 0 ? "route finished" : "no route";
}

}  // namespace node
