#include "node/ros_args/ros_names.hpp"

#include <stdexcept>
#include <string_view>

namespace node {
namespace {

constexpr std::string_view kTopicScheme = "rostopic://";
constexpr std::string_view kServiceScheme = "rosservice://";

bool isToken(std::string_view text) {
  if (text.empty() || (text.front() >= '0' && text.front() <= '9') ||
      text.find("__") != std::string_view::npos) {
    return false;
  }
  for (const char c : text) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && !(c >= '0' && c <= '9') && c != '_') {
      return false;
    }
  }
  return true;
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Tokens separated by single '/', after an optional '/' or "~/"; `trailingSlash` allows one '/'
// at the end, as namespaces may have.
void checkName(std::string_view name, const char* what, bool trailingSlash = false) {
  const std::string whole(name);
  if (name.find('*') != std::string_view::npos) {
    throw std::invalid_argument(std::string("wildcards are not supported in the ") + what);
  }
  if (startsWith(name, "~/")) {
    name.remove_prefix(2);
  } else if (startsWith(name, "/")) {
    name.remove_prefix(1);
  }
  if (trailingSlash && !name.empty() && name.back() == '/') {
    name.remove_suffix(1);
  }
  while (true) {
    const std::size_t slash = name.find('/');
    if (!isToken(name.substr(0, slash))) {
      throw std::invalid_argument(std::string("the ") + what + " '" + whole +
                                  "' is not a ROS name (tokens of letters, digits and '_' "
                                  "separated by '/')");
    }
    if (slash == std::string_view::npos) {
      return;
    }
    name.remove_prefix(slash + 1);
  }
}

RemapRule::Kind nameKind(std::string& from) {
  if (startsWith(from, kTopicScheme)) {
    from.erase(0, kTopicScheme.size());
    return RemapRule::Kind::Topic;
  }
  if (startsWith(from, kServiceScheme)) {
    from.erase(0, kServiceScheme.size());
    return RemapRule::Kind::Service;
  }
  return RemapRule::Kind::Topic;
}

// Splits off a leading "node:" that is not the colon of a rostopic:// or rosservice:// scheme.
std::string nodePrefix(std::string& from) {
  const std::size_t colon = from.find(':');
  if (colon == std::string::npos || startsWith(from, kTopicScheme) ||
      startsWith(from, kServiceScheme)) {
    return "";
  }
  std::string node = from.substr(0, colon);
  if (!isToken(node)) {
    throw std::invalid_argument("'" + node + "' before ':' is not a node name");
  }
  from.erase(0, colon + 1);
  return node;
}

}  // namespace

RemapRule parseRemapRule(const std::string& rule) {
  const std::size_t separator = rule.find(":=");
  if (separator == std::string::npos) {
    throw std::invalid_argument("a remapping is written from:=to");
  }
  RemapRule parsed;
  std::string from = rule.substr(0, separator);
  parsed.to = rule.substr(separator + 2);
  parsed.node = nodePrefix(from);
  if (from == "__node" || from == "__name") {
    parsed.kind = RemapRule::Kind::NodeName;
    if (!isToken(parsed.to)) {
      throw std::invalid_argument("the node name '" + parsed.to +
                                  "' is not a token of letters, digits and '_'");
    }
    return parsed;
  }
  if (from == "__ns") {
    parsed.kind = RemapRule::Kind::NameSpace;
    if (parsed.to.empty() || parsed.to.front() != '/') {
      throw std::invalid_argument("the namespace '" + parsed.to + "' must start with '/'");
    }
    if (parsed.to != "/") {
      checkName(parsed.to, "namespace", true);
    }
    return parsed;
  }
  parsed.kind = nameKind(from);
  checkName(from, "name remapped");
  checkName(parsed.to, "new name");
  parsed.from = from;
  return parsed;
}

std::string absoluteNamespace(const std::string& nameSpace) {
  std::string absolute = nameSpace;
  while (!absolute.empty() && absolute.back() == '/') {
    absolute.pop_back();
  }
  if (absolute.empty() || absolute.front() != '/') {
    absolute.insert(absolute.begin(), '/');
  }
  return absolute;
}

std::string fullyQualifiedName(const std::string& name, const std::string& nameSpace,
                               const std::string& nodeName) {
  if (!name.empty() && name.front() == '/') {
    return name;
  }
  std::string base = absoluteNamespace(nameSpace);
  std::string relative = name;
  if (name == "~" || startsWith(name, "~/")) {
    base += (base == "/" ? "" : "/") + nodeName;
    relative = name.substr(std::min<std::size_t>(name.size(), 2));
  }
  if (relative.empty()) {
    return base;
  }
  return base + (base == "/" ? "" : "/") + relative;
}

}  // namespace node
