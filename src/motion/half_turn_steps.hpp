#pragma once

// Half-turn stepping of steering angles, shared by the wheel functions. A steerable wheel may point
// either way along its axis, so an angle is moved by pi at a time, flipping the wheel's travel sign
// with each step, until it lies where the mechanics allow.
//
// Stepping one pi at a time never ends for an infinite angle or bound, nor once the angle is so
// large that angle - pi == angle (from about 3.6e16 on); rounding above 2^53 can make it oscillate;
// and a finite angle of 1e15 would need some 3e14 steps. The control thread must not hang, so each
// loop here takes the very same steps one at a time but gives up when
//   * the angle starts more than kMaxHalfTurns half turns (kMaxHalfTurns * pi) from its bound, or
//   * it still has not reached the bound after kMaxHalfTurns steps.
// A loop that gives up reports false and leaves the angle and the sign as they were; the caller
// decides what the wheel does then. NaN fails every comparison and ends a loop at once.

#include <cmath>

#include "angle_constants.hpp"

constexpr long kMaxHalfTurns = 1000000;                 // steps of pi per loop
constexpr double kFarthestStart = kMaxHalfTurns * kPi;  // rad from the bound

// While angle > upper: angle -= pi, sign = -sign.
inline bool stepHalfTurnsDownTo(double upper, double& angle, int& sign) {
  if (angle - upper > kFarthestStart) {
    return false;
  }
  double stepped = angle;
  int steppedSign = sign;
  for (long steps = 0; stepped > upper; ++steps) {
    if (steps == kMaxHalfTurns) {
      return false;
    }
    stepped -= kPi;
    steppedSign = -steppedSign;
  }
  angle = stepped;
  sign = steppedSign;
  return true;
}

// While angle < lower: angle += pi, sign = -sign.
inline bool stepHalfTurnsUpTo(double lower, double& angle, int& sign) {
  if (lower - angle > kFarthestStart) {
    return false;
  }
  double stepped = angle;
  int steppedSign = sign;
  for (long steps = 0; stepped < lower; ++steps) {
    if (steps == kMaxHalfTurns) {
      return false;
    }
    stepped += kPi;
    steppedSign = -steppedSign;
  }
  angle = stepped;
  sign = steppedSign;
  return true;
}

// The steering-range adjustment: down below upper, then up above lower. The first loop is not
// repeated, so with a range narrower than pi the angle may end above upper. False when either loop
// gives up; angle and sign are then left as they were.
inline bool stepHalfTurnsIntoRange(double lower, double upper, double& angle, int& sign) {
  double stepped = angle;
  int steppedSign = sign;
  if (!stepHalfTurnsDownTo(upper, stepped, steppedSign) ||
      !stepHalfTurnsUpTo(lower, stepped, steppedSign)) {
    return false;
  }
  angle = stepped;
  sign = steppedSign;
  return true;
}

// While |reference - angle| > pi/2: angle += pi if the reference lies above it, else angle -= pi;
// sign = -sign each time. Ends with the angle within a quarter turn of the reference.
inline bool stepHalfTurnsToward(double reference, double& angle, int& sign) {
  if (std::fabs(reference - angle) > kFarthestStart) {
    return false;
  }
  double stepped = angle;
  int steppedSign = sign;
  for (long steps = 0; std::fabs(reference - stepped) > kHalfPi; ++steps) {
    if (steps == kMaxHalfTurns) {
      return false;
    }
    stepped += reference > stepped ? kPi : -kPi;
    steppedSign = -steppedSign;
  }
  angle = stepped;
  sign = steppedSign;
  return true;
}
