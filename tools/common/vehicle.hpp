#pragma once

// The simulated vehicle: takes the controller's command for one control period and reports its
// pose, as measured (with noise) and as it really is.
//
// Unicycle: the forward speed v and turn rate w move the vehicle along an exact arc.
// Differential: the command becomes two wheel speeds with the library's VW2Wheels_DS and the
// wheels are integrated with its OdemeterOut. The two functions order the wheels differently:
//   VW2Wheels_DS returns the right wheel in `v` and the left wheel in `r` (for w > 0 the first
//   speed, v + w*width/2, is the faster, outer wheel of a counter-clockwise turn);
//   OdemeterOut takes (first, second) = (left, right), since its heading step is
//   (second - first) / track * dt.
// So the right wheel goes in as `second` and the vehicle turns the way the command says.
//
// Optional acceleration limits ramp the applied v and w towards the command; optional Gaussian
// noise (seeded, so a run can be repeated exactly) is added to the measured pose only.

#include <cstdint>
#include <random>

#include "common/pose.hpp"
#include "common/vehicle_settings.hpp"

namespace common {

/// Speeds of the two drive wheels of a differential vehicle, m/s.
struct WheelSpeeds {
  double left;
  double right;
};

class Vehicle {
 public:
  Vehicle(const VehicleSettings& settings, const Pose2D& start, std::uint64_t noiseSeed);

  /// Where the vehicle really is (heading wrapped into [-pi, pi]).
  const Pose2D& pose() const { return pose_; }
  /// The pose a localisation would report: the true pose plus the configured noise.
  Pose2D measuredPose();
  /// Drives for `dt` seconds under the command (forward speed m/s, turn rate rad/s).
  void apply(double v, double w, double dt);
  /// Drives on for `dt` seconds under the latest command, as while its host is blocked.
  void driveOn(double dt) { apply(commandV_, commandW_, dt); }
  /// The speeds the vehicle really drives at, behind the command under acceleration limits.
  double appliedV() const { return appliedV_; }
  double appliedW() const { return appliedW_; }

  /// Wheel speeds of this differential vehicle for a body command, by VW2Wheels_DS.
  WheelSpeeds wheelSpeeds(double v, double w) const;

 private:
  void moveUnicycle(double v, double w, double dt);
  void moveDifferential(double v, double w, double dt);

  VehicleSettings settings_;
  Pose2D pose_;
  double appliedV_ = 0.0;  // speeds actually reached, for the acceleration limits
  double appliedW_ = 0.0;
  double commandV_ = 0.0;  // the latest command
  double commandW_ = 0.0;
  std::mt19937_64 noise_;
  std::normal_distribution<double> gauss_{0.0, 1.0};
};

}  // namespace common
