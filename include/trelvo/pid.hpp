#pragma once

// Discrete PID controller with a clamped output, one per controlled quantity.
//
//   PID pid(0.05, 1.0, -1.0, kp, kd, ki);       // dt, maxOutput, minOutput, kp, kd, ki
//   double u = pid.calculate(setpoint, measured);  // once per period dt
//
// One step, with error e = setpoint - processValue:
//   integral += dt * e                      (stored before the output is formed)
//   derivative = (e - previousError) / dt
//   output = (ki * integral + kp * e) + kd * derivative
//   result = output > maxOutput ? maxOutput : (minOutput > output ? minOutput : output)
//   previousError = e                       (also when the output was clamped)
//
// The gains are in the time unit of dt; ki multiplies the accumulated error x time. There is no
// anti-windup: the integral keeps growing while the output sits at a bound. The derivative acts on
// the error, so a setpoint step gives a derivative spike. Nothing is validated: dt = 0 gives an
// infinite or NaN derivative (+-inf is clamped, NaN passes both strict tests and is returned), and
// with minOutput > maxOutput every output not above maxOutput comes back as minOutput.
//
// Calls on one object must be serialised by the caller; separate objects are independent.

#include <memory>

#include "trelvo/export.hpp"

/// The state and arithmetic of a PID controller; usable on its own or through the PID handle.
class TRELVO_API PIDImpl {
 public:
  /// Stores the six values; previousError and integral start at 0. kd comes before ki.
  PIDImpl(double dt, double maxOutput, double minOutput, double kp, double kd, double ki);
  ~PIDImpl();

  /// One controller step (see the formula above); returns the clamped output.
  double calculate(double setpoint, double processValue);

 private:
  double dt;         // time step between two calculate calls
  double maxOutput;  // upper bound of the result, tested first
  double minOutput;  // lower bound of the result
  double kp;
  double kd;
  double ki;
  double previousError = 0.0;  // error of the previous calculate call
  double integral = 0.0;       // running sum of error * dt
};

/// Handle owning one PIDImpl on the heap. Not copyable; a move hands the implementation over and
/// leaves the moved-from handle empty. An empty handle's calculate returns 0: it has no state to
/// compute from, and 0 is the output of a controller without gains, a standstill where the result
/// drives an actuator, where NaN would be passed on to it.
class TRELVO_API PID {
 public:
  /// Same arguments, same order as PIDImpl. A failed allocation propagates as std::bad_alloc.
  PID(double dt, double maxOutput, double minOutput, double kp, double kd, double ki);
  ~PID();

  PID(const PID&) = delete;
  PID& operator=(const PID&) = delete;
  PID(PID&& other) noexcept;
  PID& operator=(PID&& other) noexcept;

  /// Forwards to the implementation and returns its result unchanged; 0 from an empty handle.
  double calculate(double setpoint, double processValue);

 private:
  std::unique_ptr<PIDImpl> pimpl;
};
