#include "sim/modes/route_watch.hpp"

#include <cmath>

#include <fmt/format.h>

#include "sim/cli/exit_codes.hpp"

namespace sim {
namespace {

// A progress line at most this often, and only when the vehicle moved at least this much since
// the last one.
constexpr double kProgressInterval = 1.0;      // s
constexpr double kProgressDistance = 0.001;    // m
constexpr double kProgressTurn = M_PI / 1800;  // rad (0.1 deg)
// The subscribers of plan acknowledge the path within this, or the vehicle goes on without.
constexpr std::chrono::seconds kPlanDeliveryLimit{2};

double seconds(LiveVehicle::Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

}  // namespace

RouteWatch::RouteWatch(std::vector<common::Pose2D> route, const RunSettings& settings,
                       LiveVehicle::Clock::time_point started, std::FILE* out)
    : route_(std::move(route)), settings_(settings), started_(started), out_(out) {}

std::optional<int> RouteWatch::check(VehicleTopics& topics, const LiveVehicle& vehicle,
                                     LiveVehicle::Clock::time_point now) {
  const double elapsed = seconds(now - started_);
  if (!published_) {
    publishPlanOnceListened(topics);
  }
  const common::Pose2D& pose = vehicle.vehicle().pose();
  const common::Pose2D& goal = route_.back();
  const bool reached =
      published_ && vehicle.standing(now) &&
      common::distanceBetween(pose, goal) <= settings_.positionTolerance &&
      std::fabs(common::wrapAngle(pose.heading - goal.heading)) <= settings_.headingTolerance;
  if (reached || elapsed >= settings_.timeLimit) {
    return finish(pose, elapsed, reached);
  }
  reportProgress(vehicle, elapsed);
  return std::nullopt;
}

void RouteWatch::publishPlanOnceListened(VehicleTopics& topics) {
  const std::uint32_t listeners = topics.planSubscribers();
  if (listeners == 0) {
    return;
  }
  const bool delivered = topics.publishPlan(planMessage(route_), kPlanDeliveryLimit);
  published_ = true;
  fmt::print(out_, "plan: route of {} poses sent to {} subscriber{}{}\n", route_.size(), listeners,
             listeners == 1 ? "" : "s", delivered ? "" : " (not acknowledged)");
  std::fflush(out_);
}

void RouteWatch::reportProgress(const LiveVehicle& vehicle, double elapsed) {
  const common::Pose2D& pose = vehicle.vehicle().pose();
  const bool moved =
      !reported_ || common::distanceBetween(pose, *reported_) >= kProgressDistance ||
      std::fabs(common::wrapAngle(pose.heading - reported_->heading)) >= kProgressTurn;
  if (!moved || (reported_ && elapsed - reportedAt_ < kProgressInterval)) {
    return;
  }
  fmt::print(out_,
             "{:7.2f} s  at ({:.3f}, {:.3f}) heading {:6.1f} deg  v {:5.2f} m/s  w {:5.2f} rad/s  "
             "{:.3f} m from the last waypoint\n",
             elapsed, pose.x, pose.y, common::toDegrees(pose.heading), vehicle.vehicle().appliedV(),
             vehicle.vehicle().appliedW(), common::distanceBetween(pose, route_.back()));
  std::fflush(out_);
  reported_ = pose;
  reportedAt_ = elapsed;
}

int RouteWatch::finish(const common::Pose2D& pose, double elapsed, bool reached) {
  const common::Pose2D& goal = route_.back();
  if (reached) {
    fmt::print(out_, "reached the last waypoint, standing within {:.4g} m and {:.4g} deg\n",
               settings_.positionTolerance, common::toDegrees(settings_.headingTolerance));
  } else {
    fmt::print(out_, "not standing at the last waypoint at the time limit of {} s\n",
               settings_.timeLimit);
  }
  fmt::print(out_, "  final position error  {:.4f} m\n", common::distanceBetween(pose, goal));
  fmt::print(out_, "  final heading error   {:.2f} deg\n",
             common::toDegrees(common::wrapAngle(pose.heading - goal.heading)));
  fmt::print(out_, "  wall time             {:.2f} s\n", elapsed);
  std::fflush(out_);
  return reached ? kExitSuccess : kExitRunFailed;
}

}  // namespace sim
