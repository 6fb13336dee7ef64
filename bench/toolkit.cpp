// Cost per call of the toolkit steps a control cycle leans on, and of the PID class.

#include <cmath>

#include <benchmark/benchmark.h>

#include "trelvo/motion.hpp"
#include "trelvo/pid.hpp"

namespace {

// Controller-sized deviation: 6 m before the end, 0.1 m left of the line, 3 degrees off.
DeltaXYR lineDeviation() {
  return {-6.0, 0.1, 0.05};
}

void MvRun(benchmark::State& state) {
  PIDInit0();
  DeltaXYR deviation = lineDeviation();
  AGV_VxVyW command{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(deviation);
    mvRun(deviation, command);
    benchmark::DoNotOptimize(command);
  }
}
BENCHMARK(MvRun)->Name("Toolkit/mvRun");

void TrapezoidVOnTheLine(benchmark::State& state) {
  double pos = 4.0;  // m covered of 10, on the cruise part
  for (auto _ : state) {
    benchmark::DoNotOptimize(pos);
    benchmark::DoNotOptimize(TrapezoidV(0.0, 10.0, pos, 0.03, -0.03, 0.1, 0.4, 0.1, 0.05));
  }
}
BENCHMARK(TrapezoidVOnTheLine)->Name("Toolkit/TrapezoidV");

void CalLineDeltaOffTheLine(benchmark::State& state) {
  double px = 4.0;
  DeltaXYR out{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(px);
    CalLineDelta(px, 0.1, 0.05, 0.0, 0.0, 10.0, 0.0, 0.0, &out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(CalLineDeltaOffTheLine)->Name("Toolkit/CalLineDelta");

// Millimetre-sized straight move, first half, with every correction active.
void NewPID3OnTheLine(benchmark::State& state) {
  VxCtrlStru.value[0] = 100.0;
  VxCtrlStru.value[1] = -100.0;
  VyCtrlStru.value[0] = 2.0;
  WCtrlStru.value[2] = 1.5;
  VxMax = 0.0;
  double px = 300.0;
  AGV_VxVyW out{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(px);
    benchmark::DoNotOptimize(NewPID3(px, 30.0, 0.05, 0.0, 0.0, 0.0, 0.0, 0.0, 1000.0, 0.0, 50.0,
                                     &out, 50.0, 300.0, 50.0, 0.5));
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(NewPID3OnTheLine)->Name("Toolkit/NewPID3");

// Two steerable wheels at their mounting positions, turning while driving, range +-90 degrees.
void VW2WheelsNewTurning(benchmark::State& state) {
  gWheelOffsetAngleSet = 0.0;
  gWheelRotateMin = -M_PI_2;
  gWheelRotateMax = M_PI_2;
  const AGV_Pos wheelA{70.0, 195.0, 0.0};
  const AGV_Pos wheelB{-70.0, -195.0, 0.0};
  double w = 0.1;
  WheelVROut outA{};
  WheelVROut outB{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(w);
    VW2WheelsNew(300.0, 10.0, w, 0.1, 0.0, wheelA, wheelB, &outA, &outB);
    benchmark::DoNotOptimize(outA);
    benchmark::DoNotOptimize(outB);
  }
}
BENCHMARK(VW2WheelsNewTurning)->Name("Toolkit/VW2WheelsNew");

void PidCalculate(benchmark::State& state) {
  PID pid(0.05, 1.0, -1.0, 0.8, 0.05, 0.2);
  double measured = 0.3;
  for (auto _ : state) {
    benchmark::DoNotOptimize(measured);
    benchmark::DoNotOptimize(pid.calculate(0.5, measured));
  }
}
BENCHMARK(PidCalculate)->Name("PID/calculate");

}  // namespace
