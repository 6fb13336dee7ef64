#pragma once

// One control cycle of the node, without any middleware: the paths and poses that arrived, the
// route driven through the route unit, and what the node publishes. The node stops the vehicle
// (a zero command every cycle, the route kept) while it has no fresh pose, and drives on once
// poses arrive again, from a command computed from them: never from one computed before the stop.
//
// Every route, refusal, leg reached and stale-pose stop is logged once through the node's log, so
// that it reaches the journal where the library's lines go; nothing is logged per cycle.

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <geometry_msgs/msg/pose_stamped.hpp>
#include <geometry_msgs/msg/twist.hpp>
#include <nav_msgs/msg/path.hpp>

#include "node/drive/command_guard.hpp"
#include "node/drive/command_ramp.hpp"
#include "node/drive/node_log.hpp"
#include "node/drive/pose_rate.hpp"
#include "node/drive/pose_watch.hpp"
#include "node/drive/pose_writers.hpp"
#include "node/drive/speed_limit.hpp"
#include "node/watch/stall_watch.hpp"
#include "trelvo/route.hpp"

namespace node {

/// A localisation that keeps sending broken poses is reported at most this often.
inline constexpr std::chrono::seconds kPoseRefusalReport{10};

struct CycleOutput {
  geometry_msgs::msg::Twist command;
  /// The command is the controller's, of a route under way; false for the zero of a stop (no
  /// fresh pose, no route), which must reach the vehicle at once.
  bool driving = false;
  /// The controller's look-ahead point, in the cycles of a line move that publish one.
  std::optional<Controller::PlanarPoint> lookAhead;
  /// "leg 2 of 3: line move", "route finished", "no route", "stopped: no fresh pose",
  /// "waiting for the first pose".
  std::string progress;
  /// A route is being driven or waits to begin, its stops (no fresh pose) included: the cycles in
  /// which the node commands the vehicle.
  bool routeUnderWay = false;
  /// The route driven has reached the end of its last leg, and no other route waits.
  bool routeFinished = false;
  /// No fresh pose was taken in this cycle, and why: "no fresh pose from /odom, the newest 0.62 s
  /// old".
  std::optional<std::string> poseLost;
  /// The vehicle stalled under the route's commands: found in this cycle, and how.
  std::optional<std::string> stall;
  /// The guard has held the route longer than it may, and where: "stopped for 10.0 s by an
  /// obstacle at ...". A plain route waits on; a goal ends.
  std::optional<std::string> blocked;
  /// m still to drive along the route from the vehicle's fresh pose; nothing while no route is
  /// driven or no pose is fresh.
  std::optional<double> distanceToGoal;
};

/// The drive as the node reports it on diagnostics.
struct DriveStatus {
  std::size_t legs = 0;           // of the route driven or finished; 0: no route
  std::size_t leg = 0;            // 1-based leg under way; legs + 1 once finished
  std::string state;              // the controller's state, or what stops the vehicle
  std::optional<double> poseAge;  // s since the newest pose; nothing before the first
  std::string pathRefusal;        // why the latest path was refused; empty: none since a route
  bool poseFresh = false;
  bool driving = false;
  std::vector<std::string> standingWarnings;  // a stall told of that still lasts
  std::vector<std::string> poseWriters;       // GUIDs, while more than one publishes poses
  std::string speedLimit;                     // the limit in force, SpeedLimit::text()
  std::optional<GuardReport> guard;           // nothing: no guard
};

class DriveCycle {
 public:
  /// `ramp` limits how fast the command of a route under way changes; every stop (no fresh pose,
  /// no route) is published at once.
  DriveCycle(Clock::duration poseTimeout, NodeLog& log, RampLimits ramp = {},
             StallLimits stall = {});

  /// Where poses come from, named in the log lines about them: "/robot1/odom", "TF map ->
  /// base_link" (`fromTf`); "the pose topic" until set.
  void setPoseSource(std::string name, bool fromTf);
  trelvo::PathReception receivePath(const nav_msgs::msg::Path& path);
  /// A pose from `writer` (its DDS GUID as text; empty for poses from TF). While a second writer
  /// publishes, no pose is taken: the vehicle stops and the route is held until one remains.
  void receivePose(const geometry_msgs::msg::PoseStamped& pose, Clock::time_point at,
                   const std::string& writer = {});
  /// A path was refused before it reached the drive (its frame not joined to the poses'): kept
  /// for the status, as a path the route refused, until a later path is accepted.
  void notePathRefused(std::string reason) { pathRefusal_ = std::move(reason); }
  /// Caps the route's commands from the next cycle on, before the ramp.
  SpeedLimit& speedLimit() { return speedLimit_; }
  /// Limits the route's commands by `guard` from the next cycle on, after the speed limit and
  /// before the ramp; its stops are published at once.
  void guardWith(CommandGuard& guard) { guard_ = &guard; }
  CycleOutput cycle(Clock::time_point now);
  DriveStatus status(Clock::time_point now) const;

 private:
  enum class PoseState { Waiting, Fresh, Stale };

  const geometry_msgs::msg::PoseStamped* ownPose(Clock::time_point now);
  void notePoses(const geometry_msgs::msg::PoseStamped* fresh, Clock::time_point now);
  void notePoseRate();
  void noteEvent(trelvo::RouteEvent event, const geometry_msgs::msg::PoseStamped& pose);
  std::string progress() const;
  std::string poseLoss(Clock::time_point now) const;
  /// " from /odom" after `separator`, or nothing while the source is unnamed.
  std::string fromSource(const char* separator) const;

  trelvo::RouteFollower route_;
  PoseWatch poses_;
  PoseWriters writers_;
  PoseRate rate_;
  CommandRamp ramp_;
  SpeedLimit speedLimit_;
  CommandGuard* guard_ = nullptr;
  std::optional<Clock::time_point> lastCycle_;
  StallWatch stall_;
  NodeLog& log_;
  PoseState poseState_ = PoseState::Waiting;
  std::string pathRefusal_;
  bool waitingLogged_ = false;
  Clock::time_point staleSince_{};
  std::string poseSource_ = "the pose topic";
  bool poseFromTf_ = false;
  bool writersShared_ = false;  // told of a second pose writer, not yet of its end
  bool slowPosesLogged_ = false;
  bool blockedLogged_ = false;  // told that the guard holds the route past its time
  // Refused poses since the last line that said so, and when that line was written.
  int posesRefused_ = 0;
  std::optional<Clock::time_point> refusalLogged_;
};

}  // namespace node
