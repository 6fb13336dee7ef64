// Clamps, sign and angle arithmetic shared by every motion primitive. The comparison senses decide
// ties, crossed bounds and NaN, and callers rely on them: keep each comparison exactly as written.

#include <cmath>

#include "angle_constants.hpp"
#include "trelvo/motion.hpp"

namespace {

// atan2 of the angle's sine and cosine, taken from one joint evaluation so both come from the
// same argument reduction.
double wrapToPi(double angle) {
  double sine = 0.0;
  double cosine = 0.0;
  sincos(angle, &sine, &cosine);
  return std::atan2(sine, cosine);
}

}  // namespace

double fSat(double value, double lower, double upper) {
  if (value >= upper) {
    return upper;
  }
  if (lower > value) {
    return lower;
  }
  return value;
}

double SetLimit(double value, double upper, double lower) {
  if (lower > value) {
    return lower;
  }
  if (upper < value) {
    return upper;
  }
  return value;
}

double max(double a, double b) {
  return a > b ? a : b;
}

// Written as x >= 0 so that NaN, which fails every comparison, counts as negative.
int Sign(double x) {
  return x >= 0.0 ? 1 : -1;
}

double NormalizationAngle(double angle) {
  return wrapToPi(angle);
}

double NormalizationAnglePos(double angle) {
  const double wrapped = wrapToPi(angle);
  return wrapped < 0.0 ? wrapped + kTwoPi : wrapped;
}

double Rotationfunction(double angle) {
  if (angle >= 0.0 && angle < kTwoPi) {
    return angle - kPi;
  }
  if (angle >= -kTwoPi && angle < 0.0) {
    return angle + kPi;
  }
  return 0.0;
}

double CalcAngleError(double from, double to) {
  const double difference = to - from;
  if (difference >= 0.0) {
    return difference <= kPi ? difference : difference - kTwoPi;
  }
  return (from - to) <= kPi ? difference : difference + kTwoPi;
}
