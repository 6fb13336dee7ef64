#include "node/ros_args/ros_arguments.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string_view>

#include "node/ros_args/parameter_yaml.hpp"
#include "node/ros_args/ros_names.hpp"

namespace node {
namespace {

constexpr std::string_view kRosArgsFlag = "--ros-args";
constexpr std::string_view kRosArgsEnd = "--";

// ROS arguments that take a value and that the node leaves to rcl, which it does not use.
constexpr std::array<std::string_view, 5> kIgnoredWithValue = {
    "--log-level", "--log-file-name", "--log-config-file", "--enclave", "-e"};

// The ROS arguments as read, before they are resolved for this node; each with its text as
// written.
struct Collected {
  std::vector<std::pair<RemapRule, std::string>> remaps;
  std::vector<std::pair<NodeParameters, std::string>> fileSections;  // and the file's path
  std::vector<std::pair<NodeParameters, std::string>> parameterRules;
};

template <typename Read>
auto read(const std::string& argument, const std::string& value, Read reader) {
  try {
    return reader(value);
  } catch (const std::invalid_argument& error) {
    throw std::invalid_argument("ROS argument '" + argument + "': " + error.what());
  }
}

// Takes the ROS argument at argv[i] and returns the index of its last word.
int takeRosArgument(int i, int argc, const char* const* argv, Collected& collected,
                    RosArguments& ros) {
  const std::string flag = argv[i];
  const bool remap = flag == "-r" || flag == "--remap";
  const bool parameter = flag == "-p" || flag == "--param";
  const bool file = flag == "--params-file";
  if (!remap && !parameter && !file &&
      std::find(kIgnoredWithValue.begin(), kIgnoredWithValue.end(), flag) ==
          kIgnoredWithValue.end()) {
    ros.ignored.push_back(flag);
    return i;
  }
  if (i + 1 >= argc) {
    throw std::invalid_argument("ROS argument '" + flag + "' needs a value after it");
  }
  const std::string value = argv[i + 1];
  const std::string text = flag + " " + value;
  if (remap) {
    collected.remaps.emplace_back(read(text, value, parseRemapRule), text);
  } else if (parameter) {
    collected.parameterRules.emplace_back(read(text, value, parseParameterRule), text);
  } else if (file) {
    for (auto& section : read(text, value, readParameterFile)) {
      collected.fileSections.emplace_back(std::move(section), value);
    }
  } else {
    ros.ignored.push_back(text);
  }
  return i + 1;
}

Collected collect(int argc, const char* const* argv, RosArguments& ros) {
  Collected collected;
  if (argc > 0) {
    ros.programArgs.emplace_back(argv[0]);
  }
  bool inRosArgs = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == kRosArgsFlag) {
      inRosArgs = true;
    } else if (!inRosArgs) {
      ros.programArgs.emplace_back(argument);
    } else if (argument == kRosArgsEnd) {
      inRosArgs = false;
    } else {
      i = takeRosArgument(i, argc, argv, collected, ros);
    }
  }
  return collected;
}

// As in ROS 2 the first rule that fits wins, and a rule given for one node ("name:from:=to") fits
// the node by its own name for __node, by the name it then has for the others.
void resolveNames(const Collected& collected, RosArguments& ros) {
  for (const auto& [rule, text] : collected.remaps) {
    if (rule.kind == RemapRule::Kind::NodeName && !ros.nodeName &&
        (rule.node.empty() || rule.node == kDefaultNodeName)) {
      ros.nodeName = rule.to;
    }
  }
  const std::string name = ros.nodeName.value_or(kDefaultNodeName);
  for (const auto& [rule, text] : collected.remaps) {
    const bool nodeRule = rule.kind == RemapRule::Kind::NodeName;
    const bool forThisNode = rule.node.empty() || rule.node == (nodeRule ? kDefaultNodeName : name);
    if (forThisNode && rule.kind == RemapRule::Kind::Topic) {
      ros.remaps.emplace_back(rule.from, rule.to);
    } else if (forThisNode && rule.kind == RemapRule::Kind::NameSpace && !ros.nameSpace) {
      ros.nameSpace = absoluteNamespace(rule.to);
    } else if (!(forThisNode && nodeRule && rule.to == name)) {
      ros.ignored.push_back(text);
    }
  }
}

void resolveParameters(const Collected& collected, RosArguments& ros) {
  const std::string node =
      fullyQualifiedName(ros.nodeName.value_or(kDefaultNodeName), ros.nameSpace.value_or("/"), "");
  const auto take = [&ros](const ParameterValues& values, const std::string& origin) {
    for (auto [name, value] : values) {
      std::replace(name.begin(), name.end(), '-', '_');
      ros.parameters[name] = {value, origin};
    }
  };
  for (const auto& [section, file] : collected.fileSections) {
    if (appliesTo(section.nodes, node)) {
      take(section.values, "parameter file " + file);
    }
  }
  for (const auto& [rule, text] : collected.parameterRules) {
    if (appliesTo(rule.nodes, node)) {
      take(rule.values, "ROS argument '" + text + "'");
    } else {
      ros.ignored.push_back(text);
    }
  }
}

}  // namespace

std::string RosArguments::remapped(const std::string& topic, const std::string& space) const {
  const std::string node = nodeName.value_or(kDefaultNodeName);
  const std::string name = fullyQualifiedName(topic, space, node);
  for (const auto& [from, to] : remaps) {
    if (fullyQualifiedName(from, space, node) == name) {
      return fullyQualifiedName(to, space, node);
    }
  }
  return name;
}

RosArguments parseRosArguments(int argc, const char* const* argv) {
  RosArguments ros;
  const Collected collected = collect(argc, argv, ros);
  resolveNames(collected, ros);
  resolveParameters(collected, ros);
  return ros;
}

}  // namespace node
