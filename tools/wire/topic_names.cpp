#include "wire/topic_names.hpp"

#include <stdexcept>

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

std::string rosTopicName(std::string_view ddsTopic) {
  constexpr std::string_view kRosTopicPrefix = "rt/";
  if (ddsTopic.substr(0, kRosTopicPrefix.size()) != kRosTopicPrefix) {
    return std::string(ddsTopic);
  }
  return "/" + std::string(ddsTopic.substr(kRosTopicPrefix.size()));
}

std::string rosTypeName(std::string_view ddsType) {
  // package::msg::dds_::Name_
  constexpr std::string_view kDdsSpace = "::dds_::";
  const auto space = ddsType.find(kDdsSpace);
  const auto separator = ddsType.find("::");
  if (space == std::string_view::npos || ddsType.empty() || ddsType.back() != '_' ||
      separator == space) {
    return std::string(ddsType);
  }
  std::string name(ddsType.substr(0, space));  // package::msg
  name.replace(separator, 2, "/");
  name += '/';
  const auto typeStart = space + kDdsSpace.size();
  name += ddsType.substr(typeStart, ddsType.size() - 1 - typeStart);
  return name;
}

}  // namespace wire
