#pragma once

// Strict reading of numbers written as text, shared by the command line and the suite files: the
// whole text must be the number (no whitespace, no hexadecimal; a leading '+' is allowed).

#include <cstdint>
#include <optional>
#include <string>

namespace common {

enum class Bound { Any, Positive, NonNegative };

/// Why `text` is not a finite decimal number within `bound`, or nothing when it is one.
std::optional<std::string> realComplaint(const std::string& text, Bound bound);

/// Why `text` is not a finite decimal number from `lowest` to `highest`, or nothing when it is
/// one; `unit` follows the bounds in the message ("must be from 1 to 1000 Hz, got '5000'").
std::optional<std::string> realRangeComplaint(const std::string& text, double lowest,
                                              double highest, const std::string& unit);

/// Why `text` is not a whole number from `lowest` to `highest`, or nothing when it is one.
std::optional<std::string> wholeNumberComplaint(const std::string& text, std::uint64_t lowest,
                                                std::uint64_t highest);

}  // namespace common
