#include "node/ros_args/parameter_yaml.hpp"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string_view>

namespace node {
namespace {

constexpr const char* kParametersKey = "ros__parameters";

// The plain (unquoted) scalars that ROS 2 reads as booleans.
constexpr std::array<std::string_view, 11> kTrueWords = {
    "true", "True", "TRUE", "yes", "Yes", "YES", "y", "Y", "on", "On", "ON"};
constexpr std::array<std::string_view, 11> kFalseWords = {
    "false", "False", "FALSE", "no", "No", "NO", "n", "N", "off", "Off", "OFF"};

bool isOneOf(const std::string& word, const std::array<std::string_view, 11>& words) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

std::string lineOf(const YAML::Node& node) {
  return std::to_string(node.Mark().line + 1);
}

// Throws for a value that is no parameter value (nothing, or null).
std::string valueText(const YAML::Node& value, const std::string& name) {
  if (!value.IsDefined() || value.IsNull()) {
    throw std::invalid_argument("parameter " + name + " has no value");
  }
  if (!value.IsScalar()) {
    YAML::Emitter flow;
    flow.SetMapFormat(YAML::Flow);
    flow.SetSeqFormat(YAML::Flow);
    flow << value;
    return flow.c_str();
  }
  const bool plain = value.Tag() == "?";
  if (plain && isOneOf(value.Scalar(), kTrueWords)) {
    return "true";
  }
  if (plain && isOneOf(value.Scalar(), kFalseWords)) {
    return "false";
  }
  return value.Scalar();
}

void collectValues(const YAML::Node& map, const std::string& prefix, ParameterValues& values) {
  for (const auto& entry : map) {
    const std::string name = prefix + entry.first.as<std::string>();
    if (entry.second.IsMap()) {
      collectValues(entry.second, name + ".", values);
    } else {
      try {
        values.emplace_back(name, valueText(entry.second, name));
      } catch (const std::invalid_argument& error) {
        throw std::invalid_argument("line " + lineOf(entry.first) + ": " + error.what());
      }
    }
  }
}

// `path` holds the node keys above `map`, joined by '/'.
void collectSections(const YAML::Node& map, const std::string& path,
                     std::vector<NodeParameters>& sections) {
  for (const auto& entry : map) {
    const std::string key = entry.first.as<std::string>();
    if (key == kParametersKey) {
      if (path.empty()) {
        throw std::invalid_argument("line " + lineOf(entry.first) + ": " + kParametersKey +
                                    " is not under a node name");
      }
      if (!entry.second.IsMap() && !entry.second.IsNull()) {
        throw std::invalid_argument("line " + lineOf(entry.first) + ": " + kParametersKey +
                                    " must hold a map of parameters");
      }
      NodeParameters section{path.front() == '/' ? path : "/" + path, {}};
      collectValues(entry.second, "", section.values);
      sections.push_back(std::move(section));
    } else if (entry.second.IsMap()) {
      collectSections(entry.second, path.empty() ? key : path + "/" + key, sections);
    } else {
      throw std::invalid_argument("line " + lineOf(entry.first) + ": '" + key +
                                  "' is not a section NODE_NAME: " + kParametersKey + ": {...}");
    }
  }
}

std::vector<std::string_view> segments(std::string_view name) {
  std::vector<std::string_view> parts;
  while (!name.empty()) {
    const std::size_t slash = name.find('/');
    if (slash != 0) {
      parts.push_back(name.substr(0, slash));
    }
    name.remove_prefix(slash == std::string_view::npos ? name.size() : slash + 1);
  }
  return parts;
}

bool segmentsMatch(const std::vector<std::string_view>& pattern, std::size_t p,
                   const std::vector<std::string_view>& name, std::size_t n) {
  if (p == pattern.size()) {
    return n == name.size();
  }
  if (pattern[p] == "**") {
    return segmentsMatch(pattern, p + 1, name, n) ||
           (n < name.size() && segmentsMatch(pattern, p, name, n + 1));
  }
  return n < name.size() && (pattern[p] == "*" || pattern[p] == name[n]) &&
         segmentsMatch(pattern, p + 1, name, n + 1);
}

}  // namespace

NodeParameters parseParameterRule(const std::string& rule) {
  const std::size_t separator = rule.find(":=");
  if (separator == std::string::npos) {
    throw std::invalid_argument("a parameter is written name:=value");
  }
  std::string name = rule.substr(0, separator);
  NodeParameters parsed{"/**", {}};
  const std::size_t colon = name.find(':');
  if (colon != std::string::npos) {
    parsed.nodes = "/" + name.substr(0, colon);
    name.erase(0, colon + 1);
  }
  if (name.empty() || name.find_first_of(":*") != std::string::npos) {
    throw std::invalid_argument("'" + name + "' is not a parameter name");
  }
  YAML::Node value;
  try {
    value = YAML::Load(rule.substr(separator + 2));
  } catch (const YAML::Exception& error) {
    throw std::invalid_argument("the value is not YAML: " + error.msg);
  }
  parsed.values.emplace_back(name, valueText(value, name));
  return parsed;
}

std::vector<NodeParameters> readParameterFile(const std::string& path) {
  std::ifstream file(path);
  if (!file) {
    throw std::invalid_argument(std::string("cannot be read: ") + std::strerror(errno));
  }
  // A folder opens as a stream that reads nothing, which would pass for an empty file.
  if (std::filesystem::is_directory(path)) {
    throw std::invalid_argument("is a folder, not a file");
  }
  std::vector<NodeParameters> sections;
  try {
    const YAML::Node document = YAML::Load(file);
    if (document.IsNull()) {
      return sections;
    }
    if (!document.IsMap()) {
      throw std::invalid_argument(std::string("not a file of sections NODE_NAME: ") +
                                  kParametersKey + ": {...}");
    }
    collectSections(document, "", sections);
  } catch (const YAML::Exception& error) {
    throw std::invalid_argument("line " + std::to_string(error.mark.line + 1) + ": " + error.msg);
  }
  return sections;
}

std::optional<std::vector<std::string>> listItems(const std::string& text) {
  YAML::Node value;
  try {
    value = YAML::Load(text);
  } catch (const YAML::Exception&) {
    return std::nullopt;
  }
  if (!value.IsSequence()) {
    return std::nullopt;
  }
  std::vector<std::string> items;
  for (const auto& item : value) {
    items.push_back(valueText(item, "list item"));
  }
  return items;
}

bool appliesTo(const std::string& nodes, const std::string& fullyQualifiedName) {
  return segmentsMatch(segments(nodes), 0, segments(fullyQualifiedName), 0);
}

}  // namespace node
