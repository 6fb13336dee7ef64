#include "common/vehicle.hpp"

#include <algorithm>

#include "trelvo/motion.hpp"

namespace common {
namespace {

// Below this turn rate an arc is indistinguishable from a straight step.
constexpr double kStraightTurnRate = 1e-12;  // rad/s

double rampTowards(double current, double target, double maxRate, double dt) {
  if (maxRate <= 0.0) {
    return target;
  }
  const double maxStep = maxRate * dt;
  return current + std::clamp(target - current, -maxStep, maxStep);
}

}  // namespace

Vehicle::Vehicle(const VehicleSettings& settings, const Pose2D& start, std::uint64_t noiseSeed)
    : settings_(settings), pose_{start.x, start.y, wrapAngle(start.heading)}, noise_(noiseSeed) {}

Pose2D Vehicle::measuredPose() {
  Pose2D measured = pose_;
  if (settings_.noiseXY > 0.0) {
    measured.x += settings_.noiseXY * gauss_(noise_);
    measured.y += settings_.noiseXY * gauss_(noise_);
  }
  if (settings_.noiseHeading > 0.0) {
    measured.heading = wrapAngle(measured.heading + settings_.noiseHeading * gauss_(noise_));
  }
  return measured;
}

void Vehicle::apply(double v, double w, double dt) {
  commandV_ = v;
  commandW_ = w;
  appliedV_ = rampTowards(appliedV_, v, settings_.maxAccel, dt);
  appliedW_ = rampTowards(appliedW_, w, settings_.maxTurnAccel, dt);
  if (settings_.kind == VehicleKind::Differential) {
    moveDifferential(appliedV_, appliedW_, dt);
  } else {
    moveUnicycle(appliedV_, appliedW_, dt);
  }
  pose_.heading = wrapAngle(pose_.heading);
}

WheelSpeeds Vehicle::wheelSpeeds(double v, double w) const {
  // The width is a process-wide setting of the library; each vehicle sets its own before use.
  AGVMechanicParaConfig({settings_.width, 0.0, 0.0, 0.0});
  // Heading and line direction are the same: the vehicle always drives forwards.
  const WheelVROut wheels = VW2Wheels_DS(v, 0.0, w, pose_.heading, pose_.heading);
  return {wheels.r, wheels.v};
}

void Vehicle::moveUnicycle(double v, double w, double dt) {
  const double heading = pose_.heading + w * dt;
  if (std::fabs(w) < kStraightTurnRate) {
    pose_.x += v * std::cos(pose_.heading) * dt;
    pose_.y += v * std::sin(pose_.heading) * dt;
  } else {
    pose_.x += v / w * (std::sin(heading) - std::sin(pose_.heading));
    pose_.y += v / w * (std::cos(pose_.heading) - std::cos(heading));
  }
  pose_.heading = heading;
}

void Vehicle::moveDifferential(double v, double w, double dt) {
  const WheelSpeeds wheels = wheelSpeeds(v, w);
  AGV_Pos odometry{pose_.x, pose_.y, pose_.heading};
  const float step = static_cast<float>(dt);
  OdemeterOut(step, step, step, static_cast<float>(settings_.width), WheelVROut{wheels.left, 0.0},
              WheelVROut{wheels.right, 0.0}, &odometry);
  pose_ = {odometry.x, odometry.y, odometry.theta};
}

}  // namespace common
