#pragma once

// Strict checks of option values as text, before CLI11 converts them; CLI11 puts the option's
// name in front of the message.

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>

#include "common/number_text.hpp"

namespace sim {

inline CLI::Validator realCheck(common::Bound bound) {
  return CLI::Validator(
      [bound](std::string& text) {
        return common::realComplaint(text, bound).value_or(std::string());
      },
      "");
}

inline CLI::Validator wholeNumberCheck(std::uint64_t lowest, std::uint64_t highest) {
  return CLI::Validator(
      [lowest, highest](std::string& text) {
        return common::wholeNumberComplaint(text, lowest, highest).value_or(std::string());
      },
      "");
}

}  // namespace sim
