#pragma once

// What the tools' command lines share.

#include <CLI/CLI.hpp>

#include <iostream>

namespace common {

/// Parses the command line. --help and --version are answered on standard output and return
/// false; a malformed command line throws CLI::ParseError, whose message names the option.
inline bool parseCommandLine(CLI::App& app, int argc, const char* const* argv) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return false;
  } catch (const CLI::CallForVersion& version) {
    std::cout << version.what() << '\n';
    return false;
  }
  return true;
}

}  // namespace common
