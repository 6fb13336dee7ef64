#pragma once

// Process-wide logging facade and the LOG_DEBUG call-site macro.
//
// The first Logger::Instance call builds one spdlog logger from the environment, read once:
//   "SPDLOG_STDOUT"  "true" (default) / "false"   colour console sink on standard output
//   "SPDLOG_SYSTEMD" "true" / "false" (default)   systemd journal sink
//   "SPDLOG_LEVEL"   "trace" "debug" "info" (default) "warning" "error" "critical"
// An unset or unknown value takes the default and prints a notice on standard output. The
// pattern is "%v": a console line is the bare message and "\n"; a journal entry carries the
// message, the syslog priority, SYSLOG_IDENTIFIER = the logger's name and, for LOG_DEBUG lines,
// CODE_FILE / CODE_LINE / CODE_FUNC of the call site.
//
// Everything is inline, so the static object inside Instance (and its guard) are exported data of
// libtrelvo: every module of the process that includes this header shares the one facade.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <spdlog/logger.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/sinks/systemd_sink.h>

#include "trelvo/export.hpp"

namespace tovrek {

class TRELVO_API Logger {
 public:
  /// The one facade of the process, built by the first call with `name` as the logger's name
  /// (later arguments are ignored). Concurrent first callers wait for that construction.
  static Logger& Instance(const std::string& name) {
    static Logger instance(name);
    return instance;
  }

  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  /// A copy of the logger; empty only if spdlog failed before the logger was created.
  std::shared_ptr<spdlog::logger> getLogger() const { return logger; }

  /// "NNN [DEBUG] ": twelve characters, NNN the running debug-line number modulo 128, right
  /// aligned in width 3. The number advances (wrapping at 255) only when `level` lets debug
  /// lines through, so the numbering of written lines has no gaps.
  std::string debugPrefix() {
    char prefix[kDebugPrefixLength];
    writeDebugPrefix(prefix);
    return std::string(prefix, kDebugPrefixLength);
  }

  /// The same as debugPrefix, written to the kDebugPrefixLength characters at `out` (no
  /// terminating zero) instead of a new string.
  void writeDebugPrefix(char* out) {
    if (level <= spdlog::level::debug) {
      ++debugCount;
    }
    fmt::format_to_n(out, kDebugPrefixLength, "{0:3d} [DEBUG] ",
                     static_cast<unsigned>(debugCount % kDebugNumberModulus));
  }

  static constexpr std::size_t kDebugPrefixLength = 12;

  std::shared_ptr<spdlog::logger> logger;
  std::uint8_t debugCount = 0;
  /// spdlog level number chosen from "SPDLOG_LEVEL"; gates the debug-line numbering.
  std::int32_t level = spdlog::level::info;

 private:
  static constexpr unsigned kDebugNumberModulus = 128;

  explicit Logger(const std::string& name) {
    // A spdlog failure must not take the host down: the facade keeps whatever it had built.
    try {
      std::vector<spdlog::sink_ptr> sinks;
      if (switchFromEnvironment("SPDLOG_STDOUT", true,
                                "environment variable SPDLOG_STDOUT is not set, and set true\n",
                                "environment variable SPDLOG_STDOUT is invalid, and set true\n")) {
        sinks.push_back(std::make_shared<
                        spdlog::sinks::ansicolor_stdout_sink<spdlog::details::console_mutex>>());
      }
      if (switchFromEnvironment(
              "SPDLOG_SYSTEMD", false,
              "environment variable SPDLOG_SYSTEMD is not set, and set false\n",
              "environment variable SPDLOG_SYSTEMD is invalid, and set false\n")) {
        sinks.push_back(std::make_shared<spdlog::sinks::systemd_sink<std::mutex>>());
      }
      // Deliberately not registered with spdlog: the facade is the only owner.
      logger = std::make_shared<spdlog::logger>(name, sinks.begin(), sinks.end());
      level = levelFromEnvironment();
      logger->set_level(static_cast<spdlog::level::level_enum>(level));
      logger->set_pattern("%v");
    } catch (const spdlog::spdlog_ex&) {
    }
  }

  /// "true" or "false" exactly; anything else, or nothing, keeps `fallback` and says so.
  static bool switchFromEnvironment(const char* variable, bool fallback, const char* notSetNotice,
                                    const char* invalidNotice) {
    const char* value = std::getenv(variable);
    if (value == nullptr) {
      std::cout << notSetNotice;
      return fallback;
    }
    if (std::strcmp(value, "true") == 0) {
      return true;
    }
    if (std::strcmp(value, "false") == 0) {
      return false;
    }
    std::cout << invalidNotice;
    return fallback;
  }

  /// The whole value must be one of the six names; "off" is deliberately not among them.
  static std::int32_t levelFromEnvironment() {
    const char* value = std::getenv("SPDLOG_LEVEL");
    if (value == nullptr) {
      std::cout << "environment variable SPDLOG_LEVEL is not set, and set default level\n";
      return spdlog::level::info;
    }
    // Indexed by spdlog level number.
    const char* const names[] = {"trace", "debug", "info", "warning", "error", "critical"};
    for (std::int32_t number = 0; number < static_cast<std::int32_t>(std::size(names)); ++number) {
      if (std::strcmp(value, names[number]) == 0) {
        return number;
      }
    }
    std::cout << "environment variable SPDLOG_LEVEL is invalid, and set default level\n";
    return spdlog::level::info;
  }
};

}  // namespace tovrek

// <syslog.h>, pulled in by the journal sink, defines LOG_DEBUG as a priority number; the journal
// sink has already used it, and from here on the name is the debug-line macro.
#undef LOG_DEBUG

namespace tovrek {

/// Writes one debug line "NNN [DEBUG] <message>" located at `where` (file, line and function, as
/// the journal's CODE_FILE, CODE_LINE and CODE_FUNC). The message is formatted (and a mismatched
/// format string throws fmt::format_error) whatever the level; the line reaches the sinks only at
/// level trace or debug. Prefix and body share one buffer and allocate nothing: the body is
/// formatted behind room for the prefix, which is written last, so that a body that fails to
/// format takes no number.
template <typename... Args>
void logDebugLine(const spdlog::source_loc& where, fmt::format_string<Args...> format,
                  Args&&... args) {
  Logger& facade = Logger::Instance("spdlog");
  const std::shared_ptr<spdlog::logger> logger = facade.getLogger();
  fmt::memory_buffer message;
  message.resize(Logger::kDebugPrefixLength);
  fmt::format_to(fmt::appender(message), format, std::forward<Args>(args)...);
  facade.writeDebugPrefix(message.data());
  if (logger) {
    logger->log(where, spdlog::level::debug, spdlog::string_view_t(message.data(), message.size()));
  }
}

}  // namespace tovrek

/// Writes one debug line "NNN [DEBUG] <message>" with the call site's file, line and function
/// (see tovrek::logDebugLine).
#define LOG_DEBUG(...) \
  tovrek::logDebugLine(spdlog::source_loc{__FILE__, __LINE__, SPDLOG_FUNCTION}, __VA_ARGS__)
