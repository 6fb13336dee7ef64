#pragma once

// The trelvo-sim command line.

#include <optional>
#include <stdexcept>
#include <string>

#include "sim/settings.hpp"

namespace sim {

/// Bad command-line input; the message is one line naming the option at fault.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Where the single run and the batch write when no --out is given (relative to the working
/// directory).
inline constexpr const char* kDefaultOutputFolder = "out/trelvo-sim";

/// Parses the command line. Returns nothing when --help was asked for (the help is printed on
/// standard output); throws UsageError for malformed, missing, non-finite or out-of-range values,
/// unknown options and conflicting options.
std::optional<Options> parseOptions(int argc, const char* const* argv);

}  // namespace sim
