// What a planner's replans cost a route, each beside the same route sent once: a RouteFollower
// drives a unicycle in closed loop at 20 Hz, in-process, and the planner sends its path once or
// again every second from where the vehicle is measured. Prints a Markdown table.
//
//   cmake --build build --target trelvo-route-replans && build/bench/trelvo-route-replans

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "route_drives.hpp"

// The controller pauses 10 ms at each change of state; here time is simulated, so the pauses
// take none.
extern "C" __attribute__((visibility("default"))) int usleep(useconds_t /*microseconds*/) {
  return 0;
}

namespace {

using trelvo::RouteEvent;
using trelvo_test::PlannerFrame;
using trelvo_test::RouteDrive;
using trelvo_test::XY;

constexpr int kReplanCycles = 20;      // 1 Hz at 20 Hz
constexpr int kLCycleLimit = 1200;     // 60 s
constexpr int kStairStepCycles = 600;  // 30 s
constexpr double kStairStepDegrees = 20.0;
constexpr int kStairStepSteps = 1930;  // 1931 poses

struct Figures {
  std::size_t legs = 0;
  int routesStarted = 0;
  int stops = 0;
  double largestTurnDegrees = 0.0;
  double seconds = 0.0;  // to the goal; NaN when not reached
  double metres = 0.0;
};

Figures figuresOf(const RouteDrive& drive, bool finished) {
  Figures f;
  f.legs = drive.follower.legs().size();
  for (const RouteEvent event : drive.events) {
    f.routesStarted += event == RouteEvent::RouteStarted ? 1 : 0;
  }
  f.stops = drive.stops;
  f.largestTurnDegrees = drive.largestTurnOnTheSpot * 180.0 / M_PI;
  f.seconds = finished ? drive.cycles * trelvo_test::kRoutePeriod : NAN;
  f.metres = drive.metres;
  return f;
}

XY measuredIn(const RouteDrive& drive, const PlannerFrame& frame) {
  const auto& p = drive.measured().pose.position;
  return frame.toPlanner(p.x, p.y);
}

// The L in the turned frame, sent once or replanned every second, with `noise` on each pose.
Figures driveL(double noise, bool replans) {
  const PlannerFrame& frame = trelvo_test::kReplanFrame;
  std::mt19937 random(29);
  RouteDrive drive;
  const XY start = frame.toDrive(trelvo_test::kReplanL.front());
  drive.vehicle = {start.first, start.second, frame.rotation};
  const double goalYaw = M_PI / 2;
  drive.follower.receivePath(trelvo_test::arrivingPath(
      trelvo_test::densePoints(trelvo_test::kReplanL), frame, goalYaw, noise, random));
  bool finished = false;
  while (!finished && drive.cycles < kLCycleLimit) {
    if (replans && drive.cycles > 0 && drive.cycles % kReplanCycles == 0) {
      drive.follower.receivePath(trelvo_test::arrivingPath(
          trelvo_test::lFrom(measuredIn(drive, frame)), frame, goalYaw, noise, random));
    }
    finished = drive.step() == RouteEvent::RouteFinished;
  }
  return figuresOf(drive, finished);
}

// The stair-step diagonal, sent once or replanned every second, with `noise` on each pose; the
// figures after 30 s.
Figures driveStairStep(double noise, bool replans) {
  const std::vector<XY> stairs = trelvo_test::stairStep(kStairStepDegrees, kStairStepSteps);
  const PlannerFrame frame{};
  const double goalYaw = trelvo_test::radians(kStairStepDegrees);
  std::mt19937 random(29);
  RouteDrive drive;
  drive.vehicle = {0.0, 0.0, goalYaw};
  drive.follower.receivePath(trelvo_test::arrivingPath(stairs, frame, goalYaw, noise, random));
  while (drive.cycles < kStairStepCycles) {
    if (replans && drive.cycles > 0 && drive.cycles % kReplanCycles == 0) {
      drive.follower.receivePath(
          trelvo_test::arrivingPath(trelvo_test::stairStepFrom(stairs, measuredIn(drive, frame)),
                                    frame, goalYaw, noise, random));
    }
    drive.step();
  }
  return figuresOf(drive, false);
}

void printRow(const char* what, const Figures& f) {
  std::printf("| %-44s | %4zu | %6d | %5d | %8.1f | %7.2f | %6.2f |\n", what, f.legs,
              f.routesStarted, f.stops, f.largestTurnDegrees, f.seconds, f.metres);
}

}  // namespace

int main() {
  std::printf(
      "| route (unicycle at 20 Hz, replans at 1 Hz)    | legs | routes | stops | turn deg "
      "| goal s  | metres |\n");
  std::printf(
      "|----------------------------------------------|------|--------|-------|----------"
      "|---------|--------|\n");
  printRow("L turned 30 deg, sent once", driveL(0.0, false));
  printRow("L turned 30 deg, replanned", driveL(0.0, true));
  printRow("L turned 30 deg, +-2 cm noise, sent once", driveL(0.02, false));
  printRow("L turned 30 deg, +-2 cm noise, replanned", driveL(0.02, true));
  printRow("stair-step 20 deg, 1931 poses, sent once (30 s)", driveStairStep(0.0, false));
  printRow("stair-step, +-1 cm noise, replanned (30 s)", driveStairStep(0.01, true));
  return 0;
}
