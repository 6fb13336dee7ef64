// trelvo-node as a program on DDS, with the simulated vehicle of trelvo-sim --dds beside it: both
// are child processes, and the test plays the planner (and, for bad input, a broken localisation).
// Loopback only, each test on a DDS domain of its own. The command line is checked the same way,
// through the program's exit status and the one line it prints.

#include <gtest/gtest.h>

#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "background_process.hpp"
#include "dds_loopback.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"
#include "wire/topic_names.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kPoseTimeout = 500ms;  // the node's default
constexpr auto kPeriod = 50ms;        // at its default 20 Hz
// What a loaded 2-core machine may add to the delivery of one sample.
constexpr auto kDeliverySlack = 150ms;

geometry_msgs::msg::PoseStamped poseAt(double x, double y, double headingDegrees) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "odom";
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.z = std::sin(headingDegrees * M_PI / 360.0);
  pose.pose.orientation.w = std::cos(headingDegrees * M_PI / 360.0);
  return pose;
}

nav_msgs::msg::Path pathThrough(std::vector<geometry_msgs::msg::PoseStamped> poses) {
  nav_msgs::msg::Path path;
  path.header.frame_id = "odom";
  path.poses = std::move(poses);
  return path;
}

struct TimedCommand {
  Clock::time_point at;
  geometry_msgs::msg::Twist twist;
};

// The test's own side of the network: a planner publishing paths, a listener of commands and
// odometry, and a stand-in localisation.
class Planner {
 public:
  explicit Planner(int domain)
      : participant_(domain),
        plan_(participant_, wire::ddsTopicName("", "plan"), wire::pathQos().get()),
        odomOut_(participant_, wire::ddsTopicName("", "odom"), wire::odometryQos().get()),
        commands_(participant_, wire::ddsTopicName("", "cmd_vel"), wire::commandQos().get()),
        odomIn_(participant_, wire::ddsTopicName("", "odom"), wire::poseSourceQos().get()),
        progress_(participant_, wire::ddsTopicName("", "route_progress"), wire::statusQos().get()) {
  }

  bool nodeConnected() {
    return dds_loopback::eventually(
        [this] { return plan_.matchedSubscriptions() > 0 && commands_.matchedPublications() > 0; },
        10s);
  }
  void send(const nav_msgs::msg::Path& path) { plan_.publish(path); }
  /// A route 5 m ahead: while it is under way, with or without poses, commands come every cycle.
  void sendRoute() { send(pathThrough({poseAt(0, 0, 0), poseAt(5, 0, 0)})); }
  void localiseAt(const geometry_msgs::msg::PoseStamped& pose) {
    nav_msgs::msg::Odometry odometry;
    odometry.header = pose.header;
    odometry.pose.pose = pose.pose;
    odomOut_.publish(odometry);
  }
  /// Collects commands and odometry for `duration`.
  void listen(std::chrono::milliseconds duration) {
    const auto until = Clock::now() + duration;
    while (Clock::now() < until) {
      collect();
      std::this_thread::sleep_for(5ms);
    }
  }
  void collect() {
    const auto now = Clock::now();
    for (const auto& twist : commands_.take()) {
      commands.push_back({now, twist});
    }
    for (const auto& odometry : odomIn_.take()) {
      latestOdometry = odometry;
      latestOdometryAt = now;
      ++odometryCount;
    }
    for (const auto& text : progress_.take()) {
      progress.push_back(text.data);
    }
  }

  std::vector<TimedCommand> commands;
  std::vector<std::string> progress;
  int odometryCount = 0;
  nav_msgs::msg::Odometry latestOdometry;
  Clock::time_point latestOdometryAt{};

 private:
  wire::Participant participant_;
  wire::Publisher<nav_msgs::msg::Path> plan_;
  wire::Publisher<nav_msgs::msg::Odometry> odomOut_;
  wire::Subscription<geometry_msgs::msg::Twist> commands_;
  wire::Subscription<nav_msgs::msg::Odometry> odomIn_;
  wire::Subscription<std_msgs::msg::String> progress_;
};

bool isZero(const geometry_msgs::msg::Twist& twist) {
  return twist.linear.x == 0.0 && twist.angular.z == 0.0;
}

double headingOf(const geometry_msgs::msg::Quaternion& q) {
  return std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
}

class NodeProgram : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { dds_loopback::useLoopbackOnly(); }

  BackgroundProcess startNode(int domain) {
    return BackgroundProcess({TRELVO_NODE_PROGRAM}, dds_loopback::childEnvironment(domain),
                             logFolder() + "/trelvo-node.log");
  }
  BackgroundProcess startVehicle(int domain) {
    return BackgroundProcess({TRELVO_SIM_PROGRAM, "--dds", "--start", "0", "0", "0"},
                             dds_loopback::childEnvironment(domain),
                             logFolder() + "/trelvo-sim.log");
  }
  // A vehicle that can be started again, at another pose.
  std::unique_ptr<BackgroundProcess> startVehicleAt(int domain, const std::string& x,
                                                    const std::string& heading) {
    return std::make_unique<BackgroundProcess>(
        std::vector<std::string>{TRELVO_SIM_PROGRAM, "--dds", "--start", x, "0", heading},
        dds_loopback::childEnvironment(domain),
        logFolder() + "/trelvo-sim-" + x + "-" + heading + ".log");
  }
  static std::string logFolder() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string folder = std::string("node-program-") + test->name();
    std::system(("mkdir -p " + folder).c_str());
    return folder;
  }
};

TEST_F(NodeProgram, DrivesAnLRouteToItsGoalWithTheVehicleOnDds) {
  const int kDomain = dds_loopback::freeDomain();
  BackgroundProcess vehicle = startVehicle(kDomain);
  BackgroundProcess node = startNode(kDomain);
  Planner planner(kDomain);
  ASSERT_TRUE(planner.nodeConnected()) << node.output();

  const auto started = Clock::now();
  // The shortest L that shows both legs, the corner and the goal heading in real time.
  planner.send(pathThrough({poseAt(0, 0, 0), poseAt(0.6, 0, 0), poseAt(0.6, 0.4, 90)}));
  bool arrived = false;
  while (!arrived && Clock::now() - started < 60s) {
    planner.listen(100ms);
    const auto& p = planner.latestOdometry.pose.pose;
    arrived = std::hypot(p.position.x - 0.6, p.position.y - 0.4) <= 0.05 &&
              std::fabs(headingOf(p.orientation) - M_PI / 2) <= 5.0 * M_PI / 180.0 &&
              !planner.commands.empty() && isZero(planner.commands.back().twist);
  }
  EXPECT_TRUE(arrived) << node.output() << vehicle.output();
  const std::string log = node.output();
  EXPECT_NE(log.find("new route of 2 legs"), std::string::npos) << log;
  EXPECT_NE(log.find("route finished"), std::string::npos) << log;
  RecordProperty("wall_seconds",
                 std::to_string(std::chrono::duration<double>(Clock::now() - started).count()));
}

TEST_F(NodeProgram, StopsWhenTheVehicleDiesAndSendsAZeroCommandOnSigterm) {
  const int kDomain = dds_loopback::freeDomain();
  BackgroundProcess vehicle = startVehicle(kDomain);
  BackgroundProcess node = startNode(kDomain);
  Planner planner(kDomain);
  ASSERT_TRUE(planner.nodeConnected()) << node.output();

  // A straight run ahead: after a second the vehicle drives the line.
  planner.send(pathThrough({poseAt(0, 0, 0), poseAt(5, 0, 0)}));
  planner.listen(2s);
  ASSERT_FALSE(planner.commands.empty());
  ASSERT_GT(planner.commands.back().twist.linear.x, 0.0) << node.output();

  vehicle.signal(SIGKILL);
  ASSERT_TRUE(vehicle.exitWithin(2s));
  planner.commands.clear();
  planner.listen(1500ms);
  const auto stopBy = planner.latestOdometryAt + kPoseTimeout + kPeriod + kDeliverySlack;
  int zerosAfter = 0;
  for (const auto& command : planner.commands) {
    if (command.at > stopBy) {
      EXPECT_TRUE(isZero(command.twist)) << command.twist.linear.x;
      ++zerosAfter;
    }
  }
  EXPECT_GT(zerosAfter, 10) << "the node must keep publishing zero commands";

  // The dead vehicle's reader stays matched until its lease ends: the stop cannot reach it, and
  // the exit status says so.
  node.signal(SIGTERM);
  const auto status = node.exitWithin(5s);
  ASSERT_TRUE(status) << node.output();
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << node.output();
  planner.listen(200ms);
  ASSERT_FALSE(planner.commands.empty());
  EXPECT_TRUE(isZero(planner.commands.back().twist));
}

TEST_F(NodeProgram, AVehicleRestartedFacingAwayGetsNoForwardCommandBeforeItHasTurned) {
  const int kDomain = dds_loopback::freeDomain();
  auto vehicle = startVehicleAt(kDomain, "0", "0");
  BackgroundProcess node = startNode(kDomain);
  Planner planner(kDomain);
  ASSERT_TRUE(planner.nodeConnected()) << node.output();
  planner.send(pathThrough({poseAt(0, 0, 0), poseAt(5, 0, 0)}));
  planner.listen(3s);
  ASSERT_GT(planner.commands.back().twist.linear.x, 0.1) << node.output();

  // The vehicle dies mid-line and comes back at x = 1, facing back along the line.
  vehicle->signal(SIGKILL);
  ASSERT_TRUE(vehicle->exitWithin(2s));
  planner.listen(1s);
  vehicle = startVehicleAt(kDomain, "1", "180");
  const int odometryBefore = planner.odometryCount;
  ASSERT_TRUE(dds_loopback::eventually(
      [&] {
        planner.collect();
        return planner.odometryCount > odometryBefore;
      },
      10s));
  planner.commands.clear();
  std::string firstCommands;
  while (std::fabs(headingOf(planner.latestOdometry.pose.pose.orientation)) > M_PI / 2) {
    planner.listen(20ms);
    ASSERT_LT(planner.commands.size(), 400u) << "the vehicle never turned\n" << node.output();
    for (const auto& command : planner.commands) {
      ASSERT_LE(command.twist.linear.x, 0.0) << node.output();
    }
  }
  for (std::size_t i = 0; i < 5 && i < planner.commands.size(); ++i) {
    firstCommands += fmt::format("({}, {}) ", planner.commands[i].twist.linear.x,
                                 planner.commands[i].twist.angular.z);
  }
  RecordProperty("first_commands_after_the_restart", firstCommands);
}

TEST_F(NodeProgram, SigtermWhileDrivingStopsTheVehicleAndExitsWithinTwoSeconds) {
  const int kDomain = dds_loopback::freeDomain();
  BackgroundProcess vehicle = startVehicle(kDomain);
  BackgroundProcess node = startNode(kDomain);
  Planner planner(kDomain);
  ASSERT_TRUE(planner.nodeConnected()) << node.output();
  planner.send(pathThrough({poseAt(0, 0, 0), poseAt(5, 0, 0)}));
  planner.listen(3s);
  ASSERT_GT(planner.commands.back().twist.linear.x, 0.1) << node.output();

  const auto signalled = Clock::now();
  node.signal(SIGTERM);
  const auto status = node.exitWithin(5s);
  const std::chrono::duration<double> took = Clock::now() - signalled;
  ASSERT_TRUE(status) << node.output();
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << node.output();
  EXPECT_LT(took.count(), 2.0);
  planner.listen(200ms);
  EXPECT_TRUE(isZero(planner.commands.back().twist));
  const std::string log = node.output();
  EXPECT_NE(log.find("SIGTERM: stopping the vehicle"), std::string::npos) << log;
  EXPECT_NE(log.find("the stop reached 2 readers of the command topic"), std::string::npos) << log;
  RecordProperty("sigterm_to_exit_seconds", std::to_string(took.count()));
}

TEST_F(NodeProgram, AStopNotAcknowledgedByAStoppedVehicleExitsWithStatusOneWithinTwoSeconds) {
  const int kDomain = dds_loopback::freeDomain();
  BackgroundProcess vehicle = startVehicle(kDomain);
  BackgroundProcess node = startNode(kDomain);
  Planner planner(kDomain);
  ASSERT_TRUE(planner.nodeConnected()) << node.output();
  planner.send(pathThrough({poseAt(0, 0, 0), poseAt(5, 0, 0)}));
  planner.listen(2s);

  vehicle.signal(SIGSTOP);
  planner.listen(300ms);
  const auto signalled = Clock::now();
  node.signal(SIGTERM);
  const auto status = node.exitWithin(5s);
  const std::chrono::duration<double> took = Clock::now() - signalled;
  vehicle.signal(SIGCONT);
  ASSERT_TRUE(status) << node.output();
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << node.output();
  EXPECT_LT(took.count(), 2.0);
  EXPECT_NE(node.output().find("the stop was not acknowledged"), std::string::npos)
      << node.output();
  RecordProperty("sigterm_to_exit_seconds", std::to_string(took.count()));
}

TEST_F(NodeProgram, AVehicleThatReadsAnotherCommandTypeIsNamedInTheLogAndOnDiagnostics) {
  const int kDomain = dds_loopback::freeDomain();
  // Jazzy's diff_drive_controller reads TwistStamped; the node publishes Twist.
  BackgroundProcess vehicle({TRELVO_SIM_PROGRAM, "--dds", "--stamped"},
                            dds_loopback::childEnvironment(kDomain),
                            logFolder() + "/trelvo-sim.log");
  BackgroundProcess node = startNode(kDomain);
  wire::Participant participant(kDomain);
  wire::Subscription<diagnostic_msgs::msg::DiagnosticArray> diagnostics(
      participant, wire::ddsTopicName("", "/diagnostics"), wire::statusQos().get());
  std::vector<diagnostic_msgs::msg::DiagnosticArray> received;
  const bool warned = dds_loopback::eventually(
      [&] {
        for (auto& array : diagnostics.take()) {
          received.push_back(std::move(array));
        }
        return node.output().find("start trelvo-node with --stamped") != std::string::npos &&
               !received.empty() &&
               received.back().status.at(0).level == diagnostic_msgs::msg::DiagnosticStatus::WARN;
      },
      15s);
  ASSERT_TRUE(warned) << node.output();
  const auto& status = received.back().status.at(0);
  std::string seen = fmt::format("level {} name '{}' message '{}' hardware_id '{}'", status.level,
                                 status.name, status.message, status.hardware_id);
  for (const auto& value : status.values) {
    seen += fmt::format(" [{}: {}]", value.key, value.value);
  }
  RecordProperty("diagnostics_received", seen);
  EXPECT_EQ(status.name, "trelvo_node: route");
  EXPECT_NE(status.message.find("--stamped"), std::string::npos) << status.message;
  const std::string log = node.output();
  EXPECT_EQ(log.find("start trelvo-node with --stamped"),
            log.rfind("start trelvo-node with --stamped"))
      << "warned once";
}

TEST_F(NodeProgram, StartsFromALaunchStyleCommandLine) {
  const int kDomain = dds_loopback::freeDomain();
  const std::string params = logFolder() + "/params.yaml";
  {
    std::ofstream file(params);
    file << "/**/mover:\n  ros__parameters:\n    stamped: true\n    rate: 10.0\n"
            "    pose_from_tf: [map, base_link]\n";
  }
  // What ros2 launch's Node(name='mover', namespace='robot1', remappings=[('cmd_vel', '/x')],
  // parameters=['params.yaml'], ros_arguments=['-p', 'pose_timeout:=0.3']) appends.
  BackgroundProcess node({TRELVO_NODE_PROGRAM, "--ros-args", "-r", "__node:=mover", "-r",
                          "__ns:=/robot1", "--params-file", params, "-r", "cmd_vel:=/x", "-p",
                          "pose_timeout:=0.3", "--log-level", "debug"},
                         dds_loopback::childEnvironment(kDomain), logFolder() + "/trelvo-node.log");
  wire::Participant participant(kDomain);
  wire::Subscription<geometry_msgs::msg::TwistStamped> commands(
      participant, wire::ddsTopicName("", "/x"), wire::commandQos().get());
  wire::Publisher<nav_msgs::msg::Path> plan(participant, wire::ddsTopicName("", "/robot1/plan"),
                                            wire::pathQos().get());
  ASSERT_TRUE(dds_loopback::eventually([&] { return plan.matchedSubscriptions() > 0; }, 15s))
      << node.output();
  nav_msgs::msg::Path route = pathThrough({poseAt(0, 0, 0), poseAt(5, 0, 0)});
  route.header.frame_id = "map";
  plan.publish(route);  // held without a pose from TF: zero commands, on /x
  int received = 0;
  ASSERT_TRUE(dds_loopback::eventually(
      [&] {
        received += static_cast<int>(commands.take().size());
        return received >= 5;
      },
      15s))
      << node.output();
  const std::string log = node.output();
  EXPECT_NE(log.find("[INFO] ["), std::string::npos) << log;
  EXPECT_NE(log.find("] [robot1.mover]: trelvo-node " TRELVO_VERSION_TEXT), std::string::npos)
      << log;
  EXPECT_NE(log.find("namespace /robot1: 10 Hz, poses from TF map -> base_link stop the vehicle "
                     "when older than 0.3 s"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("subscribes /robot1/plan (nav_msgs/msg/Path"), std::string::npos) << log;
  EXPECT_NE(log.find("publishes /x (geometry_msgs/msg/TwistStamped"), std::string::npos) << log;
  EXPECT_NE(log.find("ignored ROS arguments: --log-level debug"), std::string::npos) << log;
}

// AMCL's PoseWithCovarianceStamped on a pose topic, and the pose from TF as Nav2 takes it: either
// source gives the node the poses it drives on (a path behind the vehicle: it turns at once).
TEST_F(NodeProgram, TakesThePoseFromAmclOrFromTf) {
  for (const bool fromTf : {false, true}) {
    SCOPED_TRACE(fromTf ? "TF" : "AMCL");
    const int domain = dds_loopback::freeDomain();
    std::vector<std::string> command{TRELVO_NODE_PROGRAM};
    if (fromTf) {
      command.insert(command.end(), {"--pose-from-tf", "map", "base_link"});
    } else {
      command.insert(command.end(), {"--pose-topic", "amcl_pose", "--pose-with-covariance"});
    }
    BackgroundProcess node(command, dds_loopback::childEnvironment(domain),
                           logFolder() + (fromTf ? "/tf.log" : "/amcl.log"));
    wire::Participant participant(domain);
    wire::Publisher<nav_msgs::msg::Path> plan(participant, wire::ddsTopicName("", "plan"),
                                              wire::pathQos().get());
    wire::Publisher<geometry_msgs::msg::PoseWithCovarianceStamped> amcl(
        participant, wire::ddsTopicName("", "amcl_pose"), wire::odometryQos().get());
    wire::Publisher<tf2_msgs::msg::TFMessage> tf(participant, wire::ddsTopicName("", "/tf"),
                                                 wire::tfQos().get());
    wire::Subscription<geometry_msgs::msg::Twist> commands(
        participant, wire::ddsTopicName("", "cmd_vel"), wire::commandQos().get());
    ASSERT_TRUE(dds_loopback::eventually([&] { return plan.matchedSubscriptions() > 0; }, 10s));
    auto path = pathThrough({poseAt(0, 0, 0), poseAt(-2, 0, 0)});
    path.header.frame_id = "map";
    bool turned = false;
    for (int cycle = 0; cycle < 100 && !turned; ++cycle) {
      if (cycle % 20 == 0) {
        plan.publish(path);
      }
      auto pose = poseAt(0, 0, 0);
      pose.header.frame_id = "map";
      pose.header.stamp.sec = 1700000000 + cycle / 20;
      pose.header.stamp.nanosec = static_cast<std::uint32_t>(cycle % 20) * 50000000u;
      if (fromTf) {
        geometry_msgs::msg::TransformStamped transform;
        transform.header = pose.header;
        transform.child_frame_id = "base_link";
        transform.transform.rotation = pose.pose.orientation;
        tf2_msgs::msg::TFMessage message;
        message.transforms.push_back(transform);
        tf.publish(message);
      } else {
        geometry_msgs::msg::PoseWithCovarianceStamped withCovariance;
        withCovariance.header = pose.header;
        withCovariance.pose.pose = pose.pose;
        amcl.publish(withCovariance);
      }
      std::this_thread::sleep_for(kPeriod);
      for (const auto& twist : commands.take()) {
        turned = turned || twist.angular.z != 0.0;
      }
    }
    EXPECT_TRUE(turned) << node.output();
  }
}

// Commands go out only while a route is under way, as Nav2's controller server publishes only
// while it follows a path: the idle node leaves the topic to other programs (recoveries, teleop).
TEST_F(NodeProgram, CommandsComeAtTheRateOnlyWhileARouteIsUnderWay) {
  const int kDomain = dds_loopback::freeDomain();
  BackgroundProcess vehicle = startVehicle(kDomain);
  BackgroundProcess node = startNode(kDomain);
  Planner planner(kDomain);
  ASSERT_TRUE(planner.nodeConnected()) << node.output();
  planner.listen(1s);  // the vehicle's poses arrive: "no route"
  planner.progress.clear();
  planner.listen(2s);
  EXPECT_TRUE(planner.commands.empty()) << "idle, the node publishes nothing";
  EXPECT_LE(planner.progress.size(), 3u) << "progress once a second while nothing changes";
  for (const auto& text : planner.progress) {
    EXPECT_EQ(text, "no route");
  }

  planner.sendRoute();
  planner.listen(3s);
  // 20 Hz: about 60 commands.
  EXPECT_GE(planner.commands.size(), 30u);
  EXPECT_LE(planner.commands.size(), 90u);

  planner.send(pathThrough({}));  // the route ends
  planner.listen(500ms);
  const std::size_t atStop = planner.commands.size();
  ASSERT_GE(atStop, 3u);
  for (std::size_t i = atStop - 3; i < atStop; ++i) {
    EXPECT_TRUE(isZero(planner.commands[i].twist)) << "the stop, sent three times";
  }
  planner.listen(1s);
  EXPECT_EQ(planner.commands.size(), atStop) << "then nothing";
}

// A teleop or Nav2's recoveries may write to the command topic while the node is idle; only one
// that writes while the node drives is a second driver of the vehicle.
TEST_F(NodeProgram, AnotherCommandWriterIsToldOnlyWhenItWritesWhileTheNodeDrives) {
  const int kDomain = dds_loopback::freeDomain();
  BackgroundProcess vehicle = startVehicle(kDomain);
  BackgroundProcess node = startNode(kDomain);
  Planner planner(kDomain);
  ASSERT_TRUE(planner.nodeConnected()) << node.output();
  wire::Participant other(kDomain);
  wire::Publisher<geometry_msgs::msg::Twist> teleop(other, wire::ddsTopicName("", "cmd_vel"),
                                                    wire::commandQos().get());
  geometry_msgs::msg::Twist backUp;
  backUp.linear.x = -0.1;
  const auto writeFor = [&](std::chrono::milliseconds duration) {
    for (const auto until = Clock::now() + duration; Clock::now() < until;) {
      teleop.publish(backUp);
      planner.listen(kPeriod);
    }
  };
  constexpr const char* kSecondDriver = "writes to /cmd_vel while this node drives";
  writeFor(2500ms);
  EXPECT_EQ(node.output().find(kSecondDriver), std::string::npos) << node.output();
  for (const auto& command : planner.commands) {
    EXPECT_EQ(command.twist.linear.x, -0.1) << "only the teleop's commands while idle";
  }
  planner.sendRoute();
  writeFor(2500ms);
  EXPECT_NE(node.output().find(kSecondDriver), std::string::npos) << node.output();
}

// Scheduling policy and real-time priority of each thread of a process, by thread name.
struct ThreadScheduling {
  std::string name;
  bool isMain = false;
  int policy = -1;
  int priority = -1;
};

std::vector<ThreadScheduling> threadSchedulingOf(pid_t pid) {
  std::vector<ThreadScheduling> threads;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& task : std::filesystem::directory_iterator(tasks)) {
    std::ifstream stat(task.path() / "stat");
    std::string line;
    std::getline(stat, line);
    // The name in parentheses may hold spaces; the fields after it start with the third, state.
    const auto open = line.find('(');
    const auto close = line.rfind(')');
    std::istringstream fields(line.substr(close + 1));
    std::vector<std::string> after(std::istream_iterator<std::string>{fields},
                                   std::istream_iterator<std::string>{});
    ThreadScheduling thread;
    thread.name = line.substr(open + 1, close - open - 1);
    thread.isMain = task.path().filename() == std::to_string(pid);
    thread.priority = std::stoi(after.at(40 - 3));  // rt_priority, the 40th field
    thread.policy = std::stoi(after.at(41 - 3));    // policy, the 41st
    threads.push_back(thread);
  }
  return threads;
}

TEST_F(NodeProgram, ARealtimePriorityRaisesTheControlCycleAndNothingElse) {
  const int kDomain = dds_loopback::freeDomain();
  BackgroundProcess vehicle = startVehicle(kDomain);
  BackgroundProcess node({TRELVO_NODE_PROGRAM, "--realtime-priority", "7"},
                         dds_loopback::childEnvironment(kDomain), logFolder() + "/trelvo-node.log");
  Planner planner(kDomain);
  ASSERT_TRUE(planner.nodeConnected()) << node.output();
  planner.sendRoute();
  planner.listen(1s);
  const std::string log = node.output();
  if (log.find("--realtime-priority 7: ") != std::string::npos) {
    GTEST_SKIP() << "SCHED_FIFO is not allowed here: " << log;
  }
  ASSERT_NE(log.find("the control cycle runs under SCHED_FIFO at priority 7"), std::string::npos)
      << log;
  const auto threads = threadSchedulingOf(node.pid());
  ASSERT_GT(threads.size(), 1u);
  // The middleware's threads (receiving, timed events) keep the normal scheduler.
  for (const auto& thread : threads) {
    SCOPED_TRACE(thread.name);
    EXPECT_EQ(thread.policy, thread.isMain ? SCHED_FIFO : SCHED_OTHER);
    EXPECT_EQ(thread.priority, thread.isMain ? 7 : 0);
  }
  EXPECT_GE(planner.commands.size(), 10u) << "commands still come at the rate";
}

// Without CAP_SYS_NICE (and with no rtprio limit) the system refuses: the node says so and drives
// on under the normal scheduler.
TEST_F(NodeProgram, ARefusedRealtimePriorityIsToldAndTheNodeRunsOn) {
  const int kDomain = dds_loopback::freeDomain();
  BackgroundProcess node({"/usr/bin/setpriv", "--bounding-set", "-sys_nice", TRELVO_NODE_PROGRAM,
                          "--realtime-priority", "7"},
                         dds_loopback::childEnvironment(kDomain), logFolder() + "/trelvo-node.log");
  Planner planner(kDomain);
  ASSERT_TRUE(planner.nodeConnected()) << node.output();
  planner.sendRoute();
  planner.listen(1s);
  EXPECT_NE(node.output().find("--realtime-priority 7: Operation not permitted: the control cycle "
                               "runs under the normal scheduler"),
            std::string::npos)
      << node.output();
  for (const auto& thread : threadSchedulingOf(node.pid())) {
    EXPECT_EQ(thread.policy, SCHED_OTHER) << thread.name;
  }
  EXPECT_GE(planner.commands.size(), 10u);
}

TEST_F(NodeProgram, BadInputKeepsTheNodeUpAndItsCommandsFinite) {
  const int kDomain = dds_loopback::freeDomain();
  BackgroundProcess node = startNode(kDomain);
  Planner planner(kDomain);
  ASSERT_TRUE(planner.nodeConnected()) << node.output();

  const auto started = Clock::now();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<geometry_msgs::msg::PoseStamped> dense;
  for (int i = 0; i < 100000; ++i) {
    dense.push_back(poseAt(i * 5e-5, 0, 0));  // 5 m in 100 000 poses
  }
  const std::vector<nav_msgs::msg::Path> paths = {
      pathThrough({poseAt(0, 0, 180), poseAt(3, 1, 0)}),
      pathThrough({}),
      pathThrough({poseAt(2, 2, 45)}),
      pathThrough({poseAt(0, 0, 0), poseAt(nan, 0, 0)}),
      pathThrough({poseAt(0, 0, 0), poseAt(1e12, 0, 0)}),
      pathThrough(dense)};
  for (std::size_t step = 0; step < 60; ++step) {
    if (step % 10 == 0) {
      planner.send(paths[step / 10]);
    }
    // Every third pose is broken.
    planner.localiseAt(step % 3 == 0 ? poseAt(nan, 0, 0) : poseAt(0.01 * step, 0, 0));
    planner.listen(kPeriod);
  }
  EXPECT_TRUE(node.running()) << node.output();
  EXPECT_GT(planner.commands.size(), 40u);
  for (const auto& command : planner.commands) {
    for (const double value : {command.twist.linear.x, command.twist.angular.z}) {
      ASSERT_TRUE(std::isfinite(value));
      ASSERT_LE(std::fabs(value), 0.5);
    }
  }
  const std::string log = node.output();
  EXPECT_NE(log.find("path of 2 poses refused: pose 2 of 2: x = nan is not finite"),
            std::string::npos)
      << log;
  // Broken poses are reported once per 10 s, not every time one arrives (about 20 here; a slow
  // sanitizer build may take longer than 10 s over the dense path).
  const std::chrono::duration<double> took = Clock::now() - started;
  int reports = 0;
  for (auto at = log.find("pose refused: x = nan is not finite"); at != std::string::npos;
       at = log.find("pose refused:", at + 1)) {
    ++reports;
  }
  EXPECT_GE(reports, 1) << log;
  EXPECT_LE(reports, 1 + static_cast<int>(took.count() / 10.0)) << log;
}

TEST_F(NodeProgram, BadCommandLineIsRefusedInOneLineWithStatusTwo) {
  // Used only if a refusal fails and the node starts.
  const int kDomain = dds_loopback::freeDomain();
  const std::string domain = std::to_string(kDomain);
  const std::string rosName =
      ": its parts between '/' hold only letters, digits and '_', and none is empty or starts "
      "with a digit";
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
    std::string rosDomainId;  // empty: the test's domain
  };
  const std::string params = logFolder() + "/params.yaml";
  std::ofstream(params) << "/**:\n  ros__parameters:\n    rate: fast\n";
  const std::vector<Case> cases = {
      {{"--rate", "abc"}, "--rate: 'abc' is not a number", ""},
      {{"--ros-args", "--params-file", params},
       "parameter file " + params + ": parameter rate = fast: 'fast' is not a number",
       ""},
      {{"--ros-args", "-p", "pose_from_tf:=[map, base_link, odom]"},
       "ROS argument '-p pose_from_tf:=[map, base_link, odom]': parameter pose_from_tf = [map, "
       "base_link, odom]: At Most 2 required but received 3",
       ""},
      {{"--rate", "20Hz"}, "--rate: '20Hz' is not a number", ""},
      {{"--rate", "5000"}, "--rate: must be from 1 to 1000 Hz, got '5000'", ""},
      {{"--rate", "0.5"}, "--rate: must be from 1 to 1000 Hz, got '0.5'", ""},
      {{"--rate"}, "--rate: 1 required HZ missing", ""},
      {{"--pose-timeout", "0"}, "--pose-timeout: must be from 0.001 to 60 s, got '0'", ""},
      {{"--pose-timeout", "nan"}, "--pose-timeout: 'nan' is not a finite number", ""},
      {{"--domain", "233"}, "--domain: must be a whole number from 0 to 232, got '233'", ""},
      {{"--domain", "-1"}, "--domain: must be a whole number from 0 to 232, got '-1'", ""},
      {{"--domain", "1.5"}, "--domain: '1.5' is not a whole number", ""},
      {{"--namespace", "robot-1"},
       "--namespace: 'robot-1' is not a valid ROS namespace" + rosName,
       ""},
      {{"--namespace", "a//b"}, "--namespace: 'a//b' is not a valid ROS namespace" + rosName, ""},
      {{"--pose-topic", "1x"}, "--pose-topic: '1x' is not a valid ROS topic name" + rosName, ""},
      {{"--max-accel", "-1"}, "--max-accel: must not be negative, got '-1'", ""},
      {{"--max-decel", "abc"}, "--max-decel: 'abc' is not a number", ""},
      {{"--max-turn-accel", "inf"}, "--max-turn-accel: 'inf' is not a finite number", ""},
      {{"extra"},
       "The following argument was not expected: extra (trelvo-node --help lists the options)",
       ""},
      {{"--latency-log", logFolder() + "/missing/latency.csv"},
       "--latency-log: cannot write " + logFolder() +
           "/missing/latency.csv: No such file or directory",
       ""},
      {{"--latency-log", logFolder()},
       "--latency-log: cannot write " + logFolder() + ": Is a directory",
       ""},
      {{}, "ROS_DOMAIN_ID: must be a whole number from 0 to 232, got 'abc'", "abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    std::vector<std::string> argv = {TRELVO_NODE_PROGRAM};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    std::vector<std::string> environment = dds_loopback::childEnvironment(kDomain);
    std::replace(environment.begin(), environment.end(), "ROS_DOMAIN_ID=" + domain,
                 "ROS_DOMAIN_ID=" + (c.rosDomainId.empty() ? domain : c.rosDomainId));
    BackgroundProcess node(argv, environment, logFolder() + "/trelvo-node.log");
    const auto status = node.exitWithin(5s);
    ASSERT_TRUE(status) << "the node ran: " << node.output();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 2) << *status;
    EXPECT_EQ(node.output(), "trelvo-node: " + c.message + "\n");
  }

  // --domain takes the place of ROS_DOMAIN_ID, which is then not read at all; the bounds of the
  // ranges are taken.
  std::vector<std::string> environment = dds_loopback::childEnvironment(kDomain);
  std::replace(environment.begin(), environment.end(), "ROS_DOMAIN_ID=" + domain,
               std::string("ROS_DOMAIN_ID=abc"));
  BackgroundProcess node(
      {TRELVO_NODE_PROGRAM, "--domain", domain, "--rate", "1", "--pose-timeout", "60"}, environment,
      logFolder() + "/trelvo-node.log");
  EXPECT_FALSE(node.exitWithin(1s)) << node.output();
  node.signal(SIGTERM);
  EXPECT_TRUE(node.exitWithin(5s)) << node.output();
}

TEST_F(NodeProgram, HelpListsTheRampOptionsAndTheExitStatuses) {
  BackgroundProcess node({TRELVO_NODE_PROGRAM, "--help"}, dds_loopback::childEnvironment(0),
                         logFolder() + "/trelvo-node.log");
  const auto status = node.exitWithin(5s);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  const std::string help = node.output();
  for (const char* expected :
       {"--max-accel M/S2", "--max-decel M/S2", "--max-turn-accel RAD/S2",
        "Stops for safety (stale pose, shutdown, no route) stay immediate", "Exit status:\n",
        "\n  0  stopped by SIGINT or SIGTERM",
        "\n  1  the stop command was not acknowledged by every matched command reader on "
        "shutdown\n",
        "\n  2  bad command line\n", "\n  3  failure at run time"}) {
    EXPECT_NE(help.find(expected), std::string::npos) << expected << "\n" << help;
  }
}

// Under use_sim_time (given as a ROS parameter) every command is stamped with /clock's time, zero
// before the first, never the wall clock; a simulator reset that sends the clock back is logged
// once, and the stamps follow it.
TEST_F(NodeProgram, UnderSimTimeCommandsCarryTheClockTimeAndAResetIsLogged) {
  const int kDomain = dds_loopback::freeDomain();
  BackgroundProcess node(
      {TRELVO_NODE_PROGRAM, "--stamped", "--ros-args", "-p", "use_sim_time:=true"},
      dds_loopback::childEnvironment(kDomain), logFolder() + "/trelvo-node.log");
  wire::Participant participant(kDomain);
  wire::Publisher<rosgraph_msgs::msg::Clock> clock(participant, wire::ddsTopicName("", "/clock"),
                                                   wire::clockQos().get());
  wire::Subscription<geometry_msgs::msg::TwistStamped> commands(
      participant, wire::ddsTopicName("", "cmd_vel"), wire::commandQos().get());
  wire::Publisher<nav_msgs::msg::Path> plan(participant, wire::ddsTopicName("", "plan"),
                                            wire::pathQos().get());
  ASSERT_TRUE(dds_loopback::eventually(
      [&] {
        return clock.matchedSubscriptions() > 0 && commands.matchedPublications() > 0 &&
               plan.matchedSubscriptions() > 0;
      },
      10s));
  plan.publish(pathThrough({poseAt(0, 0, 0), poseAt(5, 0, 0)}));  // held: a zero every cycle
  const auto runClock = [&](int32_t sec, uint32_t nanosec) {
    rosgraph_msgs::msg::Clock time;
    time.clock.sec = sec;
    time.clock.nanosec = nanosec;
    std::vector<builtin_interfaces::msg::Time> stamps;
    const bool followed = dds_loopback::eventually(
        [&] {
          clock.publish(time);
          for (const auto& command : commands.take()) {
            stamps.push_back(command.header.stamp);
          }
          return !stamps.empty() && stamps.back() == time.clock;
        },
        3s);
    return std::make_pair(followed, stamps);
  };
  const auto [started, first] = runClock(12, 250000000);
  ASSERT_TRUE(started) << node.output();
  for (const auto& stamp : first) {
    EXPECT_TRUE(stamp.sec == 0 || stamp.sec == 12) << stamp.sec;  // never the wall clock
  }
  const auto [reset, second] = runClock(2, 0);
  ASSERT_TRUE(reset) << node.output();
  EXPECT_TRUE(dds_loopback::eventually([&] {
    return node.output().find("the clock went back 10.2 s") != std::string::npos;
  })) << node.output();
  const std::string log = node.output();
  EXPECT_EQ(log.find("the transforms are cleared"), log.rfind("the transforms are cleared"));
  EXPECT_EQ(log.find("ignored ROS arguments"), std::string::npos) << log;
}

// A scan in base_link with one return at `obstacle` (odom frame), seen from odometry's pose; no
// return at all without one.
sensor_msgs::msg::LaserScan scanSeeing(const nav_msgs::msg::Odometry& odometry,
                                       const std::optional<std::pair<double, double>>& obstacle) {
  sensor_msgs::msg::LaserScan scan;
  scan.header.frame_id = "base_link";
  scan.angle_min = -1.0F;
  scan.angle_max = 1.0F;
  scan.angle_increment = 0.01F;
  scan.range_min = 0.05F;
  scan.range_max = 10.0F;
  scan.ranges.assign(201, std::numeric_limits<float>::infinity());
  if (obstacle) {
    const auto& p = odometry.pose.pose;
    const double bearing =
        std::atan2(obstacle->second - p.position.y, obstacle->first - p.position.x) -
        headingOf(p.orientation);
    const auto ray = static_cast<long>(std::lround((bearing - scan.angle_min) / 0.01));
    if (ray >= 0 && ray < 201) {
      scan.ranges[static_cast<std::size_t>(ray)] = static_cast<float>(
          std::hypot(obstacle->first - p.position.x, obstacle->second - p.position.y));
    }
  }
  return scan;
}

TEST_F(NodeProgram, StopsShortOfAnObstacleOnTheRouteAndDrivesOnOnceItIsGone) {
  const int kDomain = dds_loopback::freeDomain();
  BackgroundProcess vehicle = startVehicle(kDomain);
  BackgroundProcess node({TRELVO_NODE_PROGRAM, "--scan-topic", "scan", "--robot-radius", "0.3"},
                         dds_loopback::childEnvironment(kDomain), logFolder() + "/trelvo-node.log");
  Planner planner(kDomain);
  wire::Participant laser(kDomain);
  wire::Publisher<sensor_msgs::msg::LaserScan> scans(laser, wire::ddsTopicName("", "scan"),
                                                     wire::sensorDataQos().get());
  ASSERT_TRUE(planner.nodeConnected()) << node.output();
  ASSERT_TRUE(dds_loopback::eventually([&] { return scans.matchedSubscriptions() > 0; }, 10s));

  const std::pair<double, double> kObstacle{1.0, 0.0};
  // Scans every cycle until `done` or `limit`; true when done.
  const auto scanUntil = [&](std::chrono::milliseconds limit, bool obstacle, auto done) {
    for (const auto until = Clock::now() + limit; Clock::now() < until;) {
      scans.publish(
          scanSeeing(planner.latestOdometry, obstacle ? std::optional(kObstacle) : std::nullopt));
      planner.listen(kPeriod);
      if (done()) {
        return true;
      }
    }
    return false;
  };
  const auto standing = [&] {
    const auto& commands = planner.commands;
    return commands.size() >= 10 && std::all_of(commands.end() - 10, commands.end(),
                                                [](const auto& c) { return isZero(c.twist); });
  };
  scanUntil(300ms, true, [] { return false; });
  planner.send(pathThrough({poseAt(0, 0, 0), poseAt(2, 0, 0)}));
  scanUntil(500ms, true, [&] { return planner.commands.size() >= 10; });
  EXPECT_TRUE(scanUntil(7s, true, standing)) << node.output();
  const double stoppedAt = planner.latestOdometry.pose.pose.position.x;
  EXPECT_GT(stoppedAt, 0.1) << "it drove toward the obstacle";
  EXPECT_LT(stoppedAt, kObstacle.first - 0.3) << "its footprint short of the obstacle";
  EXPECT_NE(node.output().find("obstacles: stop zone"), std::string::npos) << node.output();

  EXPECT_TRUE(scanUntil(4s, false, [&] {
    return planner.latestOdometry.pose.pose.position.x > kObstacle.first + 0.2;
  })) << node.output();
  EXPECT_NE(node.output().find("the route ahead is clear"), std::string::npos) << node.output();
}

}  // namespace
