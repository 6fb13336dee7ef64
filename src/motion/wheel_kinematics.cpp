// Body commands to wheel commands for steerable-wheel and differential vehicles, and dead
// reckoning from two wheel speeds.

#include <cmath>
#include <initializer_list>

#include "half_turn_steps.hpp"
#include "trelvo/motion.hpp"

namespace {

// The steerable-wheel geometry this kinematics is built for: the first wheel sits at
// (+-70, +-195) mm in the vehicle frame, or anywhere closer to the centre.
constexpr double kMountX = 70.0;            // mm
constexpr double kMountY = 195.0;           // mm
constexpr double kMountTolerance = 1.0;     // mm
constexpr double kTurningRate = 1e-4;       // rad/s, above this the wheels steer around a centre
constexpr double kDiffTurningRate = 0.001;  // rad/s, the same for a differential vehicle
// Reverse test of a differential vehicle: |sin(heading/2) - sin(lineDir/2)| strictly between these.
constexpr double kReverseLow = 0.5;
constexpr double kReverseHigh = 1.5;

// Steering angle and speed of one wheel at `mount` turning at w about the instantaneous centre
// (-Y/w, X/w). False when the angle cannot be stepped into the steering range.
bool wheelAroundCentre(double X, double Y, double w, const AGV_Pos& mount, WheelVROut& out) {
  const double dx = mount.x + Y / w;
  const double dy = mount.y - X / w;
  double angle = std::atan2(dy, dx) + kHalfPi - gWheelOffsetAngleSet;
  if (angle > kPi) {
    angle -= kTwoPi;
  }
  if (angle < -kPi) {
    angle += kTwoPi;
  }
  int sign = 1;
  if (!stepHalfTurnsIntoRange(gWheelRotateMin, gWheelRotateMax, angle, sign)) {
    return false;
  }
  out.r = angle;
  out.v = std::hypot(dy, dx) * w * sign;
  return true;
}

// Straight travel: both wheels point along the velocity (X, Y) and take the same steps.
bool wheelsAlongVelocity(double X, double Y, WheelVROut& out) {
  double angle = std::atan2(Y, X) - gWheelOffsetAngleSet;
  int sign = 1;
  if (!stepHalfTurnsIntoRange(gWheelRotateMin, gWheelRotateMax, angle, sign)) {
    return false;
  }
  out.r = angle;
  out.v = std::hypot(Y, X) * sign;
  return true;
}

}  // namespace

void VW2WheelsNew(double vx, double vy, double w, double heading, double lineDir, AGV_Pos wheelA,
                  AGV_Pos wheelB, WheelVROut* outA, WheelVROut* outB) {
  const bool mounted = std::fabs(wheelA.x) - kMountX < kMountTolerance &&
                       std::fabs(wheelA.y) - kMountY < kMountTolerance;
  if (!mounted) {
    outA->v = 0.0;
    outB->v = 0.0;
    return;
  }

  const double delta = heading - lineDir;
  const double X = vx * std::cos(delta) + vy * std::sin(delta);
  const double Y = vy * std::cos(delta) - vx * std::sin(delta);

  WheelVROut a{};
  WheelVROut b{};
  bool steered = false;
  if (std::fabs(w) > kTurningRate) {
    steered = wheelAroundCentre(X, Y, w, wheelA, a) && wheelAroundCentre(X, Y, w, wheelB, b);
  } else {
    steered = wheelsAlongVelocity(X, Y, a);
    b = a;
  }
  // Like a misplaced wheel, a steering angle that cannot be brought into range stops the vehicle.
  if (!steered) {
    outA->v = 0.0;
    outB->v = 0.0;
    return;
  }
  *outA = a;
  *outB = b;
}

void VW2WheelRestrict(WheelVROut* outA, WheelVROut* outB, double referenceAngle) {
  bool steppedBoth = true;
  for (WheelVROut* out : {outA, outB}) {
    int sign = 1;
    if (stepHalfTurnsToward(referenceAngle, out->r, sign)) {
      if (sign < 0) {
        out->v = -out->v;
      }
    } else {
      steppedBoth = false;
    }
    out->r = SetLimit(out->r, gWheelRotateMax, gWheelRotateMin);
  }
  // A wheel left pointing anywhere must not drive, and the other must not drag it along.
  if (!steppedBoth) {
    outA->v = 0.0;
    outB->v = 0.0;
  }
}

void WheelDirOut(double startX, double startY, double endX, double endY, double offsetA,
                 double offsetB) {
  const double direction = std::atan2(endY - startY, endX - startX);
  gMoveDirInWorld = direction;
  double angle = direction - offsetA - offsetB;
  int sign = 1;
  gWheelDir = 1;
  if (stepHalfTurnsIntoRange(gWheelRotateMin, gWheelRotateMax, angle, sign)) {
    gWheelDir = sign;
  }
}

WheelVROut VW2Wheels_DS(double vx, double vy, double w, double heading, double lineDir) {
  const double halfWidth = 0.5 * gAGVWidthSet;
  const double reverseTest = std::fabs(std::sin(0.5 * heading) - std::sin(0.5 * lineDir));
  const bool backwards = kReverseLow < reverseTest && reverseTest < kReverseHigh;
  if (std::fabs(w) > kDiffTurningRate) {
    const double radius = (backwards ? -vx : vx) / w;
    return {(radius + halfWidth) * w + vy, (radius - halfWidth) * w - vy};
  }
  if (backwards) {
    return {vy - vx, -vx - vy};
  }
  return {vx + vy, vx - vy};
}

void OdemeterOut(float dtHeading, float dtX, float dtY, float track, WheelVROut first,
                 WheelVROut second, AGV_Pos* odomPose) {
  // Without a usable track there is no turn rate; a step that is not finite would leave the pose
  // unusable for every later step. Neither is taken.
  if (!std::isfinite(track) || track == 0.0f) {
    return;
  }
  // The heading step and the mean speed are rounded to single precision, the precision of the
  // time steps and the track.
  const float turnRate = static_cast<float>((second.v - first.v) / static_cast<double>(track));
  const float headingStep = turnRate * dtHeading;
  const double heading = odomPose->theta + static_cast<double>(headingStep);
  const double speed = static_cast<float>((first.v + second.v) * 0.5);
  const double x = odomPose->x + speed * std::cos(heading) * static_cast<double>(dtX);
  const double y = odomPose->y + speed * std::sin(heading) * static_cast<double>(dtY);
  if (std::isfinite(heading) && std::isfinite(x) && std::isfinite(y)) {
    *odomPose = {x, y, heading};
  }
}
