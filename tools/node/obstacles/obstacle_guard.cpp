#include "node/obstacles/obstacle_guard.hpp"

#include <utility>

#include <fmt/format.h>

namespace node {
namespace {

const char* zoneName(trelvo::ClearanceZone zone) {
  switch (zone) {
    case trelvo::ClearanceZone::None:
      return "clear";
    case trelvo::ClearanceZone::Stop:
      return "stop";
    case trelvo::ClearanceZone::Slowdown:
      return "slowdown";
    case trelvo::ClearanceZone::Approach:
      return "approach";
    case trelvo::ClearanceZone::Unusable:
      break;
  }
  return "unusable";
}

std::string pointText(const trelvo::Point2D& point) {
  return fmt::format("({:.2f}, {:.2f}) in the base frame", point.x, point.y);
}

double seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

}  // namespace

ObstacleGuard::ObstacleGuard(ObstacleSettings settings, NodeLog& log)
    : settings_(std::move(settings)), log_(log) {
  for (const auto& name : settings_.sources) {
    sources_.push_back({name, {}, std::nullopt, false});
  }
}

void ObstacleGuard::receive(std::size_t source, std::vector<trelvo::Point2D> points,
                            Clock::time_point at) {
  sources_.at(source).points = std::move(points);
  sources_.at(source).arrived = at;
}

geometry_msgs::msg::Twist ObstacleGuard::limit(const trelvo::Pose2D& vehicle,
                                               const std::vector<trelvo::Leg>& legs,
                                               std::size_t legIndex,
                                               const geometry_msgs::msg::Twist& command,
                                               Clock::time_point now) {
  stopping_ = true;
  if (!sourcesHeard(now)) {
    blockedSince_.reset();
    return geometry_msgs::msg::Twist();
  }
  points_.clear();
  for (const auto& source : sources_) {
    points_.insert(points_.end(), source.points.begin(), source.points.end());
  }
  const trelvo::VelocityCommand wanted{command.linear.x, command.angular.z};
  decision_ =
      trelvo::decideClearance(settings_.footprint, trelvo::routeAhead(vehicle, legs, legIndex),
                              wanted, points_, settings_.clearance);
  noteZone(decision_);
  stopping_ = decision_.action == trelvo::ClearanceAction::Stop;
  if (!stopping_) {
    blockedSince_.reset();
  } else if (!blockedSince_) {
    blockedSince_ = now;
  }
  const trelvo::VelocityCommand allowed = trelvo::limitCommand(decision_, wanted);
  geometry_msgs::msg::Twist limited = command;
  limited.linear.x = allowed.speed;
  limited.angular.z = allowed.turnRate;
  return limited;
}

void ObstacleGuard::idle() {
  stopping_ = false;
  blockedSince_.reset();
  zone_.reset();
  decision_ = {};
}

// Every source sent within its timeout: tells of each that fell silent and each that came back.
bool ObstacleGuard::sourcesHeard(Clock::time_point now) {
  bool heard = true;
  for (auto& source : sources_) {
    const bool silent = !source.arrived || now - *source.arrived > settings_.sourceTimeout;
    if (silent && !source.silent) {
      log_.error(
          "no obstacle data from {} {}: the vehicle stops until it arrives (--source-timeout {} "
          "s)",
          source.name,
          source.arrived ? fmt::format("for {:.2f} s", seconds(now - *source.arrived))
                         : std::string("yet"),
          seconds(settings_.sourceTimeout));
    } else if (!silent && source.silent) {
      log_.info("obstacle data from {} arrives again: driving on", source.name);
    }
    source.silent = silent;
    heard = heard && !silent;
  }
  if (!heard) {
    zone_.reset();  // the zone found when data returns is logged
  }
  silenced_ = !heard;
  return heard;
}

void ObstacleGuard::noteZone(const trelvo::ClearanceDecision& decision) {
  if (zone_ == decision.zone) {
    return;
  }
  const bool first = !zone_;
  zone_ = decision.zone;
  if (decision.zone == trelvo::ClearanceZone::None) {
    if (!first) {
      log_.info("obstacles: the route ahead is clear: driving on");
    }
    return;
  }
  if (!decision.nearest) {
    log_.warn("obstacles: {} zone: stopping", zoneName(decision.zone));
    return;
  }
  log_.info("obstacles: {} zone, {:.2f} m along the route, nearest point {}: {}",
            zoneName(decision.zone), decision.distance, pointText(*decision.nearest),
            decision.action == trelvo::ClearanceAction::Stop
                ? std::string("stopping")
                : fmt::format("{:.2f} m/s", decision.speed));
}

std::optional<Clock::duration> ObstacleGuard::blockedFor(Clock::time_point now) const {
  if (!blockedSince_) {
    return std::nullopt;
  }
  return now - *blockedSince_;
}

std::optional<std::string> ObstacleGuard::blocked(Clock::time_point now) const {
  const auto blocked = blockedFor(now);
  if (!blocked || *blocked <= settings_.blockedTimeout) {
    return std::nullopt;
  }
  return fmt::format(
      "stopped for {:.1f} s by an obstacle at {}", seconds(*blocked),
      decision_.nearest ? pointText(*decision_.nearest) : std::string("an unknown place"));
}

GuardReport ObstacleGuard::report(Clock::time_point now) const {
  if (silenced_) {
    return {"source silent", "none", "not blocked"};
  }
  const auto blocked = blockedFor(now);
  return {zone_ ? zoneName(*zone_) : "clear",
          decision_.nearest ? pointText(*decision_.nearest) : std::string("none"),
          blocked ? fmt::format("{:.1f} s", seconds(*blocked)) : std::string("not blocked")};
}

}  // namespace node
