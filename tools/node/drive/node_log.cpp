#include "node/drive/node_log.hpp"

#include <chrono>

#include "trelvo/logger.hpp"

namespace node {
namespace {

// rclcpp's {time}: seconds and nanoseconds since the epoch, by the wall clock.
std::string wallTime() {
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
  return fmt::format("{}.{:09}", nanoseconds / 1'000'000'000, nanoseconds % 1'000'000'000);
}

// As rcl names a node's logger: its namespace without the leading '/', '/' read as '.', then the
// node's name: "robot1.trelvo_node", "trelvo_node" at the root.
std::string loggerName(const std::string& nameSpace, const std::string& nodeName) {
  std::string name;
  for (const char c : nameSpace) {
    if (c != '/') {
      name += c;
    } else if (!name.empty() && name.back() != '.') {
      name += '.';
    }
  }
  if (!name.empty() && name.back() != '.') {
    name += '.';
  }
  return name + nodeName;
}

}  // namespace

NodeLog::NodeLog(const std::string& nameSpace, const std::string& nodeName)
    : who_(loggerName(nameSpace, nodeName)) {}

void NodeLog::write(Level level, const std::string& message) const {
  static const auto logger = tovrek::Logger::Instance("spdlog").getLogger();
  if (!logger) {
    return;
  }
  static constexpr const char* kLevelNames[] = {"INFO", "WARN", "ERROR"};
  const std::string line = fmt::format("[{}] [{}] [{}]: {}", kLevelNames[static_cast<int>(level)],
                                       wallTime(), who_, message);
  switch (level) {
    case Level::Info:
      logger->info(line);
      break;
    case Level::Warn:
      logger->warn(line);
      break;
    case Level::Error:
      logger->error(line);
      break;
  }
}

}  // namespace node
