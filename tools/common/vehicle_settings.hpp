#pragma once

// The simulated vehicle's model and its imperfections, as a command line or a suite file sets
// them.

namespace common {

enum class VehicleKind {
  /// Kinematic unicycle: applies forward speed and turn rate directly.
  Unicycle,
  /// Two fixed drive wheels `width` apart: the command becomes two wheel speeds and odometry.
  Differential,
};

struct VehicleSettings {
  VehicleKind kind = VehicleKind::Unicycle;
  double width = 0.5;         // m, between the drive wheels (differential only)
  double maxAccel = 0.0;      // m/s^2 on the forward speed, 0 = unlimited
  double maxTurnAccel = 0.0;  // rad/s^2 on the turn rate, 0 = unlimited
  double noiseXY = 0.0;       // m, standard deviation of the measured position
  double noiseHeading = 0.0;  // rad, standard deviation of the measured heading
};

}  // namespace common
