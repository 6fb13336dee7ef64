#include "wire/topic_names.hpp"

#include <stdexcept>
#include <vector>

namespace wire {

namespace {

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Checks the '/'-separated tokens of `path` (no leading or trailing '/') and returns it.
std::string_view checkedTokens(std::string_view path, std::string_view whole) {
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view token = path.substr(start, end - start);
    bool valid = !token.empty() && !(token.front() >= '0' && token.front() <= '9');
    for (const char c : token) {
      valid = valid && isNameCharacter(c);
    }
    if (!valid) {
      throw std::invalid_argument("not a valid ROS name: '" + std::string(whole) + "'");
    }
    start = end + 1;
  }
  return path;
}

std::string_view trimmedSlashes(std::string_view path) {
  if (!path.empty() && path.front() == '/') {
    path.remove_prefix(1);
  }
  if (!path.empty() && path.back() == '/') {
    path.remove_suffix(1);
  }
  return path;
}

}  // namespace

std::string ddsTopicName(std::string_view ns, std::string_view name) {
  constexpr std::string_view kRosTopicPrefix = "rt";
  std::string topic(kRosTopicPrefix);
  const bool absolute = !name.empty() && name.front() == '/';
  const std::string_view space = trimmedSlashes(ns);
  if (!absolute && !space.empty()) {
    topic += '/';
    topic += checkedTokens(space, ns);
  }
  topic += '/';
  topic += checkedTokens(absolute ? name.substr(1) : name, name);
  return topic;
}

std::string ddsRequestTopicName(std::string_view ns, std::string_view name) {
  // The resolved name after "rt".
  return "rq" + ddsTopicName(ns, name).substr(2) + "Request";
}

std::string ddsReplyTopicName(std::string_view ns, std::string_view name) {
  return "rr" + ddsTopicName(ns, name).substr(2) + "Reply";
}

std::string rosServiceName(std::string_view ddsRequestTopic) {
  constexpr std::string_view kPrefix = "rq/";
  constexpr std::string_view kSuffix = "Request";
  if (ddsRequestTopic.size() <= kPrefix.size() + kSuffix.size() ||
      ddsRequestTopic.substr(0, kPrefix.size()) != kPrefix ||
      ddsRequestTopic.substr(ddsRequestTopic.size() - kSuffix.size()) != kSuffix) {
    return std::string(ddsRequestTopic);
  }
  return "/" + std::string(ddsRequestTopic.substr(
                   kPrefix.size(), ddsRequestTopic.size() - kPrefix.size() - kSuffix.size()));
}

std::string rosNodeNamespace(std::string_view ns) {
  const std::string_view space = trimmedSlashes(ns);
  return space.empty() ? "/" : "/" + std::string(checkedTokens(space, ns));
}

std::string rosTopicName(std::string_view ddsTopic) {
  constexpr std::string_view kRosTopicPrefix = "rt/";
  if (ddsTopic.substr(0, kRosTopicPrefix.size()) != kRosTopicPrefix) {
    return std::string(ddsTopic);
  }
  return "/" + std::string(ddsTopic.substr(kRosTopicPrefix.size()));
}

std::string rosTypeName(std::string_view ddsType) {
  // "<package>::<kind>::dds_::<Type>_" as its four parts.
  constexpr std::string_view kSeparator = "::";
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = ddsType.find(kSeparator, start);
    parts.push_back(ddsType.substr(start, end - start));
    if (end == std::string_view::npos) {
      break;
    }
    start = end + kSeparator.size();
  }
  const bool rosName = parts.size() == 4 && !parts[0].empty() && !parts[1].empty() &&
                       parts[2] == "dds_" && parts[3].size() > 1 && parts[3].back() == '_';
  if (!rosName) {
    return std::string(ddsType);
  }
  std::string name(parts[0]);
  name += '/';
  name += parts[1];
  name += '/';
  name += parts[3].substr(0, parts[3].size() - 1);
  return name;
}

}  // namespace wire
