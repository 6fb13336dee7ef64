// What a planner's replans cost a route, each beside the same route sent once: a RouteFollower
// drives a unicycle in closed loop at 20 Hz, in-process, and the planner sends its path once or
// again every second from where the vehicle is measured. Prints a Markdown table.
//
//   cmake -S . -B build -DTRELVO_BUILD_BENCHMARKS=ON
//   cmake --build build --target trelvo-route-replans && build/bench/trelvo-route-replans

#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "route_drives.hpp"

// The controller pauses 10 ms at each change of state; here time is simulated, so the pauses
// take none.
extern "C" __attribute__((visibility("default"))) int usleep(useconds_t /*microseconds*/) {
  return 0;
}

namespace {

using trelvo::RouteEvent;
using trelvo_test::RouteDrive;

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

Figures driveL(double noise, bool replans) {
  RouteDrive drive;
  trelvo_test::driveTurnedL(drive, noise, replans);
  return figuresOf(drive,
                   !drive.events.empty() && drive.events.back() == RouteEvent::RouteFinished);
}

Figures driveStairStep(double noise, bool replans) {
  RouteDrive drive;
  trelvo_test::driveStairStep(drive, noise, replans);
  return figuresOf(drive, false);
}

void printRow(const char* what, const Figures& f) {
  std::printf("| %-48s | %4zu | %6d | %5d | %8.1f | %7.2f | %6.2f |\n", what, f.legs,
              f.routesStarted, f.stops, f.largestTurnDegrees, f.seconds, f.metres);
}

}  // namespace

int main() {
  std::printf(
      "| route (unicycle at 20 Hz, replans at 1 Hz)        | legs | routes | stops | turn deg "
      "| goal s  | metres |\n");
  std::printf(
      "|--------------------------------------------------|------|--------|-------|----------"
      "|---------|--------|\n");
  printRow("L turned 30 deg, sent once", driveL(0.0, false));
  printRow("L turned 30 deg, replanned", driveL(0.0, true));
  printRow("L turned 30 deg, +-2 cm noise, sent once", driveL(0.02, false));
  printRow("L turned 30 deg, +-2 cm noise, replanned", driveL(0.02, true));
  printRow("stair-step 20 deg, 1931 poses, sent once (30 s)", driveStairStep(0.0, false));
  printRow("stair-step, +-1 cm noise, replanned (30 s)", driveStairStep(0.01, true));
  return 0;
}
