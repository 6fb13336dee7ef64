#include "node/ros_args/program_command_line.hpp"

#include <algorithm>
#include <stdexcept>

#include "node/ros_args/parameter_yaml.hpp"

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

// The option's words for a parameter's value: "--rate=20"; "--pose-from-tf", "map",
// "base_link" for a list given to an option of several values.
std::vector<std::string> optionWords(const std::string& name, const ParameterValue& value,
                                     const ProgramOption& option) {
  if (option.takesList) {
    std::optional<std::vector<std::string>> items;
    try {
      items = listItems(value.text);
    } catch (const std::invalid_argument& error) {
      throw std::invalid_argument(value.origin + ": " + error.what());
    }
    if (items) {
      std::vector<std::string> words{"--" + name};
      words.insert(words.end(), items->begin(), items->end());
      return words;
    }
  }
  return {"--" + name + "=" + value.text};
}

// The items of a list parameter, or `otherwise` when it is not given (or no list).
std::vector<std::string> listParameter(const RosArguments& ros, const std::string& name,
                                       const std::vector<std::string>& otherwise) {
  const auto given = ros.parameters.find(name);
  if (given == ros.parameters.end()) {
    return otherwise;
  }
  try {
    return listItems(given->second.text).value_or(otherwise);
  } catch (const std::invalid_argument&) {
    return otherwise;  // told when the option parses it
  }
}

void addFlag(const std::string& name, const std::string& value,
             std::vector<std::string>& arguments) {
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
    options.push_back(
        {option->get_lnames(), option->get_expected_max() == 0, option->get_expected_max() > 1});
  }
  return options;
}

ProgramCommandLine programCommandLine(const RosArguments& ros,
                                      const std::vector<ProgramOption>& options,
                                      const CheckerPlugins& checkers) {
  ProgramCommandLine result;
  std::vector<std::string> ignored = ros.ignored;
  if (!ros.programArgs.empty()) {
    result.arguments.push_back(ros.programArgs.front());
  }
  const CheckerPlugins plugins{
      listParameter(ros, "goal_checker_plugins", checkers.goalCheckers),
      listParameter(ros, "progress_checker_plugins", checkers.progressCheckers)};
  for (const auto& [parameter, value] : ros.parameters) {
    std::string name = optionName(parameter);
    const ProgramOption* option = optionFor(name, options);
    if (option == nullptr) {
      if (const auto setting = nav2OptionParameter(parameter, plugins)) {
        name = optionName(*setting);
        option = optionFor(name, options);
      }
    }
    if (option == nullptr) {
      const auto why = nav2IgnoredReason(parameter);
      ignored.push_back("parameter " + parameter + " (" + why.value_or("no option --" + name) +
                        ")");
    } else if (givenOnCommandLine(*option, ros.programArgs)) {
      ignored.push_back("parameter " + parameter + " (--" + name + " is on the command line)");
    } else if (option->isFlag) {
      addFlag(name, value.text, result.arguments);
    } else {
      auto words = optionWords(name, value, *option);
      result.arguments.insert(result.arguments.end(), words.begin(), words.end());
      result.fromParameters.push_back({parameter, value, std::move(words)});
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

void checkParameterOptions(CLI::App& app, const ProgramCommandLine& line) {
  for (const auto& given : line.fromParameters) {
    // CLI11 takes a vector of arguments last first, without the program's name.
    std::vector<std::string> reversed(given.words.rbegin(), given.words.rend());
    try {
      app.parse(reversed);
    } catch (const CLI::ParseError& error) {
      std::string message = error.what();
      const std::string optionPrefix =
          given.words.front().substr(0, given.words.front().find('=')) + ": ";
      if (message.rfind(optionPrefix, 0) == 0) {
        message.erase(0, optionPrefix.size());
      }
      throw std::invalid_argument(given.value.origin + ": parameter " + given.parameter + " = " +
                                  given.value.text + ": " + message);
    }
  }
}

}  // namespace node
