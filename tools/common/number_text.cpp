#include "common/number_text.hpp"

#include <charconv>
#include <cmath>
#include <sstream>

namespace common {
namespace {

// The finite number `text` holds, or why it holds none.
struct ReadReal {
  double value = 0.0;
  std::optional<std::string> complaint;
};

ReadReal readReal(const std::string& text) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') {
    ++first;
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (first == last || end != last || error == std::errc::invalid_argument) {
    return {0.0, "'" + text + "' is not a number"};
  }
  if (error == std::errc::result_out_of_range) {
    return {0.0, "'" + text + "' is out of range"};
  }
  if (!std::isfinite(value)) {
    return {0.0, "'" + text + "' is not a finite number"};
  }
  return {value, std::nullopt};
}

}  // namespace

std::optional<std::string> realComplaint(const std::string& text, Bound bound) {
  const ReadReal read = readReal(text);
  if (read.complaint) {
    return read.complaint;
  }
  if (bound == Bound::Positive && !(read.value > 0.0)) {
    return "must be positive, got '" + text + "'";
  }
  if (bound == Bound::NonNegative && read.value < 0.0) {
    return "must not be negative, got '" + text + "'";
  }
  return std::nullopt;
}

std::optional<std::string> realRangeComplaint(const std::string& text, double lowest,
                                              double highest, const std::string& unit) {
  const ReadReal read = readReal(text);
  if (read.complaint) {
    return read.complaint;
  }
  if (read.value < lowest || read.value > highest) {
    std::ostringstream complaint;
    complaint << "must be from " << lowest << " to " << highest << (unit.empty() ? "" : " ") << unit
              << ", got '" << text << "'";
    return complaint.str();
  }
  return std::nullopt;
}

std::optional<std::string> wholeNumberComplaint(const std::string& text, std::uint64_t lowest,
                                                std::uint64_t highest) {
  const std::string outOfRange = "must be a whole number from " + std::to_string(lowest) + " to " +
                                 std::to_string(highest) + ", got '" + text + "'";
  // A negative whole number is one, only out of range.
  const bool negative = text.size() > 1 && text[0] == '-' &&
                        text.find_first_not_of("0123456789", 1) == std::string::npos;
  if (negative) {
    return outOfRange;
  }
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error == std::errc::invalid_argument || end != text.data() + text.size()) {
    return "'" + text + "' is not a whole number";
  }
  if (error == std::errc::result_out_of_range || value < lowest || value > highest) {
    return outOfRange;
  }
  return std::nullopt;
}

}  // namespace common
