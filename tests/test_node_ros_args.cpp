// trelvo-node's ROS 2 arguments: command lines as `ros2 launch`, ExecuteProcess and `ros2 run`
// build them, split into the program's own arguments and ROS arguments; remapped topic names;
// parameters from files and -p in ROS 2's precedence; parameters as the program's options, parsed
// by a command line shaped like the node's; and errors that name the argument.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "node/ros_args/program_command_line.hpp"
#include "node/ros_args/ros_arguments.hpp"

namespace fs = std::filesystem;
using node::RosArguments;
using testing::ElementsAreArray;
using testing::HasSubstr;

namespace {

using Words = std::vector<std::string>;

RosArguments parse(const Words& words) {
  std::vector<const char*> argv;
  for (const auto& word : words) {
    argv.push_back(word.c_str());
  }
  return node::parseRosArguments(static_cast<int>(argv.size()), argv.data());
}

// What a program with the node's options (same names and kinds) ends up with.
struct NodeSettings {
  double rate = 20.0;
  double poseTimeout = 0.5;
  std::string nameSpace;
  std::uint32_t domain = 0;
  std::string poseTopic;
  bool stamped = false;
  std::string latencyLog;
  std::vector<std::string> poseFromTf;
  std::optional<std::string> notice;
};

NodeSettings startNode(const Words& words) {
  NodeSettings settings;
  CLI::App app{"shaped like trelvo-node"};
  app.set_version_flag("--version", "1");
  app.add_option("--rate", settings.rate)->check(CLI::Range(1.0, 1000.0));
  app.add_option("--pose-timeout", settings.poseTimeout)->check(CLI::Range(0.001, 60.0));
  app.add_option("--namespace", settings.nameSpace);
  app.add_option("--domain", settings.domain);
  app.add_option("--pose-topic", settings.poseTopic);
  app.add_flag("--stamped", settings.stamped);
  app.add_option("--latency-log", settings.latencyLog);
  app.add_option("--pose-from-tf", settings.poseFromTf)->expected(2);
  const auto line = node::programCommandLine(parse(words), node::programOptions(app));
  node::checkParameterOptions(app, line);
  std::vector<const char*> argv;
  for (const auto& word : line.arguments) {
    argv.push_back(word.c_str());
  }
  app.parse(static_cast<int>(argv.size()), argv.data());
  settings.notice = line.notice;
  return settings;
}

class RosArgs : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "trelvo-ros-args-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Writes the parameter files and puts their paths in place of "{0}", "{1}", ... in `words`.
  Words withFiles(Words words, const Words& files) {
    for (std::size_t i = 0; i < files.size(); ++i) {
      const fs::path path = folder_ / ("params" + std::to_string(i) + ".yaml");
      std::ofstream(path) << files[i];
      for (auto& word : words) {
        if (word == "{" + std::to_string(i) + "}") {
          word = path.string();
        }
      }
    }
    return words;
  }

  fs::path folder_;
};

// The parameters' value texts, without where each was given.
std::map<std::string, std::string> valueTexts(const RosArguments& ros) {
  std::map<std::string, std::string> texts;
  for (const auto& [name, value] : ros.parameters) {
    texts[name] = value.text;
  }
  return texts;
}

TEST(RosArgsSplit, ProgramArgumentsAreWhatLiesOutsideTheRosBlocks) {
  struct Case {
    Words line;
    Words program;
    Words ignored;
  };
  const Case cases[] = {
      {{"trelvo-node", "--rate", "10"}, {"trelvo-node", "--rate", "10"}, {}},
      {{"trelvo-node", "--rate", "10", "--ros-args", "-r", "cmd_vel:=x"},
       {"trelvo-node", "--rate", "10"},
       {}},
      {{"trelvo-node", "--ros-args", "--log-level", "debug", "--", "--stamped"},
       {"trelvo-node", "--stamped"},
       {"--log-level debug"}},
      // Several blocks, each ended by "--" or the end; unknown ROS flags are set aside.
      {{"trelvo-node", "--ros-args", "-e", "/enclave", "--", "--rate", "5", "--ros-args",
        "--disable-rosout-logs", "--", "--stamped", "--ros-args", "--foo"},
       {"trelvo-node", "--rate", "5", "--stamped"},
       {"-e /enclave", "--disable-rosout-logs", "--foo"}},
      // launch's Node(ros_arguments=[...]) opens a block of its own that the next one continues.
      {{"trelvo-node", "--ros-args", "--log-level", "warn", "--ros-args", "-r", "__node:=n"},
       {"trelvo-node"},
       {"--log-level warn"}},
      // A value-taking ROS flag takes the next word whatever it looks like, "--" too, as rcl does.
      {{"trelvo-node", "--ros-args", "--log-file-name", "-r", "--enclave", "--", "--stamped"},
       {"trelvo-node"},
       {"--log-file-name -r", "--enclave --", "--stamped"}},
      {{"trelvo-node", "--", "--ros-args"}, {"trelvo-node", "--"}, {}},
      {{"trelvo-node", "--ros-args"}, {"trelvo-node"}, {}},
  };
  for (const auto& c : cases) {
    const RosArguments ros = parse(c.line);
    EXPECT_THAT(ros.programArgs, ElementsAreArray(c.program)) << testing::PrintToString(c.line);
    EXPECT_THAT(ros.ignored, ElementsAreArray(c.ignored)) << testing::PrintToString(c.line);
  }
}

TEST(RosArgsNames, TopicsAreRemappedByRos2Rules) {
  struct Case {
    Words rosArgs;
    std::string topic;
    std::string nameSpace;  // as the program has it
    std::string expected;
  };
  const Case cases[] = {
      {{}, "cmd_vel", "", "/cmd_vel"},
      {{}, "cmd_vel", "robot1", "/robot1/cmd_vel"},
      {{}, "/odom", "robot1", "/odom"},
      {{"-r", "cmd_vel:=/robot/cmd"}, "cmd_vel", "", "/robot/cmd"},
      {{"-r", "cmd_vel:=cmd"}, "cmd_vel", "robot1", "/robot1/cmd"},
      {{"--remap", "cmd_vel:=cmd"}, "cmd_vel", "", "/cmd"},
      {{"-r", "/cmd_vel:=x"}, "cmd_vel", "", "/x"},
      {{"-r", "/cmd_vel:=x"}, "cmd_vel", "robot1", "/robot1/cmd_vel"},
      {{"-r", "/robot1/cmd_vel:=/c"}, "cmd_vel", "robot1", "/c"},
      {{"-r", "cmd_vel:=/a", "-r", "cmd_vel:=/b"}, "cmd_vel", "", "/a"},
      {{"-r", "/cmd_vel:=/a", "-r", "cmd_vel:=/b"}, "cmd_vel", "", "/a"},
      {{"-r", "trelvo_node:cmd_vel:=/mine"}, "cmd_vel", "", "/mine"},
      {{"-r", "other:cmd_vel:=/theirs"}, "cmd_vel", "", "/cmd_vel"},
      {{"-r", "rostopic://cmd_vel:=/t"}, "cmd_vel", "", "/t"},
      {{"-r", "rosservice://cmd_vel:=/s"}, "cmd_vel", "", "/cmd_vel"},
      {{}, "~/status", "", "/trelvo_node/status"},
      {{"-r", "~/status:=/s"}, "~/status", "", "/s"},
      {{"-r", "__node:=mover"}, "~/status", "robot1", "/robot1/mover/status"},
      {{"-r", "cmd_vel:=~/cmd"}, "cmd_vel", "robot1", "/robot1/trelvo_node/cmd"},
      // A rule for one node fits the node by the name it was given.
      {{"-r", "__node:=mover", "-r", "mover:cmd_vel:=/m"}, "cmd_vel", "", "/m"},
      {{"-r", "__node:=mover", "-r", "trelvo_node:cmd_vel:=/m"}, "cmd_vel", "", "/cmd_vel"},
  };
  for (const auto& c : cases) {
    Words line = {"trelvo-node", "--ros-args"};
    line.insert(line.end(), c.rosArgs.begin(), c.rosArgs.end());
    EXPECT_EQ(parse(line).remapped(c.topic, c.nameSpace), c.expected)
        << testing::PrintToString(c.rosArgs) << " " << c.topic << " in '" << c.nameSpace << "'";
  }
}

TEST(RosArgsNames, NamespaceAndNodeNameComeFromTheirFirstRule) {
  struct Case {
    Words rosArgs;
    std::optional<std::string> nameSpace;
    std::optional<std::string> nodeName;
    Words ignored;
  };
  const Case cases[] = {
      {{}, std::nullopt, std::nullopt, {}},
      {{"-r", "__ns:=/robot1"}, "/robot1", std::nullopt, {}},
      {{"-r", "__ns:=/fleet/robot1/"}, "/fleet/robot1", std::nullopt, {}},
      {{"-r", "__ns:=/"}, "/", std::nullopt, {}},
      {{"-r", "__node:=mover"}, std::nullopt, "mover", {}},
      {{"-r", "__name:=mover"}, std::nullopt, "mover", {}},
      {{"-r", "__ns:=/a", "-r", "__ns:=/b"}, "/a", std::nullopt, {"-r __ns:=/b"}},
      {{"-r", "__node:=a", "-r", "__node:=b"}, std::nullopt, "a", {"-r __node:=b"}},
      {{"-r", "trelvo_node:__node:=mover"}, std::nullopt, "mover", {}},
      {{"-r", "mover:__node:=x"}, std::nullopt, std::nullopt, {"-r mover:__node:=x"}},
      {{"-r", "__node:=mover", "-r", "mover:__ns:=/r"}, "/r", "mover", {}},
      {{"-r", "other:__ns:=/x"}, std::nullopt, std::nullopt, {"-r other:__ns:=/x"}},
      {{"-r", "rosservice://stop:=/halt"},
       std::nullopt,
       std::nullopt,
       {"-r rosservice://stop:=/halt"}},
  };
  for (const auto& c : cases) {
    Words line = {"trelvo-node", "--ros-args"};
    line.insert(line.end(), c.rosArgs.begin(), c.rosArgs.end());
    const RosArguments ros = parse(line);
    EXPECT_EQ(ros.nameSpace, c.nameSpace) << testing::PrintToString(c.rosArgs);
    EXPECT_EQ(ros.nodeName, c.nodeName) << testing::PrintToString(c.rosArgs);
    EXPECT_THAT(ros.ignored, ElementsAreArray(c.ignored)) << testing::PrintToString(c.rosArgs);
  }
}

TEST_F(RosArgs, ParametersFollowRos2Precedence) {
  struct Case {
    const char* what;
    Words files;
    Words rosArgs;
    std::map<std::string, std::string> expected;
  };
  const std::string rate10 = "/**:\n  ros__parameters:\n    rate: 10\n";
  const std::string rate20 = "/**:\n  ros__parameters:\n    rate: 20.0\n";
  const Case cases[] = {
      {"launch's file for a dict", {rate20}, {"--params-file", "{0}"}, {{"rate", "20.0"}}},
      {"later file wins",
       {rate10, rate20},
       {"--params-file", "{0}", "--params-file", "{1}"},
       {{"rate", "20.0"}}},
      {"-p over a file after it",
       {rate20},
       {"--params-file", "{0}", "-p", "rate:=30"},
       {{"rate", "30"}}},
      {"-p over a file before it",
       {rate20},
       {"-p", "rate:=30", "--params-file", "{0}"},
       {{"rate", "30"}}},
      {"later -p wins", {}, {"-p", "rate:=30", "--param", "rate:=40"}, {{"rate", "40"}}},
      {"later section wins",
       {"/**:\n  ros__parameters: {rate: 10}\ntrelvo_node:\n  ros__parameters: {rate: 12}\n"},
       {"--params-file", "{0}"},
       {{"rate", "12"}}},
      {"sections of other nodes and namespaces do not apply",
       {"other_node:\n  ros__parameters: {rate: 1}\n/robot1/trelvo_node:\n  ros__parameters: "
        "{rate: 2}\n/*/*:\n  ros__parameters: {rate: 3}\ntrelvo_node:\n  ros__parameters: "
        "{domain: 4}\n"},
       {"--params-file", "{0}"},
       {{"domain", "4"}}},
      {"a section named for the node applies only at the root, as in ROS 2",
       {"trelvo_node:\n  ros__parameters: {rate: 1}\n/robot1/trelvo_node:\n  ros__parameters: "
        "{domain: 2}\n/**/trelvo_node:\n  ros__parameters: {frame: base}\nrobot1:\n  "
        "trelvo_node:\n    ros__parameters: {stamped: true}\n/*/*:\n  ros__parameters: "
        "{latency_log: l}\n"},
       {"-r", "__ns:=/robot1", "--params-file", "{0}"},
       {{"domain", "2"}, {"frame", "base"}, {"stamped", "true"}, {"latency_log", "l"}}},
      {"/**/NAME applies to the node at the root as well",
       {"/**/trelvo_node:\n  ros__parameters: {rate: 3}\n/**/other:\n  ros__parameters: "
        "{domain: 1}\n"},
       {"--params-file", "{0}"},
       {{"rate", "3"}}},
      {"the node's new name chooses its section",
       {"trelvo_node:\n  ros__parameters: {rate: 1}\n/robot1/mover:\n  ros__parameters: "
        "{rate: 2}\n"},
       {"-r", "__node:=mover", "-r", "__ns:=/robot1", "--params-file", "{0}"},
       {{"rate", "2"}}},
      {"values as text",
       {"/**:\n  ros__parameters:\n    name: 'text'\n    a: True\n    b: yes\n    c: 'true'\n    "
        "d: off\n    e: [1, 2]\n    limits:\n      speed: 1\n"},
       {"--params-file", "{0}", "-p", "f:=\"on\"", "-p", "g:=0.5"},
       {{"name", "text"},
        {"a", "true"},
        {"b", "true"},
        {"c", "true"},
        {"d", "false"},
        {"e", "[1, 2]"},
        {"limits.speed", "1"},
        {"f", "on"},
        {"g", "0.5"}}},
      // launch's Parameter(...) writes its value with yaml.dump, document end and all.
      {"launch's -p", {}, {"-p", "rate:=20.0\n...\n"}, {{"rate", "20.0"}}},
      {"'-' in a name is '_'",
       {},
       {"-p", "pose-timeout:=0.2", "-p", "pose_topic:=p"},
       {{"pose_timeout", "0.2"}, {"pose_topic", "p"}}},
      {"-p for one node",
       {},
       {"-p", "trelvo_node:rate:=5", "-p", "other:domain:=3"},
       {{"rate", "5"}}},
      {"an empty file", {""}, {"--params-file", "{0}"}, {}},
  };
  for (const auto& c : cases) {
    Words line = {"trelvo-node", "--ros-args"};
    line.insert(line.end(), c.rosArgs.begin(), c.rosArgs.end());
    EXPECT_EQ(valueTexts(parse(withFiles(line, c.files))), c.expected) << c.what;
  }
}

TEST_F(RosArgs, LaunchedNodeGetsItsOptionsFromParameters) {
  struct Case {
    const char* what;
    Words files;
    Words line;
    std::string settings;
    std::optional<std::string> notice;
  };
  const std::string launchFile =
      "/robot1/mover:\n  ros__parameters:\n    rate: 25.0\n    stamped: true\n";
  const std::string shared =
      "/**:\n  ros__parameters:\n    rate: 10\n    use_sim_time: false\n    pose_topic: pose\n";
  const Case cases[] = {
      {"Node(name, namespace, parameters, remappings)",
       {launchFile},
       {"trelvo-node", "--ros-args", "-r", "__node:=mover", "-r", "__ns:=/robot1", "--params-file",
        "{0}", "-p", "pose_timeout:=0.2", "-r", "cmd_vel:=/robot1/cmd"},
       "rate 25 pose timeout 0.2 stamped 1 pose topic ''",
       std::nullopt},
      {"Node with arguments and a shared file",
       {shared},
       {"trelvo-node", "--rate", "50", "--ros-args", "--params-file", "{0}"},
       "rate 50 pose timeout 0.5 stamped 0 pose topic 'pose'",
       "ignored ROS arguments: parameter rate (--rate is on the command line), parameter "
       "use_sim_time (no option --use-sim-time)"},
      {"ExecuteProcess",
       {},
       {"trelvo-node", "--stamped", "--ros-args", "--log-level", "debug", "-p", "rate:=40",
        "--disable-stdout-logs", "--", "--pose-timeout=0.3", "--ros-args", "-p",
        "pose-timeout:=0.9", "-p", "stamped:=false"},
       "rate 40 pose timeout 0.3 stamped 1 pose topic ''",
       "ignored ROS arguments: --log-level debug, --disable-stdout-logs, parameter pose_timeout "
       "(--pose-timeout is on the command line), parameter stamped (--stamped is on the command "
       "line)"},
      {"a false flag is left out",
       {},
       {"trelvo-node", "--ros-args", "-p", "stamped:=False"},
       "rate 20 pose timeout 0.5 stamped 0 pose topic ''",
       std::nullopt},
  };
  for (const auto& c : cases) {
    const NodeSettings node = startNode(withFiles(c.line, c.files));
    std::ostringstream settings;
    settings << "rate " << node.rate << " pose timeout " << node.poseTimeout << " stamped "
             << node.stamped << " pose topic '" << node.poseTopic << "'";
    EXPECT_EQ(settings.str(), c.settings) << c.what;
    EXPECT_EQ(node.notice, c.notice) << c.what;
  }
}

TEST(RosArgsOptions, ParameterOptionsComeBeforeTheProgramsOwnArguments) {
  // A "--" among the program's arguments ends its options: what the parameters set goes first.
  const auto line = node::programCommandLine(
      parse({"trelvo-node", "--latency-log", "l", "--", "x", "--ros-args", "-p", "domain:=3", "-p",
             "stamped:=on"}),
      {{{"domain"}, false}, {{"stamped"}, true}, {{"latency-log"}, false}});
  EXPECT_THAT(line.arguments, ElementsAreArray(Words{"trelvo-node", "--domain=3", "--stamped",
                                                     "--latency-log", "l", "--", "x"}));
  EXPECT_EQ(line.notice, std::nullopt);
}

// A Nav2 params file's controller_server section, given to the node: its checker plugins'
// settings set the node's options, and what it has no use for is ignored with why.
TEST_F(RosArgs, Nav2ControllerServerParametersSetTheMatchingOptions) {
  const std::string nav2 =
      "trelvo_node:\n  ros__parameters:\n    controller_frequency: 10.0\n"
      "    min_x_velocity_threshold: 0.001\n    progress_checker_plugins: [progress_checker]\n"
      "    goal_checker_plugins: [precise]\n    progress_checker:\n"
      "      required_movement_radius: 0.5\n      movement_time_allowance: 10.0\n"
      "    precise:\n      xy_goal_tolerance: 0.1\n    general_goal_checker:\n"
      "      yaw_goal_tolerance: 0.3\n    FollowPath:\n      plugin: nav2_rpp\n";
  const auto line = node::programCommandLine(
      parse(withFiles({"trelvo-node", "--ros-args", "--params-file", "{0}"}, {nav2})),
      {{{"controller-frequency"}, false},
       {{"progress-checker-plugins"}, false, true},
       {{"goal-checker-plugins"}, false, true},
       {{"required-movement-radius"}, false},
       {{"movement-time-allowance"}, false},
       {{"xy-goal-tolerance"}, false},
       {{"yaw-goal-tolerance"}, false}},
      {{"general_goal_checker"}, {"progress_checker"}});
  EXPECT_THAT(line.arguments, testing::UnorderedElementsAreArray(Words{
                                  "trelvo-node", "--controller-frequency=10.0",
                                  "--goal-checker-plugins", "precise", "--progress-checker-plugins",
                                  "progress_checker", "--movement-time-allowance=10.0",
                                  "--required-movement-radius=0.5", "--xy-goal-tolerance=0.1"}));
  EXPECT_EQ(line.notice,
            "ignored ROS arguments: parameter FollowPath.plugin (the node's own controller drives "
            "every goal), parameter general_goal_checker.yaw_goal_tolerance (general_goal_checker "
            "is none of the node's checker plugins), parameter min_x_velocity_threshold (the "
            "route's commands are used as they are)");
}

TEST(RosArgsOptions, EveryLongOptionButHelpAndVersionCanBeSet) {
  CLI::App app;
  app.set_version_flag("--version", "1");
  double rate = 0;
  bool stamped = false;
  app.add_option("--rate,--frequency", rate);
  app.add_flag("-s,--stamped", stamped);
  app.add_option("-x", rate);
  const auto options = node::programOptions(app);
  ASSERT_EQ(options.size(), 2u);
  EXPECT_THAT(options[0].longNames, ElementsAreArray(Words{"rate", "frequency"}));
  EXPECT_FALSE(options[0].isFlag);
  EXPECT_THAT(options[1].longNames, ElementsAreArray(Words{"stamped"}));
  EXPECT_TRUE(options[1].isFlag);
}

TEST_F(RosArgs, BadRosArgumentsAreNamedInOneMessage) {
  struct Case {
    Words files;
    Words rosArgs;
    std::string message;
  };
  const std::string missing = (folder_ / "no-such.yaml").string();
  const Case cases[] = {
      {{}, {"-r", "cmd_vel"}, "ROS argument '-r cmd_vel': a remapping is written from:=to"},
      {{}, {"-r", "cmd_vel:="}, "ROS argument '-r cmd_vel:=': the new name '' is not a ROS name"},
      {{}, {"-r", "1cmd:=x"}, "'1cmd' is not a ROS name"},
      {{}, {"-r", "a//b:=x"}, "'a//b' is not a ROS name"},
      {{}, {"-r", "a__b:=x"}, "'a__b' is not a ROS name"},
      {{}, {"-r", "cmd_vel:=/x/"}, "'/x/' is not a ROS name"},
      {{}, {"-r", "a:b:c:=x"}, "'b:c' is not a ROS name"},
      {{}, {"-r", "cmd_vel:=/x/*"}, "ROS argument '-r cmd_vel:=/x/*': wildcards are not supported"},
      {{}, {"-r", "__ns:=robot1"}, "the namespace 'robot1' must start with '/'"},
      {{}, {"-r", "__node:=a/b"}, "the node name 'a/b' is not a token"},
      {{}, {"-r", "1node:cmd_vel:=x"}, "'1node' before ':' is not a node name"},
      {{}, {"-r"}, "ROS argument '-r' needs a value after it"},
      {{}, {"--log-level"}, "ROS argument '--log-level' needs a value after it"},
      {{}, {"-p", "rate"}, "ROS argument '-p rate': a parameter is written name:=value"},
      {{}, {"-p", "rate:="}, "ROS argument '-p rate:=': parameter rate has no value"},
      {{}, {"-p", "rate:=[1,"}, "ROS argument '-p rate:=[1,': the value is not YAML"},
      {{},
       {"--params-file", missing},
       "ROS argument '--params-file " + missing + "': cannot be read: No such file or directory"},
      {{"/**:\n  ros__parameters:\n    rate: [1,\n"},
       {"--params-file", "{0}"},
       "params0.yaml': line 4: "},
      {{"rate: 20\n"},
       {"--params-file", "{0}"},
       "params0.yaml': line 1: 'rate' is not a section NODE_NAME: ros__parameters: {...}"},
      {{"ros__parameters:\n  rate: 20\n"},
       {"--params-file", "{0}"},
       "params0.yaml': line 1: ros__parameters is not under a node name"},
      {{"/**:\n  ros__parameters: 20\n"},
       {"--params-file", "{0}"},
       "params0.yaml': line 2: ros__parameters must hold a map of parameters"},
      {{"/**:\n  ros__parameters:\n    rate:\n"},
       {"--params-file", "{0}"},
       "params0.yaml': line 3: parameter rate has no value"},
      {{"- 1\n"}, {"--params-file", "{0}"}, "params0.yaml': not a file of sections"},
      {{}, {"--params-file", "/"}, "ROS argument '--params-file /': is a folder, not a file"},
  };
  for (const auto& c : cases) {
    Words line = {"trelvo-node", "--ros-args"};
    line.insert(line.end(), c.rosArgs.begin(), c.rosArgs.end());
    try {
      parse(withFiles(line, c.files));
      ADD_FAILURE() << "accepted " << testing::PrintToString(c.rosArgs);
    } catch (const std::invalid_argument& error) {
      EXPECT_THAT(error.what(), HasSubstr(c.message)) << testing::PrintToString(c.rosArgs);
    }
  }
}

TEST(RosArgsOptions, FlagParameterMustBeTrueOrFalse) {
  const auto ros = parse({"trelvo-node", "--ros-args", "-p", "stamped:=1"});
  try {
    node::programCommandLine(ros, {{{"stamped"}, true}});
    ADD_FAILURE() << "accepted stamped:=1";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(),
                 "parameter stamped sets the flag --stamped: it takes true or false, not '1'");
  }
}

TEST_F(RosArgs, ParameterValuesGoThroughTheProgramsOwnChecksNamingWhereTheyCameFrom) {
  struct Case {
    Words files;
    Words rosArgs;
    Words message;  // the parts the message holds
  };
  const Case cases[] = {
      {{}, {"-p", "rate:=5000"}, {"ROS argument '-p rate:=5000': parameter rate = 5000: "}},
      {{}, {"-p", "rate:=fast"}, {"ROS argument '-p rate:=fast': parameter rate = fast: "}},
      {{"/**:\n  ros__parameters:\n    domain: 1\n    rate: fast\n"},
       {"--params-file", "{0}"},
       {"parameter file ", "params0.yaml: parameter rate = fast: "}},
      {{"/**:\n  ros__parameters:\n    pose_from_tf: [map]\n"},
       {"--params-file", "{0}"},
       {"params0.yaml: parameter pose_from_tf = [map]: "}},
      {{}, {"-p", "pose_from_tf:=map"}, {"'-p pose_from_tf:=map': parameter pose_from_tf = map: "}},
      {{}, {"-p", "pose_from_tf:=[map, ~]"}, {"'-p pose_from_tf:=[map, ~]': ", "no value"}},
  };
  for (const auto& c : cases) {
    Words line = {"trelvo-node", "--ros-args"};
    line.insert(line.end(), c.rosArgs.begin(), c.rosArgs.end());
    try {
      startNode(withFiles(line, c.files));
      ADD_FAILURE() << "accepted " << testing::PrintToString(c.rosArgs);
    } catch (const std::invalid_argument& error) {
      for (const auto& part : c.message) {
        EXPECT_THAT(error.what(), HasSubstr(part)) << testing::PrintToString(c.rosArgs);
      }
      EXPECT_THAT(error.what(), testing::Not(HasSubstr("--"))) << "names the parameter";
    }
  }
}

// An option of two values takes a YAML list as a parameter: each item one value, however the
// list is written.
TEST_F(RosArgs, AListParameterGivesEachItemAsOneValue) {
  struct Case {
    Words files;
    Words rosArgs;
  };
  const Case cases[] = {
      {{}, {"-p", "pose_from_tf:=[map,base_link]"}},
      {{}, {"-p", "pose_from_tf:=[map, base_link]"}},
      {{}, {"-p", "pose_from_tf:=['map', \"base_link\"]"}},
      {{}, {"-p", "trelvo_node:pose_from_tf:=[ map ,base_link ]"}},
      {{"/**:\n  ros__parameters:\n    pose_from_tf: [map, base_link]\n"},
       {"--params-file", "{0}"}},
      {{"trelvo_node:\n  ros__parameters:\n    pose_from_tf:\n      - map\n      - base_link\n"},
       {"--params-file", "{0}"}},
      // launch writes a string parameter quoted: a list in it is still read as the list.
      {{"/**:\n  ros__parameters:\n    pose_from_tf: '[map, base_link]'\n"},
       {"--params-file", "{0}"}},
  };
  for (const auto& c : cases) {
    Words line = {"trelvo-node", "--ros-args"};
    line.insert(line.end(), c.rosArgs.begin(), c.rosArgs.end());
    const NodeSettings node = startNode(withFiles(line, c.files));
    EXPECT_THAT(node.poseFromTf, ElementsAreArray(Words{"map", "base_link"}))
        << testing::PrintToString(c.rosArgs) << testing::PrintToString(c.files);
    EXPECT_EQ(node.notice, std::nullopt);
  }
  // The command line's own option still wins over the parameter.
  const NodeSettings written = startNode({"trelvo-node", "--pose-from-tf", "odom", "base",
                                          "--ros-args", "-p", "pose_from_tf:=[a, b]"});
  EXPECT_THAT(written.poseFromTf, ElementsAreArray(Words{"odom", "base"}));
}

}  // namespace
