#pragma once

// Stable sort of (distance, list position) pairs by distance, for building the search indexes in
// key order: inserting ascending keys at the end of a map costs amortised constant time, while
// inserting them in list order walks a tree too large for the cache.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

using DistanceEntry = std::pair<double, int>;  // distance, position in the list

/// Sorts entries by distance, keeping list order among equal distances: a radix sort on the bit
/// pattern, least significant 11-bit digit first. Every distance must be +0, positive or
/// +infinity (a square root of a sum of squares is); their bit patterns then order as their
/// values do. scratch is working storage, kept by the caller between calls.
inline void sortByDistance(std::vector<DistanceEntry>& entries,
                           std::vector<DistanceEntry>& scratch) {
  constexpr int kDigitBits = 11;
  constexpr int kSortedBits = 63;  // all but the sign, which is clear
  constexpr std::uint64_t kDigitMask = (std::uint64_t{1} << kDigitBits) - 1;
  const auto digit = [](const DistanceEntry& entry, int shift) {
    std::uint64_t bits;
    std::memcpy(&bits, &entry.first, sizeof bits);
    return static_cast<std::size_t>((bits >> shift) & kDigitMask);
  };
  // Below this count clearing and summing the digit counts costs more than comparing.
  constexpr std::size_t kFewestForRadix = 256;
  if (entries.size() < kFewestForRadix) {
    std::stable_sort(
        entries.begin(), entries.end(),
        [](const DistanceEntry& a, const DistanceEntry& b) { return a.first < b.first; });
    return;
  }
  // The counts of every digit in one sweep over the entries (a digit's counts do not change when
  // a pass reorders them); lists hold fewer than 2^31 elements.
  constexpr int kDigitCount = (kSortedBits + kDigitBits - 1) / kDigitBits;
  std::array<std::array<std::uint32_t, kDigitMask + 1>, kDigitCount> counts{};
  for (const DistanceEntry& entry : entries) {
    for (int pass = 0; pass < kDigitCount; ++pass) {
      ++counts[pass][digit(entry, pass * kDigitBits)];
    }
  }
  scratch.resize(entries.size());
  for (int pass = 0; pass < kDigitCount; ++pass) {
    const int shift = pass * kDigitBits;
    auto& starts = counts[pass];
    if (starts[digit(entries.front(), shift)] == entries.size()) {
      continue;  // all entries share this digit: the pass would move nothing
    }
    std::uint32_t start = 0;
    for (std::uint32_t& bucket : starts) {
      start += std::exchange(bucket, start);
    }
    for (const DistanceEntry& entry : entries) {
      scratch[starts[digit(entry, shift)]++] = entry;
    }
    entries.swap(scratch);
  }
}
