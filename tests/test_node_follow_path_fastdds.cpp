// trelvo-node --lifecycle in Nav2's controller server's place, started with
// RMW_IMPLEMENTATION=rmw_fastrtps_cpp, beside a lifecycle manager and behaviour tree navigator on
// rmw_fastrtps: the test's clients (fastdds_service_client.hpp, fastdds_action_client.hpp),
// readers and bond are all Fast DDS's, correlated and laid out as rmw_fastrtps does; the vehicle is
// trelvo-sim's. follow_path_scenario.hpp's scenario, as test_node_follow_path.cpp drives it on
// Cyclone DDS, in Jazzy's layout and in Humble's. Loopback only (dds_loopback.hpp,
// fastdds_loopback.xml), each on a DDS domain of its own.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "background_process.hpp"
#include "dds_loopback.hpp"
#include "fastdds_action_client.hpp"
#include "follow_path_scenario.hpp"

namespace {

using namespace std::chrono_literals;
using cdr_by_hand::Bytes;
using cdr_by_hand::CdrReader;
using cdr_by_hand::CdrWriter;
using fastdds_action_client::FollowPathClient;
using fastdds_action_client::Pose;
using fastdds_service_client::Participant;
using fastdds_service_client::ServiceClient;
using follow_path_payloads::goalId;
using follow_path_scenario::Clock;
using follow_path_scenario::Layout;
using follow_path_scenario::nodeCommand;
using follow_path_scenario::TimedCommand;
namespace dds = eprosima::fastdds::dds;

// The node's environment: its services on Fast DDS when `rmw` is given, loopback for both.
std::vector<std::string> nodeEnvironment(int domain, const char* rmw) {
  auto environment = dds_loopback::childEnvironment(domain);
  environment.push_back(std::string("FASTRTPS_DEFAULT_PROFILES_FILE=") + FASTDDS_LOOPBACK_PROFILE);
  // Debian's Fast DDS 2.9 trips this one check under AddressSanitizer itself (see
  // test_node_fastdds.cpp); every other check stays on.
  environment.push_back("ASAN_OPTIONS=new_delete_type_mismatch=0");
  if (rmw != nullptr) {
    environment.push_back(std::string("RMW_IMPLEMENTATION=") + rmw);
  }
  return environment;
}

// nav_msgs/msg/Odometry's pose in the plane.
std::optional<Pose> poseOf(const Bytes& odometry) {
  CdrReader read(odometry);
  if (!read.i32() || !read.u32() || !read.text() || !read.text()) {
    return std::nullopt;
  }
  double v[7];
  for (double& value : v) {
    const auto read64 = read.f64();
    if (!read64) {
      return std::nullopt;
    }
    value = *read64;
  }
  const double qx = v[3], qy = v[4], qz = v[5], qw = v[6];
  return Pose{v[0], v[1], std::atan2(2 * (qw * qz + qx * qy), 1 - 2 * (qy * qy + qz * qz))};
}

// geometry_msgs/msg/Twist's forward and turning speeds.
std::optional<TimedCommand> commandOf(const Bytes& twist) {
  CdrReader read(twist);
  const auto linear = read.f64();
  read.f64();
  read.f64();
  read.f64();
  read.f64();
  const auto angular = read.f64();
  if (!linear || !angular) {
    return std::nullopt;
  }
  return TimedCommand{Clock::now(), *linear, *angular};
}

// The lifecycle manager, the navigator, and a listener of the vehicle's odometry and commands,
// all on one Fast DDS participant as rmw_fastrtps makes one per process.
class Navigator : public follow_path_scenario::Listening<Navigator> {
 public:
  Navigator(const Layout& layout, int domain)
      : participant_(domain),
        changeState_(participant_, "trelvo_node/change_state",
                     "lifecycle_msgs::srv::dds_::ChangeState"),
        action(participant_, "follow_path", layout.humble),
        results(participant_, "follow_path", layout.humble),
        odom_(participant_.reader(participant_.topic("rt/odom", "nav_msgs::msg::dds_::Odometry_"),
                                  [](dds::DataReaderQos& qos) {
                                    qos.reliability().kind = dds::BEST_EFFORT_RELIABILITY_QOS;
                                  })),
        commands_(participant_.reader(
            participant_.topic("rt/cmd_vel", "geometry_msgs::msg::dds_::Twist_"),
            [](dds::DataReaderQos&) {})),
        bondOut_(participant_.writer(bondTopic(),
                                     [](dds::DataWriterQos& qos) { qos.history().depth = 5; })),
        bondIn_(participant_.reader(bondTopic(),
                                    [](dds::DataReaderQos& qos) { qos.history().depth = 100; })) {}

  std::optional<bool> change(std::uint8_t transition,
                             std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    const auto reply = changeState_.call(CdrWriter().u8(transition).text("").bytes(), limit);
    return reply ? std::optional<bool>(CdrReader(*reply).u8() == std::uint8_t{1}) : std::nullopt;
  }

 private:
  friend class follow_path_scenario::Listening<Navigator>;

  bool lifecycleAvailable() const { return changeState_.serviceAvailable(); }
  void takeVehicle() {
    for (const auto& odometry : fastdds_service_client::takeBodies(odom_)) {
      if (const auto read = poseOf(odometry)) {
        pose = read;
      }
    }
    for (const auto& twist : fastdds_service_client::takeBodies(commands_)) {
      if (const auto command = commandOf(twist)) {
        commands.push_back(*command);
      }
    }
  }

  Participant participant_;
  ServiceClient changeState_;

 public:
  FollowPathClient action;   // send_goal, cancel_goal, and the topics
  FollowPathClient results;  // get_result, which waits for a goal's end

 private:
  dds::DataReader& odom_;
  dds::DataReader& commands_;
  dds::DataWriter& bondOut_;
  dds::DataReader& bondIn_;
  Clock::time_point nextBeat_ = Clock::now();

  dds::Topic* bondTopic() { return participant_.topic("rt/bond", "bond::msg::dds_::Status_"); }

  // The lifecycle manager's side of the bond, as Nav2's keeps it: bond/msg/Status heartbeats every
  // 0.1 s, the bond broken after 4 s without the node's.
  void keepBond() {
    if (Clock::now() >= nextBeat_) {
      CdrWriter status;
      status.i32(0).u32(0).text("");                      // header
      status.text("trelvo_node").text(kManagerInstance);  // id, instance_id
      status.u8(1).f32(4.0F).f32(0.1F);  // active, heartbeat_timeout, heartbeat_period
      fastdds_service_client::writeBody(bondOut_, status.bytes());
      nextBeat_ = Clock::now() + 100ms;
    }
    for (const auto& body : fastdds_service_client::takeBodies(bondIn_)) {
      CdrReader read(body);
      const bool stamped = read.i32() && read.u32() && read.text();
      const auto id = read.text();
      const auto instance = read.text();
      const auto active = read.u8();
      nodeHeartbeats += stamped && id == "trelvo_node" && instance &&
                        *instance != kManagerInstance && active == std::uint8_t{1};
    }
  }
  static constexpr const char* kManagerInstance = "navigator-manager";
};

class NodeFollowPathFastdds : public ::testing::TestWithParam<Layout> {
 protected:
  void SetUp() override {
    dds_loopback::useLoopbackOnly();
    setenv("FASTRTPS_DEFAULT_PROFILES_FILE", FASTDDS_LOOPBACK_PROFILE, 1);
  }
};

TEST_P(NodeFollowPathFastdds, ServesTheControllerServersGoalsToAnRmwFastrtpsNavigator) {
  const Layout layout = GetParam();
  const int domain = dds_loopback::freeDomain();
  Navigator navigator(layout, domain);
  const std::string log = std::string("follow_path_fastdds_") + layout.name;
  BackgroundProcess vehicle({TRELVO_SIM_PROGRAM, "--dds", "--start", "0", "0", "0"},
                            dds_loopback::childEnvironment(domain), log + "_vehicle.log");
  BackgroundProcess node(nodeCommand(layout.humble),
                         nodeEnvironment(domain, "rmw_fastrtps_cpp"), log + "_node.log");
  follow_path_scenario::run(navigator, node);
}

INSTANTIATE_TEST_SUITE_P(Layouts, NodeFollowPathFastdds,
                         ::testing::Values(Layout{"jazzy", false}, Layout{"humble", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The navigator on rmw_fastrtps gets nothing from a node that serves its services as
// rmw_cyclonedds does (no RMW_IMPLEMENTATION): the topics match across the two middlewares, but
// the requests lack the request header and the replies the related sample identity.
TEST(NodeFollowPathFastddsPeers, TheFastddsNavigatorFailsAgainstCycloneFraming) {
  dds_loopback::useLoopbackOnly();
  setenv("FASTRTPS_DEFAULT_PROFILES_FILE", FASTDDS_LOOPBACK_PROFILE, 1);
  const Layout layout{"jazzy", false};
  const int domain = dds_loopback::freeDomain();
  Navigator navigator(layout, domain);
  BackgroundProcess node(nodeCommand(false), nodeEnvironment(domain, nullptr),
                         "follow_path_fastdds_cyclone_framing.log");
  ASSERT_TRUE(dds_loopback::eventually([&] { return navigator.action.available(); }, 10s))
      << node.output();
  EXPECT_FALSE(navigator.change(1, 1500ms)) << "configured through another framing";
  EXPECT_FALSE(navigator.action.send(goalId(1), {{0, 0, 0}, {1, 0, 0}}, 1500ms))
      << "a goal taken through another framing";
  EXPECT_NE(node.output().find("dropped a request that cannot be read"), std::string::npos)
      << node.output();
}

}  // namespace
