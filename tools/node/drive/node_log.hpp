#pragma once

// The node's own log lines: through the library's logger (one logger for the process, configured
// from the environment, so that the node's lines reach the journal where the library's go), each
// line led by the wall time and the node's name and namespace, so that the logs of two robots
// can be told apart and laid beside other programs' logs. The library's own lines keep their
// format.

#include <string>
#include <utility>

#include <fmt/format.h>

namespace node {

class NodeLog {
 public:
  /// `nameSpace` as given on the command line; empty for the root namespace.
  explicit NodeLog(const std::string& nameSpace);

  template <typename... Args>
  void info(fmt::format_string<Args...> format, Args&&... args) {
    write(false, fmt::format(format, std::forward<Args>(args)...));
  }
  template <typename... Args>
  void warn(fmt::format_string<Args...> format, Args&&... args) {
    lastWarning_ = fmt::format(format, std::forward<Args>(args)...);
    write(true, lastWarning_);
  }

  /// "trelvo-node /robot1" or "trelvo-node /": who writes the lines.
  const std::string& who() const { return who_; }
  /// The message of the last warning written; empty before the first.
  const std::string& lastWarning() const { return lastWarning_; }

 private:
  void write(bool warning, const std::string& message) const;

  std::string who_;
  std::string lastWarning_;
};

}  // namespace node
