// Deviation of a pose from a directed line, and the distance-based trapezoid speed profile.

#include <cmath>

#include "trelvo/motion.hpp"

void CalLineDelta(double px, double py, double heading, double startX, double startY, double endX,
                  double endY, double /*endHeading*/, DeltaXYR* out) {
  const double dx = endX - startX;
  const double dy = endY - startY;
  const double t = ((px - startX) * dx + (py - startY) * dy) / (dx * dx + dy * dy);
  const double footX = dx * t + startX;
  const double footY = dy * t + startY;

  const double toEnd = std::hypot(endX - footX, endY - footY);
  out->x = t < 1.0 ? -toEnd : toEnd;

  const double offLine = std::hypot(px - footX, py - footY);
  const double leftOfLine = (py - startY) * dx - (px - startX) * dy;
  out->y = leftOfLine > 0.0 ? offLine : -offLine;

  out->r = NormalizationAngle(heading - std::atan2(dy, dx));
}

double TrapezoidV(double startPos, double endPos, double pos, double accSlope, double decSlope,
                  double startSpeed, double maxSpeed, double endSpeed, double scale) {
  // Where the rising line from startSpeed meets the falling line into endSpeed.
  double switchPos =
      ((startSpeed - endSpeed - accSlope * startPos / scale + decSlope * endPos / scale) /
       (decSlope - accSlope)) *
      scale;
  if (startPos > switchPos || switchPos > endPos) {
    switchPos = (endPos - startPos) * 0.5;
  }

  double speed = 0.0;
  if (switchPos > std::fabs(pos)) {
    speed = (pos - startPos) * accSlope / scale + startSpeed;
  } else {
    speed = (pos - endPos) * decSlope / scale;
    // Past the end the speed turns negative, driving the vehicle back toward the end point.
    speed = pos > endPos ? speed - endSpeed : speed + endSpeed;
  }
  if (pos < startPos) {
    speed = startSpeed;
  }
  return maxSpeed < speed ? maxSpeed : speed;
}
