#include "node/ros_args/program_command_line.hpp"

#include <algorithm>
#include <stdexcept>

namespace node {
namespace {

constexpr const char* kEndOfOptions = "--";

std::string optionName(std::string parameter) {
  std::replace(parameter.begin(), parameter.end(), '_', '-');
  return parameter;
}

const ProgramOption* optionFor(const std::string& name, const std::vector<ProgramOption>& options) {
  for (const auto& option : options) {
    if (std::find(option.longNames.begin(), option.longNames.end(), name) !=
        option.longNames.end()) {
      return &option;
    }
  }
  return nullptr;
}

// Whether the program's own arguments give `option`, as --name or --name=value, before a "--"
// after which everything is an operand.
bool givenOnCommandLine(const ProgramOption& option, const std::vector<std::string>& programArgs) {
  const auto end = std::find(programArgs.begin() + std::min<std::size_t>(1, programArgs.size()),
                             programArgs.end(), kEndOfOptions);
  for (auto argument = programArgs.begin(); argument != end; ++argument) {
    for (const auto& name : option.longNames) {
      const std::string written = "--" + name;
      if (*argument == written || argument->rfind(written + "=", 0) == 0) {
        return true;
      }
    }
  }
  return false;
}

// The option's words for the parameter, added to `arguments`.
void addOption(const std::string& name, const std::string& value, const ProgramOption& option,
               std::vector<std::string>& arguments) {
  if (!option.isFlag) {
    arguments.push_back("--" + name + "=" + value);
    return;
  }
  if (value != "true" && value != "false") {
    throw std::invalid_argument("parameter " + name + " sets the flag --" + name +
                                ": it takes true or false, not '" + value + "'");
  }
  if (value == "true") {
    arguments.push_back("--" + name);
  }
}

}  // namespace

std::vector<ProgramOption> programOptions(const CLI::App& app) {
  std::vector<ProgramOption> options;
  for (const CLI::Option* option : app.get_options()) {
    if (option == app.get_help_ptr() || option == app.get_version_ptr() ||
        option->get_lnames().empty()) {
      continue;
    }
    options.push_back({option->get_lnames(), option->get_expected_max() == 0});
  }
  return options;
}

ProgramCommandLine programCommandLine(const RosArguments& ros,
                                      const std::vector<ProgramOption>& options) {
  ProgramCommandLine result;
  std::vector<std::string> ignored = ros.ignored;
  if (!ros.programArgs.empty()) {
    result.arguments.push_back(ros.programArgs.front());
  }
  for (const auto& [parameter, value] : ros.parameters) {
    const std::string name = optionName(parameter);
    const ProgramOption* option = optionFor(name, options);
    if (option == nullptr) {
      ignored.push_back("parameter " + parameter + " (no option --" + name + ")");
    } else if (givenOnCommandLine(*option, ros.programArgs)) {
      ignored.push_back("parameter " + parameter + " (--" + name + " is on the command line)");
    } else {
      addOption(name, value, *option, result.arguments);
    }
  }
  if (!ros.programArgs.empty()) {
    result.arguments.insert(result.arguments.end(), ros.programArgs.begin() + 1,
                            ros.programArgs.end());
  }
  if (!ignored.empty()) {
    std::string line = "ignored ROS arguments: ";
    for (std::size_t i = 0; i < ignored.size(); ++i) {
      line += (i == 0 ? "" : ", ") + ignored[i];
    }
    result.notice = line;
  }
  return result;
}

}  // namespace node
