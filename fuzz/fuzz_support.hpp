#pragma once

// What every harness shares: reading values from the fuzzer's bytes, failing on a broken
// invariant, and the time budget of one library call.

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace fuzz {

/// Reads an input as a stream of values; an exhausted input reads as zeros. Each double comes
/// with a tag byte that picks one of: a value that breaks arithmetic (NaN, infinities, signed
/// zeros, subnormals, 1e300, the angles and sizes the code compares against), a small step
/// value, a value of everyday size, or eight raw bytes.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool empty() const { return offset_ >= size_; }

  std::uint8_t byte() { return empty() ? 0 : data_[offset_++]; }

  /// A value in [0, count).
  unsigned choice(unsigned count) { return byte() % count; }

  double real() {
    const std::uint8_t tag = byte();
    if (tag < 64) {
      return kSpecial[tag % (sizeof kSpecial / sizeof kSpecial[0])];
    }
    if (tag < 128) {
      return static_cast<std::int8_t>(byte()) / 4.0;  // -32 to 31.75 in quarters
    }
    if (tag < 192) {
      std::int16_t hundredths = 0;
      bytes(&hundredths, sizeof hundredths);
      return hundredths / 100.0;  // -327.68 to 327.67
    }
    double raw = 0.0;
    bytes(&raw, sizeof raw);
    return raw;
  }

  /// real() in single precision; a finite value beyond the float range becomes an infinity.
  float single() { return narrow(real()); }

  static float narrow(double value) {
    if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
      return std::copysign(std::numeric_limits<float>::infinity(), value);
    }
    return static_cast<float>(value);
  }

 private:
  void bytes(void* out, std::size_t count) {
    std::memset(out, 0, count);
    const std::size_t available = size_ - offset_ < count ? size_ - offset_ : count;
    std::memcpy(out, data_ + offset_, available);
    offset_ += available;
  }

  static constexpr double kSpecial[] = {
      0.0,
      -0.0,
      1.0,
      -1.0,
      0.5,
      -0.5,
      M_PI,
      -M_PI,
      M_PI_2,
      -M_PI_2,
      2 * M_PI,
      3 * M_PI,
      std::numeric_limits<double>::quiet_NaN(),
      -std::numeric_limits<double>::quiet_NaN(),
      std::numeric_limits<double>::infinity(),
      -std::numeric_limits<double>::infinity(),
      1e300,
      -1e300,
      std::numeric_limits<double>::max(),
      -std::numeric_limits<double>::max(),
      std::numeric_limits<double>::min(),
      std::numeric_limits<double>::denorm_min(),
      -std::numeric_limits<double>::denorm_min(),
      1e-300,
      1e-4,
      0.001,
      0.02,
      0.05,
      0.1,
      150.0,
      70.0,
      195.0,
      1000.0,
      3.1e5,  // a hundred thousand half turns
      1e16,
      9007199254740993.0,  // 2^53 + 1
  };

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

/// True for one input in `count`, chosen by a hash (FNV-1a) of the whole input, so that a costly
/// check runs on a bounded share of the inputs and not on every mutant of one that runs it.
inline bool oneIn(std::uint32_t count, const std::uint8_t* data, std::size_t size) {
  std::uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < size; ++i) {
    hash = (hash ^ data[i]) * 16777619u;
  }
  return hash % count == 0;
}

/// Ends the run with a report when an invariant does not hold; libFuzzer keeps the input.
inline void check(bool holds, const char* invariant) {
  if (!holds) {
    std::fprintf(stderr, "invariant violated: %s\n", invariant);
    std::abort();
  }
}

/// Bitwise equality, under which every NaN equals every NaN.
inline bool same(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

/// Times each library call of one input and keeps the slowest.
class CallTimer {
 public:
  template <typename Call>
  void time(const char* name, Call call) {
    const auto start = std::chrono::steady_clock::now();
    call();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (took.count() > slowestMs_) {
      slowestMs_ = took.count();
      slowestName_ = name;
    }
  }

  double slowestMs() const { return slowestMs_; }
  const char* slowestName() const { return slowestName_; }

 private:
  double slowestMs_ = 0.0;
  const char* slowestName_ = "";
};

constexpr double kCallBudgetMs = 100.0;

/// Runs one input, `run(timer)` timing each library call. A call over the budget is measured
/// again on a second run of the whole input (which must start from the same state), so that a
/// moment of scheduling delay is not taken for a slow call.
template <typename Run>
void withinBudget(Run run) {
  CallTimer first;
  run(first);
  if (first.slowestMs() <= kCallBudgetMs) {
    return;
  }
  CallTimer second;
  run(second);
  if (second.slowestMs() > kCallBudgetMs) {
    std::fprintf(stderr, "invariant violated: %s took %.1f ms, more than %.0f ms\n",
                 second.slowestName(), second.slowestMs(), kCallBudgetMs);
    std::abort();
  }
}

}  // namespace fuzz
