// Straight-line tracking and the turn-rate profiles of in-place turns.

#include <cmath>

#include "angle_constants.hpp"
#include "trelvo/motion.hpp"

namespace {

constexpr double kShapingOffset = 20.0;  // mm/s added to the first-half shaping speed
constexpr double kLateralShare = 0.2;    // largest lateral speed as a share of the shaping speed
constexpr double kCreepSpeed = 10.0;     // mm/s, below this no lateral or heading correction

}  // namespace

DeltaXYR NewPID3(double px, double py, double heading, double /*ignored1*/, double /*ignored2*/,
                 double endHeading, double startX, double startY, double endX, double endY,
                 double scale, AGV_VxVyW* out, double startSpeed, double maxSpeed, double endSpeed,
                 double maxW) {
  CalLineDelta(px, py, heading, startX, startY, endX, endY, endHeading, &pDeltaXYR);
  const double along = pDeltaXYR.x;
  const double length = std::hypot(endX - startX, endY - startY);
  const double halfLength = length * 0.5;

  // The shaping speed grows over the first half (VxMax keeps its peak) and ramps from that peak
  // down to 0 at the end point; it bounds the lateral correction.
  double shapingMagnitude = 0.0;
  if (std::fabs(along) >= halfLength) {
    const double shaping = (along + length) * VxCtrlStru.value[0] / scale + kShapingOffset;
    VxMax = max(shaping, VxMax);
    shapingMagnitude = std::fabs(shaping);
  } else if (halfLength > std::fabs(along)) {
    const double shaping = VxMax - (along + halfLength) * VxMax / halfLength;
    shapingMagnitude = std::fabs(shaping);
  }

  out->vx = TrapezoidV(0.0, length, along + length, VxCtrlStru.value[0], VxCtrlStru.value[1],
                       startSpeed, maxSpeed, endSpeed, scale);

  double vy = -VyCtrlStru.value[0] * pDeltaXYR.y;
  if (std::fabs(vy) / shapingMagnitude > kLateralShare) {
    vy = Sign(vy) * kLateralShare * shapingMagnitude;
  }
  out->vy = vy;

  double w = WCtrlStru.value[2] * pDeltaXYR.r;
  if (maxW < w) {
    w = maxW;
  }
  if (-maxW > w) {
    w = -maxW;
  }
  out->w = w;

  if (std::fabs(out->vx) < kCreepSpeed) {
    out->vy = 0.0;
    out->w = 0.0;
  }
  return pDeltaXYR;
}

bool Rotation(double startAngle, double currentAngle, double targetAngle, double minSpeed,
              double maxSpeed, double accSlope, double decSlope, double scale, double tolerance,
              double* out) {
  // A span beyond half a turn crosses the +-pi seam: shift all three angles by half a turn, which
  // keeps their differences and moves them away from the seam.
  double span = targetAngle - startAngle;
  if (span > kPi || span < -kPi) {
    targetAngle = Rotationfunction(targetAngle);
    currentAngle = Rotationfunction(currentAngle);
    startAngle = Rotationfunction(startAngle);
    span = targetAngle - startAngle;
  }
  const double total = std::fabs(span);
  const double turned = std::fabs(currentAngle - startAngle);
  const double direction = targetAngle - currentAngle > 0.0 ? 1.0 : -1.0;
  *out = direction *
         TrapezoidV(0.0, total, turned, accSlope, decSlope, minSpeed, maxSpeed, minSpeed, scale);
  return turned - total >= -tolerance;
}

bool spinTurn(double startAngle, double currentAngle, double targetAngle, double minSpeed,
              double maxSpeed, double accSlope, double decSlope, double scale, double tolerance,
              double* out) {
  const double start = NormalizationAnglePos(startAngle);
  const double target = NormalizationAnglePos(targetAngle);
  const double current = NormalizationAnglePos(currentAngle);
  const double total = CalcAngleError(start, target);
  const double turned = CalcAngleError(start, current);
  *out = Sign(total) * TrapezoidV(0.0, std::fabs(total), std::fabs(turned), accSlope, decSlope,
                                  minSpeed, maxSpeed, minSpeed, scale);
  // Completion is judged on the angles as passed; callers keep them in the same range.
  return tolerance > std::fabs(targetAngle - currentAngle);
}
