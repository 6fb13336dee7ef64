#pragma once

// Order statistics of a batch's figures.

#include <vector>

namespace sim {

struct Spread {
  double median;
  double p95;
  double worst;  // the largest value
};

/// Nearest-rank median and 95th percentile, and the maximum; all zero for no values.
Spread spreadOf(std::vector<double> values);

}  // namespace sim
