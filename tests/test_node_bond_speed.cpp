// trelvo-node on DDS with what Nav2 sends a controller beside its path: the lifecycle manager's
// bond and the speed filter's limit. The test is the manager (a bond of its own on "bond", as
// bondcpp keeps one), the speed filter and the vehicle, a unicycle it moves by the commands it
// reads. Loopback only, each test on a DDS domain of its own.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <rmw_dds_common/msg/ParticipantEntitiesInfo.h>
#include <bond/msg/status.hpp>
#include <nav2_msgs/msg/speed_limit.hpp>

#include "background_process.hpp"
#include "cyclone_service_client.hpp"
#include "dds_loopback.hpp"
#include "wire/discovery.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"
#include "wire/ros_graph.hpp"
#include "wire/topic_names.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using cyclone_service_client::CdrReader;
using cyclone_service_client::CdrWriter;
using cyclone_service_client::ServiceClient;

const int kBondDomain = dds_loopback::freeDomain();
const int kSpeedLimitDomain = dds_loopback::freeDomain();
constexpr auto kCycle = 50ms;  // the node's default 20 Hz
// What a loaded 2-core machine may add to the delivery of one sample.
constexpr auto kDeliverySlack = 150ms;
// The manager's bond: Nav2's heartbeat period, a timeout short enough for a test.
constexpr float kManagerPeriod = 0.1F;
constexpr float kManagerTimeout = 1.0F;

struct TimedCommand {
  Clock::time_point at;
  geometry_msgs::msg::Twist twist;
};

// The planner and the vehicle: a path, and odometry of a unicycle the commands move.
class Vehicle {
 public:
  explicit Vehicle(const wire::Participant& participant)
      : plan_(participant, wire::ddsTopicName("", "plan"), wire::pathQos().get()),
        odom_(participant, wire::ddsTopicName("", "odom"), wire::odometryQos().get()),
        commands_(participant, wire::ddsTopicName("", "cmd_vel"), wire::commandQos().get()) {}

  bool connected() {
    return dds_loopback::eventually(
        [this] { return plan_.matchedSubscriptions() > 0 && commands_.matchedPublications() > 0; },
        10s);
  }
  void sendPath(double length) {
    nav_msgs::msg::Path path;
    path.header.frame_id = "odom";
    path.poses.resize(2);
    path.poses[1].pose.position.x = length;
    for (auto& pose : path.poses) {
      pose.header.frame_id = "odom";
      pose.pose.orientation.w = 1.0;
    }
    plan_.publish(path);
  }
  // Odometry every 50 ms, the unicycle moved by the last command, for `duration`; `also` runs in
  // each turn of the loop (the manager's heartbeats).
  template <typename Also>
  void drive(Clock::duration duration, Also&& also) {
    const auto until = Clock::now() + duration;
    while (Clock::now() < until) {
      const auto now = Clock::now();
      if (now >= nextOdometry_) {
        const double dt = std::chrono::duration<double>(now - lastMove_).count();
        x_ += last_.linear.x * std::cos(theta_) * dt;
        y_ += last_.linear.x * std::sin(theta_) * dt;
        theta_ += last_.angular.z * dt;
        lastMove_ = now;
        nav_msgs::msg::Odometry odometry;
        odometry.header.frame_id = "odom";
        odometry.child_frame_id = "base_link";
        odometry.pose.pose.position.x = x_;
        odometry.pose.pose.position.y = y_;
        odometry.pose.pose.orientation.z = std::sin(theta_ / 2);
        odometry.pose.pose.orientation.w = std::cos(theta_ / 2);
        odom_.publish(odometry);
        nextOdometry_ = now + 50ms;
      }
      for (const auto& twist : commands_.take()) {
        commands.push_back({Clock::now(), twist});
        last_ = twist;
      }
      also();
      std::this_thread::sleep_for(5ms);
    }
  }
  void drive(Clock::duration duration) {
    drive(duration, [] {});
  }

  // The fastest forward command that arrived after `from`.
  double fastestSince(Clock::time_point from) const {
    double fastest = 0.0;
    for (const auto& command : commands) {
      if (command.at >= from) {
        fastest = std::max(fastest, command.twist.linear.x);
      }
    }
    return fastest;
  }

  std::vector<TimedCommand> commands;

 private:
  wire::Publisher<nav_msgs::msg::Path> plan_;
  wire::Publisher<nav_msgs::msg::Odometry> odom_;
  wire::Subscription<geometry_msgs::msg::Twist> commands_;
  geometry_msgs::msg::Twist last_;
  double x_ = 0.0;
  double y_ = 0.0;
  double theta_ = 0.0;
  Clock::time_point lastMove_ = Clock::now();
  Clock::time_point nextOdometry_ = Clock::now();
};

// The lifecycle manager: change_state, and its side of the node's bond.
class Manager {
 public:
  explicit Manager(const wire::Participant& participant)
      : changeState_(participant, "trelvo_node/change_state",
                     "lifecycle_msgs::srv::dds_::ChangeState", "0d.1.2.3"),
        bondOut_(participant, wire::ddsTopicName("", "bond"), wire::bondWriterQos().get()),
        bondIn_(participant, wire::ddsTopicName("", "bond"), wire::bondReaderQos().get()) {}

  bool configureAndActivate() {
    return dds_loopback::eventually([this] { return changeState_.serviceAvailable(); }, 10s) &&
           change(1) && change(3);
  }
  bool change(std::uint8_t id) {
    const auto reply = changeState_.call(CdrWriter().u8(id).text("").bytes());
    return reply && CdrReader(*reply).u8() == std::uint8_t{1};
  }
  // A heartbeat every kManagerPeriod while beating; the node's statuses collected.
  void serve() {
    if (beating && Clock::now() >= nextBeat_) {
      bond::msg::Status status;
      status.id = "trelvo_node";
      status.instance_id = "manager-instance";
      status.active = true;
      status.heartbeat_period = kManagerPeriod;
      status.heartbeat_timeout = kManagerTimeout;
      bondOut_.publish(status);
      nextBeat_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<float>(kManagerPeriod));
    }
    for (auto& status : bondIn_.take()) {
      if (status.instance_id != "manager-instance") {
        fromNode.push_back({Clock::now(), std::move(status)});
      }
    }
  }
  int heartbeatsSince(Clock::time_point from, bool active = true) const {
    return static_cast<int>(std::count_if(fromNode.begin(), fromNode.end(), [&](const auto& s) {
      return s.at >= from && s.status.active == active;
    }));
  }

  struct Heard {
    Clock::time_point at;
    bond::msg::Status status;
  };
  std::vector<Heard> fromNode;
  bool beating = true;

 private:
  ServiceClient changeState_;
  wire::Publisher<bond::msg::Status> bondOut_;
  wire::Subscription<bond::msg::Status> bondIn_;
  Clock::time_point nextBeat_ = Clock::now();
};

// The node's reader or writer of `topic`, as discovery shows it.
std::optional<wire::Guid> nodeEndpoint(wire::Discovery& discovery, const std::string& topic,
                                       wire::DiscoveredEndpoint::Kind kind) {
  for (const auto& endpoint : discovery.endpoints()) {
    if (!endpoint.ours && endpoint.topic == topic && endpoint.kind == kind) {
      return endpoint.endpoint;
    }
  }
  return std::nullopt;
}

// Whether ros_discovery_info names `guid` among trelvo_node's readers or writers.
bool graphLists(dds_entity_t graph, const wire::Guid& guid) {
  void* samples[8] = {};
  dds_sample_info_t infos[8];
  bool listed = false;
  const int count = dds_read(graph, samples, infos, 8, 8);
  for (int i = 0; i < count; ++i) {
    if (!infos[i].valid_data) {
      continue;
    }
    const auto& info = *static_cast<rmw_dds_common_msg_dds__ParticipantEntitiesInfo_*>(samples[i]);
    for (std::uint32_t n = 0; n < info.node_entities_info_seq._length; ++n) {
      const auto& node = info.node_entities_info_seq._buffer[n];
      if (std::string(node.node_name) != "trelvo_node") {
        continue;
      }
      for (const auto& gids : {node.reader_gid_seq, node.writer_gid_seq}) {
        for (std::uint32_t g = 0; g < gids._length; ++g) {
          listed = listed || std::memcmp(gids._buffer[g].data, guid.data(), guid.size()) == 0;
        }
      }
    }
  }
  if (count > 0) {
    dds_return_loan(graph, samples, count);
  }
  return listed;
}

TEST(NodeBond, FormedWithTheManagerAndTheVehicleStopsWhenItsHeartbeatsStop) {
  dds_loopback::useLoopbackOnly();
  wire::Participant participant(kBondDomain);
  Vehicle vehicle(participant);
  Manager manager(participant);
  // Paths on plan, asked for: a managed node takes none there otherwise.
  BackgroundProcess node({TRELVO_NODE_PROGRAM, "--lifecycle", "--plan-topic", "plan"},
                         dds_loopback::childEnvironment(kBondDomain), "bond_node.log");
  ASSERT_TRUE(manager.configureAndActivate()) << node.output();
  ASSERT_TRUE(vehicle.connected()) << node.output();
  const auto serve = [&] { manager.serve(); };

  // Formed: the node beats at the manager's period, as one side of the bond named after it.
  vehicle.drive(500ms, serve);
  const auto formed = Clock::now();
  vehicle.sendPath(3.0);
  vehicle.drive(1s, serve);
  ASSERT_FALSE(manager.fromNode.empty()) << node.output();
  const auto& heartbeat = manager.fromNode.back().status;
  EXPECT_EQ(heartbeat.id, "trelvo_node");
  EXPECT_EQ(heartbeat.instance_id.size(), 36U) << heartbeat.instance_id;
  EXPECT_FLOAT_EQ(heartbeat.heartbeat_period, kManagerPeriod);
  EXPECT_GE(manager.heartbeatsSince(formed), 7) << "about 10 in the second at 0.1 s";
  ASSERT_GT(vehicle.fastestSince(formed), 0.0) << node.output();

  // The manager falls silent: a zero within its timeout and a cycle, then no command at all.
  manager.beating = false;
  const auto silent = Clock::now();
  vehicle.commands.clear();
  vehicle.drive(2s, serve);
  const auto zero = std::find_if(vehicle.commands.begin(), vehicle.commands.end(),
                                 [](const TimedCommand& c) { return c.twist.linear.x == 0.0; });
  ASSERT_NE(zero, vehicle.commands.end()) << node.output();
  const auto deadline =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<float>(kManagerTimeout)) +
      kCycle + kDeliverySlack;
  EXPECT_LT(zero->at - silent, deadline);
  EXPECT_GT(zero->at - silent, std::chrono::duration<float>(kManagerTimeout) - kDeliverySlack);
  RecordProperty(
      "silence_to_stop_ms",
      std::to_string(std::chrono::duration<double, std::milli>(zero->at - silent).count()));
  EXPECT_EQ(zero->twist, geometry_msgs::msg::Twist{});
  EXPECT_EQ(zero + 1, vehicle.commands.end()) << "a command after the stop";
  const std::string log = node.output();
  EXPECT_NE(log.find("bond trelvo_node broken: no heartbeat from the lifecycle manager"),
            std::string::npos)
      << log;
  EXPECT_EQ(manager.heartbeatsSince(zero->at + kDeliverySlack), 0) << "heartbeats after the break";

  // The bond and the speed limit are the node's in the ROS 2 graph.
  wire::Discovery discovery(participant);
  const dds_entity_t graph = dds_create_reader(
      participant.handle(),
      dds_create_topic(participant.handle(), &rmw_dds_common_msg_dds__ParticipantEntitiesInfo__desc,
                       wire::kRosDiscoveryTopic, nullptr, nullptr),
      wire::rosDiscoveryQos(wire::RosDistro::Jazzy).get(), nullptr);
  using Kind = wire::DiscoveredEndpoint::Kind;
  for (const auto& [topic, kind] :
       {std::pair{"rt/bond", Kind::Writer}, std::pair{"rt/bond", Kind::Reader},
        std::pair{"rt/speed_limit", Kind::Reader}}) {
    std::optional<wire::Guid> guid;
    ASSERT_TRUE(dds_loopback::eventually([&] {
      return (guid = nodeEndpoint(discovery, topic, kind)).has_value();
    })) << topic;
    EXPECT_TRUE(dds_loopback::eventually([&] { return graphLists(graph, *guid); })) << topic;
  }

  // Deactivated, the node ends its side.
  const auto deactivated = Clock::now();
  EXPECT_TRUE(manager.change(4));
  vehicle.drive(300ms, serve);
  EXPECT_GE(manager.heartbeatsSince(deactivated, false), 1);
}

TEST(NodeSpeedLimit, ALimitCapsTheRouteFromTheNextCycleUntilLifted) {
  dds_loopback::useLoopbackOnly();
  wire::Participant participant(kSpeedLimitDomain);
  Vehicle vehicle(participant);
  wire::Publisher<nav2_msgs::msg::SpeedLimit> speedFilter(
      participant, wire::ddsTopicName("", "speed_limit"), wire::speedLimitQos().get());
  BackgroundProcess node({TRELVO_NODE_PROGRAM}, dds_loopback::childEnvironment(kSpeedLimitDomain),
                         "speed_limit_node.log");
  ASSERT_TRUE(vehicle.connected()) << node.output();
  ASSERT_TRUE(
      dds_loopback::eventually([&] { return speedFilter.matchedSubscriptions() > 0; }, 10s));
  const auto limit = [&](bool percentage, double value) {
    nav2_msgs::msg::SpeedLimit message;
    message.percentage = percentage;
    message.speed_limit = value;
    speedFilter.publish(message);
    return Clock::now();
  };

  vehicle.sendPath(4.0);
  vehicle.drive(2s);
  ASSERT_GT(vehicle.fastestSince(Clock::time_point{}), 0.2) << node.output();

  // A share of the speed the route cruises at, 0.4 m/s: half of it binds.
  const auto capped = limit(true, 50.0);
  vehicle.drive(1s);
  const auto inForce = capped + kCycle + kDeliverySlack;
  EXPECT_LE(vehicle.fastestSince(inForce), 0.2);
  EXPECT_GT(vehicle.fastestSince(inForce), 0.15) << "the route goes on, slower";
  limit(false, -1.0);  // refused: the limit stays
  vehicle.drive(300ms);
  EXPECT_LE(vehicle.fastestSince(inForce), 0.2);

  const auto lifted = limit(false, 0.0);
  vehicle.drive(700ms);
  EXPECT_GT(vehicle.fastestSince(lifted), 0.3) << node.output();
  const std::string log = node.output();
  EXPECT_NE(log.find("speed limit on /speed_limit: 0.2 m/s (50 % of 0.4 m/s)"), std::string::npos)
      << log;
  EXPECT_NE(log.find("speed limit -1 m/s refused"), std::string::npos) << log;
  EXPECT_NE(log.find("speed limit on /speed_limit: none"), std::string::npos) << log;
}

}  // namespace
