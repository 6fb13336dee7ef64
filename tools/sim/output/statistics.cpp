#include "sim/output/statistics.hpp"

#include <algorithm>
#include <cmath>

namespace sim {
namespace {

// The smallest value with at least `fraction` of all values at or below it.
double nearestRank(const std::vector<double>& sorted, double fraction) {
  const auto rank = static_cast<std::size_t>(std::ceil(fraction * sorted.size()));
  return sorted[std::max<std::size_t>(rank, 1) - 1];
}

}  // namespace

Spread spreadOf(std::vector<double> values) {
  if (values.empty()) {
    return {0.0, 0.0, 0.0};
  }
  std::sort(values.begin(), values.end());
  return {nearestRank(values, 0.5), nearestRank(values, 0.95), values.back()};
}

}  // namespace sim
