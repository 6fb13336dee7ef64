#pragma once

// How trelvo-sim refuses what its user wrote.

#include <stdexcept>

namespace sim {

/// Bad input on the command line or in a suite file; the message is one line naming the option,
/// or the file, line and field, at fault.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace sim
