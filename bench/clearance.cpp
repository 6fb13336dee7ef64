// The clearance decision for one laser scan of 1 081 returns (270 degrees at a quarter of a degree)
// and a route of three legs ahead, as trelvo-node would run it every cycle: in a 6 m by 4 m room
// whose walls stay out of the route's way, and in a narrow aisle whose shelves run beside the
// route within the slowdown distance, so that most returns reach the leg and turn tests.

#include <cmath>
#include <vector>

#include <benchmark/benchmark.h>

#include "trelvo/clearance.hpp"

namespace {

constexpr int kReturns = 1081;
constexpr double kFieldOfView = 1.5 * M_PI;  // rad

// Where each beam from the base origin first meets a wall of the box [-back, ahead] x [-right,
// left].
std::vector<trelvo::Point2D> scanOfBox(double ahead, double back, double left, double right) {
  std::vector<trelvo::Point2D> points;
  for (int i = 0; i < kReturns; ++i) {
    const double angle = -kFieldOfView / 2 + kFieldOfView * i / (kReturns - 1);
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double range = std::fmin(c > 0   ? ahead / c
                                   : c < 0 ? -back / c
                                           : INFINITY,
                                   s > 0   ? left / s
                                   : s < 0 ? -right / s
                                           : INFINITY);
    points.push_back({range * c, range * s});
  }
  return points;
}

void decide(benchmark::State& state, const std::vector<trelvo::Point2D>& scan) {
  const trelvo::Footprint footprint{{{-0.3, -0.2}, {0.3, -0.2}, {0.3, 0.2}, {-0.3, 0.2}}, 0.0};
  const trelvo::RouteAhead route{{{2.0, 0.0}, {2.0, 1.5}, {-1.0, 1.5}}, M_PI};
  const trelvo::ClearanceSettings settings;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        trelvo::decideClearance(footprint, route, {0.5, 0.05}, scan, settings));
  }
  state.SetItemsProcessed(state.iterations() * kReturns);
}

void ClearanceInARoom(benchmark::State& state) {
  decide(state, scanOfBox(4.0, 2.0, 2.5, 1.5));
}

void ClearanceInAnAisle(benchmark::State& state) {
  decide(state, scanOfBox(2.6, 0.6, 1.9, 0.3));
}

}  // namespace

BENCHMARK(ClearanceInARoom);
BENCHMARK(ClearanceInAnAisle);
