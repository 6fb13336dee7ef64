#include "trelvo/pid.hpp"

PID::PID(double dt, double maxOutput, double minOutput, double kp, double kd, double ki)
    : pimpl(std::make_unique<PIDImpl>(dt, maxOutput, minOutput, kp, kd, ki)) {}

PID::~PID() = default;

PID::PID(PID&& other) noexcept = default;

PID& PID::operator=(PID&& other) noexcept = default;

double PID::calculate(double setpoint, double processValue) {
  return pimpl ? pimpl->calculate(setpoint, processValue) : 0.0;
}
