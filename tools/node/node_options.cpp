#include "node/node_options.hpp"

#include <CLI/CLI.hpp>

#include <cmath>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>

#include "common/command_line.hpp"
#include "common/number_text.hpp"
#include "node/exit_codes.hpp"
#include "node/ros_args/program_command_line.hpp"
#include "wire/participant.hpp"
#include "wire/topic_names.hpp"

namespace node {
namespace {

constexpr double kLowestRate = 1.0;             // Hz
constexpr double kHighestRate = 1000.0;         // Hz
constexpr double kShortestPoseTimeout = 0.001;  // s
constexpr double kLongestPoseTimeout = 60.0;    // s
constexpr int kHighestRealtimePriority = 99;    // SCHED_FIFO's range on Linux
constexpr double kLongestGoalTolerance = 10.0;  // m
constexpr double kShortestStallTime = 0.1;      // s: two cycles at the lowest rate at least

constexpr const char* kRampGroup = "Command ramps (off by default)";

void addTopicOptions(CLI::App& app, NodeOptions& options) {
  app.add_option("--namespace", options.nameSpace,
                 "Puts every topic under /NAME/, so that a fleet shares one DDS domain")
      ->type_name("NAME")
      ->check(common::rosNameCheck(
          "namespace", [](const std::string& text) { wire::ddsTopicName(text, "cmd_vel"); }));
  app.add_option("--domain", options.domain, "DDS domain id (default: ROS_DOMAIN_ID, else 0)")
      ->type_name("ID")
      ->check(common::wholeNumberCheck(0, wire::kLargestDomain));
  app.add_option("--pose-topic", options.poseTopic,
                 "Takes geometry_msgs/msg/PoseStamped from this topic instead of odometry on odom")
      ->type_name("NAME")
      ->check(common::rosNameCheck("topic name",
                                   [](const std::string& text) { wire::ddsTopicName("", text); }));
  auto* withCovariance = app.add_flag(
      "--pose-with-covariance", options.poseWithCovariance,
      "--pose-topic carries geometry_msgs/msg/PoseWithCovarianceStamped (AMCL's amcl_pose)");
  auto* fromTf = app.add_option("--pose-from-tf", options.poseFromTf,
                                "Takes the pose as the transform GLOBAL -> BASE from TF (e.g. map "
                                "base_link), as Nav2's controller does, instead of a topic")
                     ->type_name("GLOBAL BASE")
                     ->expected(2);
  fromTf->excludes("--pose-topic");
  withCovariance->needs("--pose-topic");
  app.add_flag("--stamped", options.stamped,
               "Publishes cmd_vel as geometry_msgs/msg/TwistStamped instead of Twist");
  app.add_flag("--use-sim-time", options.useSimTime,
               "Stamps what it publishes with the simulator's time from /clock (rosgraph_msgs/msg/"
               "Clock), as ROS 2's use_sim_time; pose and transform ages keep the steady clock");
  const auto topicCheck = common::rosNameCheck(
      "topic name", [](const std::string& text) { wire::ddsTopicName("", text); });
  app.add_option("--plan-topic", options.planTopic,
                 "Takes paths from this topic; under --lifecycle only when given, as goals move "
                 "a managed node")
      ->type_name("NAME")
      ->check(topicCheck)
      ->capture_default_str();
  app.add_option("--odom-topic", options.odomTopic, "Takes odometry from this topic")
      ->type_name("NAME")
      ->check(topicCheck)
      ->capture_default_str();
  app.add_option("--cmd-vel-topic", options.cmdVelTopic, "Publishes the command on this topic")
      ->type_name("NAME")
      ->check(topicCheck)
      ->capture_default_str();
}

void addCycleOptions(CLI::App& app, NodeOptions& options) {
  app.add_option("--rate,--controller-frequency", options.rate,
                 "Control cycles per second (Nav2's controller_frequency)")
      ->type_name("HZ")
      ->check(common::realRangeCheck(kLowestRate, kHighestRate, "Hz"))
      ->capture_default_str();
  app.add_option("--pose-timeout", options.poseTimeout,
                 "A pose older than this stops the vehicle until fresh poses arrive")
      ->type_name("S")
      ->check(common::realRangeCheck(kShortestPoseTimeout, kLongestPoseTimeout, "s"))
      ->capture_default_str();
  app.add_option("--transform-timeout", options.transformTimeout,
                 "A path in a frame that TF does not join to the poses' within this is refused")
      ->type_name("S")
      ->check(common::realRangeCheck(kShortestPoseTimeout, kLongestPoseTimeout, "s"))
      ->capture_default_str();
  app.add_option("--realtime-priority", options.realtimePriority,
                 "Runs the control cycle under SCHED_FIFO at this priority (1 to 99; needs "
                 "CAP_SYS_NICE or an rtprio limit), so that no ordinary process preempts it; 0: "
                 "the normal scheduler")
      ->type_name("N")
      ->check(common::wholeNumberCheck(0, kHighestRealtimePriority))
      ->capture_default_str();
  app.add_option("--latency-log", options.latencyLog,
                 "Writes each cycle's time from taking the pose to the command written, for "
                 "benchmarks")
      ->type_name("FILE")
      ->check(common::writableFileCheck());
}

void addRampOptions(CLI::App& app, RampLimits& ramp) {
  constexpr const char* kSafetyStops =
      "; 0 for none. Stops for safety (stale pose, shutdown, no route) stay immediate";
  app.add_option("--max-accel", ramp.maxAccel,
                 std::string("Limits how fast the commanded forward speed grows") + kSafetyStops)
      ->type_name("M/S2")
      ->check(common::realCheck(common::Bound::NonNegative))
      ->group(kRampGroup);
  app.add_option("--max-decel", ramp.maxDecel,
                 std::string("Limits how fast the commanded forward speed shrinks toward zero "
                             "(a reversal slows to a stand first)") +
                     kSafetyStops)
      ->type_name("M/S2")
      ->check(common::realCheck(common::Bound::NonNegative))
      ->group(kRampGroup);
  app.add_option("--max-turn-accel", ramp.maxTurnAccel,
                 std::string("Limits how fast the commanded turn rate changes") + kSafetyStops)
      ->type_name("RAD/S2")
      ->check(common::realCheck(common::Bound::NonNegative))
      ->group(kRampGroup);
}

void addLifecycleOption(CLI::App& app, NodeOptions& options) {
  app.add_flag("--lifecycle", options.lifecycle,
               "Runs as a ROS 2 managed node, as Nav2's controller server: starts unconfigured, "
               "serves NODE/change_state and NODE/get_state and the follow_path action, and "
               "commands the vehicle only while active and while its bond with the lifecycle "
               "manager, once formed, holds");
  app.add_option("--follow-path-action", options.followPathAction,
                 "The nav2_msgs/action/FollowPath action a managed node serves, as Nav2's "
                 "behaviour tree names its controller server's")
      ->type_name("NAME")
      ->capture_default_str();
  app.add_option("--failure-tolerance", options.failureTolerance,
                 "A goal without a fresh pose for this long ends ABORTED with TF_ERROR (102); 0: "
                 "at once; -1: never")
      ->type_name("S")
      ->check(CLI::Validator(
          [](std::string& text) {
            // -1 (never) stands apart from the range of seconds
            if (!common::realRangeComplaint(text, -1.0, -1.0, "s")) {
              return std::string();
            }
            return common::realRangeComplaint(text, 0.0, kLongestPoseTimeout, "s")
                .value_or(std::string());
          },
          ""))
      ->capture_default_str();
  const auto plugins = [&app](const char* name, std::vector<std::string>& names, const char* what) {
    app.add_option(name, names,
                   std::string("The ") + what +
                       " ids a follow_path goal may name, as Nav2's controller server's; a goal "
                       "naming another ends ABORTED")
        ->type_name("ID...")
        ->default_str(names.front());
  };
  app.add_option("--xy-goal-tolerance", options.xyGoalTolerance,
                 fmt::format("Nav2's goal checker's: the route ends within {:.4g} m of its goal, "
                             "so a tolerance under that is refused",
                             kRouteEndsWithin))
      ->type_name("M")
      ->check(common::realRangeCheck(kRouteEndsWithin, kLongestGoalTolerance, "m"))
      ->capture_default_str();
  app.add_option("--yaw-goal-tolerance", options.yawGoalTolerance,
                 fmt::format("Nav2's goal checker's: the route ends within {:.4g} rad of its "
                             "heading, so a tolerance under that is refused",
                             kRouteEndsWithinYaw))
      ->type_name("RAD")
      ->check(common::realRangeCheck(kRouteEndsWithinYaw, M_PI, "rad"))
      ->capture_default_str();
  app.add_option("--required-movement-radius", options.requiredMovementRadius,
                 "Nav2's progress checker's: a vehicle that moves less (and turns less than 1 "
                 "deg) in --movement-time-allowance under commands has stalled")
      ->type_name("M")
      ->check(common::realRangeCheck(kShortestPoseTimeout, kLongestGoalTolerance, "m"))
      ->capture_default_str();
  app.add_option("--movement-time-allowance", options.movementTimeAllowance,
                 "Nav2's progress checker's: see --required-movement-radius")
      ->type_name("S")
      ->check(common::realRangeCheck(kShortestStallTime, kLongestPoseTimeout, "s"))
      ->capture_default_str();
  plugins("--controller-plugins", options.controllerPlugins, "controller");
  plugins("--goal-checker-plugins", options.goalCheckerPlugins, "goal checker");
  plugins("--progress-checker-plugins", options.progressCheckerPlugins, "progress checker");
}

std::string exitStatusHelp() {
  return fmt::format(
      "Exit status:\n"
      "  {}  stopped by SIGINT or SIGTERM, the stop command acknowledged\n"
      "  {}  the stop command was not acknowledged by every matched command reader on shutdown\n"
      "  {}  bad command line\n"
      "  {}  failure at run time (DDS)",
      kExitSuccess, kExitStopNotAcknowledged, kExitBadInput, kExitFailure);
}

}  // namespace

std::optional<NodeOptions> parseNodeOptions(int argc, const char* const* argv) {
  CLI::App app{
      "trelvo-node: drives a vehicle along the paths a planner publishes, on a ROS 2 network.\n"
      "Subscribes plan (nav_msgs/msg/Path) and odom (nav_msgs/msg/Odometry), publishes cmd_vel, "
      "lookahead_point and route_progress.",
      "trelvo-node"};
  app.set_version_flag("--version", "trelvo-node " TRELVO_VERSION);
  app.footer(exitStatusHelp());
  NodeOptions options;
  addTopicOptions(app, options);
  addCycleOptions(app, options);
  addRampOptions(app, options.ramp);
  addObstacleOptions(app, options.obstacles);
  addLifecycleOption(app, options);
  addRosDistroOption(app, options.rosDistro);
  // ROS 2's arguments become the program's own: parameters as options, the rest kept for the
  // topics and the node's name.
  options.ros = parseRosArguments(argc, argv);
  const ProgramCommandLine line =
      programCommandLine(options.ros, programOptions(app),
                         {options.goalCheckerPlugins, options.progressCheckerPlugins});
  checkParameterOptions(app, line);
  std::vector<const char*> words;
  for (const auto& word : line.arguments) {
    words.push_back(word.c_str());
  }
  try {
    if (!common::parseCommandLine(app, static_cast<int>(words.size()), words.data())) {
      return std::nullopt;
    }
  } catch (const CLI::ParseError& error) {
    throw std::invalid_argument(error.what());
  }
  // As in ROS 2, a namespace remapping replaces the namespace the program gives its node.
  if (options.ros.nameSpace) {
    options.nameSpace = *options.ros.nameSpace;
  }
  options.nodeName = options.ros.nodeName.value_or(kDefaultNodeName);
  options.planTopicGiven = app.count("--plan-topic") > 0;
  checkObstacleOptions(options.obstacles);
  options.rosNotice = line.notice;
  // ROS_DOMAIN_ID is read only when --domain does not take its place.
  if (app.count("--domain") == 0) {
    options.domain = wire::domainFromEnvironment();
  }
  return options;
}

}  // namespace node
