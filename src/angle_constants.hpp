#pragma once

// Pi and the fractions of a turn the library computes with, in radians: one definition for the
// controller, the toolkit and Geometry, the double nearest each value.

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 2.0 * kPi;    // 6.283185307179586
inline constexpr double kHalfPi = kPi / 2.0;   // 1.5707963267948966
inline constexpr double kThirdPi = kPi / 3.0;  // 1.0471975511965976
