#pragma once

// The node's own log lines: through the library's logger (one logger for the process, configured
// from the environment, so that the node's lines reach the journal where the library's go), each
// line in the form of rclcpp's console output, so that they read as the other ROS 2 nodes' lines
// beside them and the logs of two robots can be told apart:
//
//   [WARN] [1733412345.123456789] [robot1.trelvo_node]: no pose for 0.55 s: ...
//
// level, wall time in seconds since the epoch, and the logger's name as rcl gives a node's. The
// library's own lines keep their format.

#include <string>
#include <utility>

#include <fmt/format.h>

namespace node {

class NodeLog {
 public:
  /// `nameSpace` as given on the command line ("robot1", "/robot1"); empty for the root.
  explicit NodeLog(const std::string& nameSpace, const std::string& nodeName = "trelvo_node");

  template <typename... Args>
  void info(fmt::format_string<Args...> format, Args&&... args) {
    write(Level::Info, fmt::format(format, std::forward<Args>(args)...));
  }
  template <typename... Args>
  void warn(fmt::format_string<Args...> format, Args&&... args) {
    lastWarning_ = fmt::format(format, std::forward<Args>(args)...);
    write(Level::Warn, lastWarning_);
  }
  /// A line at ERROR level, counted among the warnings: lastWarning() gives it too.
  template <typename... Args>
  void error(fmt::format_string<Args...> format, Args&&... args) {
    lastWarning_ = fmt::format(format, std::forward<Args>(args)...);
    write(Level::Error, lastWarning_);
  }

  /// The logger's name: "robot1.trelvo_node", or "trelvo_node" at the root.
  const std::string& who() const { return who_; }
  /// The message of the last warning written; empty before the first.
  const std::string& lastWarning() const { return lastWarning_; }

 private:
  enum class Level { Info, Warn, Error };

  void write(Level level, const std::string& message) const;

  std::string who_;
  std::string lastWarning_;
};

}  // namespace node
