#pragma once

// One control cycle of the node, without any middleware: the paths and poses that arrived, the
// route driven through the route unit, and what the node publishes. The node stops the vehicle
// (a zero command every cycle, the route kept) while it has no fresh pose, and drives on once
// poses arrive again.
//
// Every refusal, every leg reached and every stale-pose stop is logged once through the library's
// logger, so that it reaches the journal where the library's lines go; nothing is logged per
// cycle.

#include <chrono>
#include <optional>
#include <string>

#include <geometry_msgs/msg/pose_stamped.hpp>
#include <geometry_msgs/msg/twist.hpp>
#include <nav_msgs/msg/path.hpp>

#include "common/route_follower.hpp"
#include "node/drive/pose_watch.hpp"

namespace node {

/// A localisation that keeps sending broken poses is reported at most this often.
inline constexpr std::chrono::seconds kPoseRefusalReport{10};

struct CycleOutput {
  geometry_msgs::msg::Twist command;
  /// The controller's look-ahead point, in the cycles of a line move that publish one.
  std::optional<Controller::PlanarPoint> lookAhead;
  /// "leg 2 of 3: line move", "route finished", "no route", "stopped: no fresh pose".
  std::string progress;
};

class DriveCycle {
 public:
  explicit DriveCycle(Clock::duration poseTimeout);

  void receivePath(const nav_msgs::msg::Path& path);
  void receivePose(const geometry_msgs::msg::PoseStamped& pose, Clock::time_point at);
  CycleOutput cycle(Clock::time_point now);

 private:
  void noteStale(bool stale);
  void noteEvent(common::RouteEvent event);
  std::string progress() const;

  common::RouteFollower route_;
  PoseWatch poses_;
  bool stale_ = false;
  // Refused poses since the last line that said so, and when that line was written.
  int posesRefused_ = 0;
  std::optional<Clock::time_point> refusalLogged_;
};

}  // namespace node
