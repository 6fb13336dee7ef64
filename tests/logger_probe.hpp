#pragma once

// Runs tests/log_probe.cpp in a fresh process (see there for its commands and report).

#include <sstream>
#include <string>
#include <vector>

#include "child_process.hpp"

namespace logger_probe {

constexpr const char* kStdoutNotSet =
    "environment variable SPDLOG_STDOUT is not set, and set true\n";
constexpr const char* kStdoutInvalid =
    "environment variable SPDLOG_STDOUT is invalid, and set true\n";
constexpr const char* kSystemdNotSet =
    "environment variable SPDLOG_SYSTEMD is not set, and set false\n";
constexpr const char* kSystemdInvalid =
    "environment variable SPDLOG_SYSTEMD is invalid, and set false\n";
constexpr const char* kLevelNotSet =
    "environment variable SPDLOG_LEVEL is not set, and set default level\n";
constexpr const char* kLevelInvalid =
    "environment variable SPDLOG_LEVEL is invalid, and set default level\n";

/// Runs the probe with `arguments` and exactly the variables of `environment`.
inline child_process::Result run(const std::vector<std::string>& arguments,
                                 const std::vector<std::string>& environment) {
  std::vector<std::string> argv = {TRELVO_LOG_PROBE};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return child_process::run(argv, environment);
}

/// The value of `key` in the probe's report ("" when the report lacks it).
inline std::string field(const std::string& report, const std::string& key) {
  std::istringstream words(report);
  for (std::string word; words >> word;) {
    if (word.rfind(key + "=", 0) == 0) {
      return word.substr(key.size() + 1);
    }
  }
  return "";
}

/// The lines of `text`, without their "\n".
inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    result.push_back(line);
  }
  return result;
}

}  // namespace logger_probe
