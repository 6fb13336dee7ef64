// The PID class with arbitrary parameters and an arbitrary sequence of set points and
// measurements. Every result must equal, bit for bit, the documented step worked out here beside
// it: the integral and previous error advance on every call, the output is clamped with the upper
// bound tested first, and a NaN output passes both strict tests. The handle, a moved-to handle and
// a bare PIDImpl must agree.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "fuzz_support.hpp"
#include "trelvo/pid.hpp"

namespace {

using fuzz::check;
using fuzz::Input;
using fuzz::same;

// The documented step, kept beside the library's.
struct ReferencePid {
  double dt, maxOutput, minOutput, kp, kd, ki;
  double previousError = 0.0;
  double integral = 0.0;

  double calculate(double setpoint, double processValue) {
    const double error = setpoint - processValue;
    integral = dt * error + integral;
    const double derivative = (error - previousError) / dt;
    const double output = (ki * integral + kp * error) + kd * derivative;
    previousError = error;
    if (output > maxOutput) {
      return maxOutput;
    }
    return minOutput > output ? minOutput : output;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::withinBudget([&](fuzz::CallTimer& timer) {
    Input in(data, size);
    const double dt = in.real(), maxOutput = in.real(), minOutput = in.real(), kp = in.real(),
                 kd = in.real(), ki = in.real();
    ReferencePid reference{dt, maxOutput, minOutput, kp, kd, ki};
    PIDImpl impl(dt, maxOutput, minOutput, kp, kd, ki);
    PID pid(dt, maxOutput, minOutput, kp, kd, ki);
    constexpr int kMostCallsPerRun = 4096;
    for (int calls = 0; calls < kMostCallsPerRun && !in.empty(); ++calls) {
      if (in.choice(16) == 0) {
        PID moved(std::move(pid));
        pid = std::move(moved);
      }
      const double setpoint = in.real(), processValue = in.real();
      double result = 0.0;
      double implResult = 0.0;
      timer.time("PID::calculate", [&] { result = pid.calculate(setpoint, processValue); });
      timer.time("PIDImpl::calculate",
                 [&] { implResult = impl.calculate(setpoint, processValue); });
      const double expected = reference.calculate(setpoint, processValue);
      check(same(result, expected), "PID::calculate follows the documented step bit for bit");
      check(same(implResult, result), "PIDImpl and PID agree bit for bit");
      if (minOutput <= maxOutput && !std::isnan(result)) {
        check(minOutput <= result && result <= maxOutput, "output within [minOutput, maxOutput]");
      }
    }
  });
  return 0;
}
