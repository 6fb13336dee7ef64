#include "node/drive/node_log.hpp"

#include <chrono>
#include <ctime>

#include "trelvo/logger.hpp"

namespace node {
namespace {

// The wall time to the millisecond, in local time as other programs' logs give it.
std::string wallTime() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return fmt::format("{}.{:03}", text, millis);
}

std::string absoluteNamespace(const std::string& nameSpace) {
  if (nameSpace.empty() || nameSpace == "/") {
    return "/";
  }
  std::string ns = nameSpace.front() == '/' ? nameSpace : "/" + nameSpace;
  if (ns.size() > 1 && ns.back() == '/') {
    ns.pop_back();
  }
  return ns;
}

}  // namespace

NodeLog::NodeLog(const std::string& nameSpace)
    : who_("trelvo-node " + absoluteNamespace(nameSpace)) {}

void NodeLog::write(bool warning, const std::string& message) const {
  static const auto logger = tovrek::Logger::Instance("spdlog").getLogger();
  if (!logger) {
    return;
  }
  const std::string line = fmt::format("{} {}: {}", wallTime(), who_, message);
  if (warning) {
    logger->warn(line);
  } else {
    logger->info(line);
  }
}

}  // namespace node
