#include "trelvo/pid.hpp"

PIDImpl::PIDImpl(double dt, double maxOutput, double minOutput, double kp, double kd, double ki)
    : dt(dt), maxOutput(maxOutput), minOutput(minOutput), kp(kp), kd(kd), ki(ki) {}

PIDImpl::~PIDImpl() = default;

double PIDImpl::calculate(double setpoint, double processValue) {
  const double error = setpoint - processValue;
  integral = dt * error + integral;
  const double derivative = (error - previousError) / dt;
  const double output = (ki * integral + kp * error) + kd * derivative;

  // Strict tests, upper bound first: an output equal to a bound, and NaN, pass unchanged.
  double result = output;
  if (output > maxOutput) {
    result = maxOutput;
  } else if (minOutput > output) {
    result = minOutput;
  }

  previousError = error;
  return result;
}
