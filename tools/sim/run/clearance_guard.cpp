#include "sim/run/clearance_guard.hpp"

namespace sim {
namespace {

// Keeps the laser's noise apart from the pose noise drawn from the same scenario seed.
constexpr std::uint64_t kLaserSeedMix = 0x9e3779b97f4a7c15;
// A scan due at a cycle's time is taken in that cycle, whatever the rounding of the two times.
constexpr double kTimeSlack = 1e-9;  // s

}  // namespace

ClearanceGuard::ClearanceGuard(const Scenario& scenario, const RunSettings& settings)
    : settings_(settings),
      footprint_(outlineOf(settings.footprint)),
      field_(scenario.obstacles),
      laser_(settings.laser, scenario.noiseSeed ^ kLaserSeedMix) {}

double ClearanceGuard::measure(double time, const common::Pose2D& pose) {
  const Outline vehicle = placed(footprint_, pose);
  field_.advance(time, vehicle);
  return field_.clearance(vehicle);
}

trelvo::ClearanceDecision ClearanceGuard::decide(double time, const common::Pose2D& pose,
                                                 const common::Pose2D& measured,
                                                 const trelvo::RouteFollower& follower,
                                                 const trelvo::VelocityCommand& command) {
  if (time + kTimeSlack >= nextScan_ && !field_.outlines().empty()) {
    points_ = laser_.pointsOf(laser_.scan(pose, field_.outlines()));
    const double interval = 1.0 / settings_.laser.rate;
    nextScan_ += interval;
    if (nextScan_ <= time + kTimeSlack) {
      nextScan_ = time + interval;
    }
  }
  return trelvo::decideClearance(settings_.footprint,
                                 trelvo::routeAhead(measured, follower.legs(), follower.legIndex()),
                                 command, points_, settings_.clearance);
}

}  // namespace sim
