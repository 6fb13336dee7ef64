#pragma once

// Draws pictures by running the plotting scripts (matplotlib) with Debian's Python.

#include <filesystem>
#include <string>
#include <vector>

namespace sim {

/// The interpreter the scripts are written for: Debian's, which has python3-matplotlib.
inline constexpr const char* kPython = "/usr/bin/python3";

/// The script `name`: beside the executable, then in the installed share folder, then in the
/// source tree this program was built from. Throws OutputError when none exists.
std::filesystem::path findPlotScript(const std::string& name);

/// Runs the script with `arguments`; writes `png` (renamed into place only when the script
/// succeeded). Throws OutputError with one line: a missing matplotlib, or the script's last
/// error line.
void drawPicture(const std::string& script, std::vector<std::string> arguments,
                 const std::filesystem::path& png);

}  // namespace sim
