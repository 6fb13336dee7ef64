#pragma once

// The route's clearance each cycle: the command of a route under way, limited by what the
// vehicle's obstacle sources see along the route ahead (trelvo::decideClearance), before it goes
// to the ramp. Free of middleware: the sources' points come in already in the base frame.
//
// Fail-safe: a source that has sent nothing for longer than its timeout while a route is under
// way stops the vehicle, with one ERROR line naming it; the vehicle drives on once it sends
// again. Each change of the deciding zone is logged once, not each cycle.
//
//   ObstacleGuard guard({footprint, {"/scan"}, 500ms}, log);
//   guard.receive(0, scanInBase(scan, mounting), now);
//   command = guard.limit(vehicle, legs, legIndex, command, now);

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <geometry_msgs/msg/twist.hpp>

#include "node/drive/command_guard.hpp"
#include "node/drive/node_log.hpp"
#include "trelvo/clearance.hpp"
#include "trelvo/route.hpp"

namespace node {

inline constexpr std::chrono::milliseconds kSourceTimeout{500};
inline constexpr std::chrono::seconds kBlockedTimeout{10};

struct ObstacleSettings {
  trelvo::Footprint footprint;
  std::vector<std::string> sources;  // their names in the log: "/scan"
  Clock::duration sourceTimeout = kSourceTimeout;
  Clock::duration blockedTimeout = kBlockedTimeout;
  trelvo::ClearanceSettings clearance;
};

class ObstacleGuard : public CommandGuard {
 public:
  ObstacleGuard(ObstacleSettings settings, NodeLog& log);

  /// The newest points of source `source` (its index in the settings), arrived at `at`.
  void receive(std::size_t source, std::vector<trelvo::Point2D> points, Clock::time_point at);

  /// This cycle's command of the route under way, `legs[legIndex]` being driven from `vehicle`
  /// (in the legs' frame): `command` as the clearance allows it, zero on a stop.
  geometry_msgs::msg::Twist limit(const trelvo::Pose2D& vehicle,
                                  const std::vector<trelvo::Leg>& legs, std::size_t legIndex,
                                  const geometry_msgs::msg::Twist& command,
                                  Clock::time_point now) override;
  /// No route under way this cycle: nothing is blocked, and the next route's zone is logged anew.
  void idle() override;

  /// The last limit stopped the vehicle (an obstacle or a silent source).
  bool stopping() const override { return stopping_; }
  /// How long the vehicle has stood stopped for an obstacle; nothing while it is not.
  std::optional<Clock::duration> blockedFor(Clock::time_point now) const;
  std::optional<std::string> blocked(Clock::time_point now) const override;
  GuardReport report(Clock::time_point now) const override;

 private:
  struct Source {
    std::string name;
    std::vector<trelvo::Point2D> points;
    std::optional<Clock::time_point> arrived;
    bool silent = false;  // told of
  };

  bool sourcesHeard(Clock::time_point now);
  void noteZone(const trelvo::ClearanceDecision& decision);

  ObstacleSettings settings_;
  NodeLog& log_;
  std::vector<Source> sources_;
  std::vector<trelvo::Point2D> points_;        // of every source, gathered each cycle
  std::optional<trelvo::ClearanceZone> zone_;  // logged last; nothing: none since idle
  trelvo::ClearanceDecision decision_;
  bool silenced_ = false;
  bool stopping_ = false;
  std::optional<Clock::time_point> blockedSince_;
};

}  // namespace node
