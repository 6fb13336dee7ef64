// Geometry's nearest-element searches, each beside a plain linear scan that computes the same
// distances with the same Geometry calls and keeps the minimum. The searches also rebuild their
// ordered index on every query; the scan is the floor they are held against.
//
// Elements are spread uniformly over a 100 m square (segments join consecutive random points);
// the queries cycle through a fixed set of random points in the same square.

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "trelvo/geometry.hpp"

namespace {

constexpr double kAreaSide = 100.0;  // m
constexpr int kQueryCount = 64;

std::vector<VECTOR2D> randomPoints(int count, std::uint32_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> coordinate(0.0, kAreaSide);
  std::vector<VECTOR2D> points(count);
  for (VECTOR2D& point : points) {
    point.x = coordinate(random);
    point.y = coordinate(random);
  }
  return points;
}

Geometry geometryWithPoints(int count) {
  Geometry geometry;
  geometry.points = randomPoints(count, 1);
  return geometry;
}

Geometry geometryWithSegments(int count) {
  Geometry geometry;
  std::vector<VECTOR2D> corners = randomPoints(count + 1, 2);
  for (int i = 0; i < count; ++i) {
    geometry.lineSegments.push_back(geometry.getLineSegment(corners[i], corners[i + 1]));
  }
  return geometry;
}

void NearestPoint(benchmark::State& state) {
  Geometry geometry = geometryWithPoints(static_cast<int>(state.range(0)));
  std::vector<VECTOR2D> queries = randomPoints(kQueryCount, 3);
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(geometry.getNearestPoint(queries[next]));
    next = (next + 1) % queries.size();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void PointScan(benchmark::State& state) {
  Geometry geometry = geometryWithPoints(static_cast<int>(state.range(0)));
  std::vector<VECTOR2D> queries = randomPoints(kQueryCount, 3);
  std::size_t next = 0;
  for (auto _ : state) {
    VECTOR2D* nearest = nullptr;
    double smallest = std::numeric_limits<double>::infinity();
    for (VECTOR2D& point : geometry.points) {
      const double distance = geometry.getDistance(queries[next], point);
      if (distance <= smallest) {
        smallest = distance;
        nearest = &point;
      }
    }
    benchmark::DoNotOptimize(nearest);
    next = (next + 1) % queries.size();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void NearestLine(benchmark::State& state) {
  Geometry geometry = geometryWithSegments(static_cast<int>(state.range(0)));
  std::vector<VECTOR2D> queries = randomPoints(kQueryCount, 3);
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(geometry.getNearestLine(queries[next]));
    next = (next + 1) % queries.size();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void LineScan(benchmark::State& state) {
  Geometry geometry = geometryWithSegments(static_cast<int>(state.range(0)));
  std::vector<VECTOR2D> queries = randomPoints(kQueryCount, 3);
  std::size_t next = 0;
  for (auto _ : state) {
    Geometry::LineSegment* nearest = nullptr;
    double smallest = std::numeric_limits<double>::infinity();
    for (Geometry::LineSegment& segment : geometry.lineSegments) {
      const double distance = geometry.getMinimumDistancePointToLine(segment, queries[next]);
      if (distance <= smallest) {
        smallest = distance;
        nearest = &segment;
      }
    }
    benchmark::DoNotOptimize(nearest);
    next = (next + 1) % queries.size();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(NearestPoint)->Name("Geometry/getNearestPoint")->Arg(10)->Arg(1000)->Arg(100000);
BENCHMARK(PointScan)->Name("Geometry/PointScan")->Arg(10)->Arg(1000)->Arg(100000);
BENCHMARK(NearestLine)->Name("Geometry/getNearestLine")->Arg(10)->Arg(1000)->Arg(100000);
BENCHMARK(LineScan)->Name("Geometry/LineScan")->Arg(10)->Arg(1000)->Arg(100000);

}  // namespace
