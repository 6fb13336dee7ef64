#pragma once

// What the tools' command lines share: the parse, and the checks of option values as text, run
// before CLI11 converts them, so that every bad value gets one line of the same kind, after the
// option's name: "--rate: 'abc' is not a number", "--rate: must be from 1 to 1000 Hz, got
// '5000'".

#include <CLI/CLI.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>

#include "common/number_text.hpp"

namespace common {

/// Parses the command line. --help and --version are answered on standard output and return
/// false; a malformed command line throws CLI::ParseError, whose message names the option, or
/// for words that no option takes, points to --help.
inline bool parseCommandLine(CLI::App& app, int argc, const char* const* argv) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::ExtrasError& error) {
    throw CLI::ExtrasError(
        std::string(error.what()) + " (" + app.get_name() + " --help lists the options)",
        CLI::ExitCodes::ExtrasError);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return false;
  } catch (const CLI::CallForVersion& version) {
    std::cout << version.what() << '\n';
    return false;
  }
  return true;
}

/// A finite decimal number within `bound`.
inline CLI::Validator realCheck(Bound bound) {
  return CLI::Validator(
      [bound](std::string& text) { return realComplaint(text, bound).value_or(std::string()); },
      "");
}

/// A finite decimal number from `lowest` to `highest`, in `unit`.
inline CLI::Validator realRangeCheck(double lowest, double highest, const std::string& unit) {
  return CLI::Validator(
      [lowest, highest, unit](std::string& text) {
        return realRangeComplaint(text, lowest, highest, unit).value_or(std::string());
      },
      "");
}

/// A whole number from `lowest` to `highest`.
inline CLI::Validator wholeNumberCheck(std::uint64_t lowest, std::uint64_t highest) {
  return CLI::Validator(
      [lowest, highest](std::string& text) {
        return wholeNumberComplaint(text, lowest, highest).value_or(std::string());
      },
      "");
}

/// A file that can be opened for writing, created if missing (and left so): refused with the
/// reason, before anything else has started, rather than once the program runs.
inline CLI::Validator writableFileCheck() {
  return CLI::Validator(
      [](std::string& path) {
        const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (file < 0) {
          return "cannot write " + path + ": " + std::strerror(errno);
        }
        ::close(file);
        return std::string();
      },
      "");
}

/// A ROS name (`what`: "namespace", "topic name") that `use` takes without throwing
/// std::invalid_argument; the rule itself lives with the DDS topic names, above this folder.
inline CLI::Validator rosNameCheck(const std::string& what,
                                   std::function<void(const std::string&)> use) {
  return CLI::Validator(
      [what, use](std::string& text) {
        try {
          use(text);
          return std::string();
        } catch (const std::invalid_argument&) {
          return "'" + text + "' is not a valid ROS " + what +
                 ": its parts between '/' hold only letters, digits and '_', and none is empty "
                 "or starts with a digit";
        }
      },
      "");
}

}  // namespace common
