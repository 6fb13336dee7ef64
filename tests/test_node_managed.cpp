// trelvo-node --lifecycle as a program on DDS, driven as Nav2's lifecycle manager drives a managed
// node: a client written from rmw_cyclonedds's layout (cyclone_service_client.hpp) configures and
// activates it, asks its state, and deactivates it mid-route; the test is the vehicle too, sending
// odometry and a path and watching the commands. Loopback only, on a DDS domain of its own.

#include <gtest/gtest.h>

#include <lifecycle_msgs/msg/TransitionEvent.h>
#include <rmw_dds_common/msg/ParticipantEntitiesInfo.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "background_process.hpp"
#include "cyclone_service_client.hpp"
#include "dds_loopback.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"
#include "wire/ros_graph.hpp"
#include "wire/topic_names.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using cyclone_service_client::Bytes;
using cyclone_service_client::CdrReader;
using cyclone_service_client::CdrWriter;
using cyclone_service_client::ServiceClient;

const int kDomain = dds_loopback::freeDomain();
const int kBrokenServerDomain = dds_loopback::freeDomain();
// What a loaded 2-core machine may add to the delivery of one sample.
constexpr auto kDeliverySlack = 150ms;

struct TimedCommand {
  Clock::time_point at;
  geometry_msgs::msg::Twist twist;
};

bool isZero(const geometry_msgs::msg::Twist& twist) {
  return twist.linear.x == 0.0 && twist.angular.z == 0.0;
}

// The test's side: a lifecycle manager's two clients, a vehicle's odometry and command reader, a
// planner, and listeners of transition_event and ros_discovery_info.
class Manager {
 public:
  Manager()
      : participant_(kDomain),
        changeState_(participant_, "trelvo_node/change_state",
                     "lifecycle_msgs::srv::dds_::ChangeState", "0a.1.2.3"),
        getState_(participant_, "trelvo_node/get_state", "lifecycle_msgs::srv::dds_::GetState",
                  "0a.1.2.4"),
        plan_(participant_, wire::ddsTopicName("", "plan"), wire::pathQos().get()),
        odom_(participant_, wire::ddsTopicName("", "odom"), wire::odometryQos().get()),
        commands_(participant_, wire::ddsTopicName("", "cmd_vel"), wire::commandQos().get()) {
    eventsTopic_ =
        dds_create_topic(participant_.handle(), &lifecycle_msgs_msg_dds__TransitionEvent__desc,
                         "rt/trelvo_node/transition_event", nullptr, nullptr);
    events_ =
        dds_create_reader(participant_.handle(), eventsTopic_, wire::statusQos().get(), nullptr);
    graphTopic_ = dds_create_topic(participant_.handle(),
                                   &rmw_dds_common_msg_dds__ParticipantEntitiesInfo__desc,
                                   wire::kRosDiscoveryTopic, nullptr, nullptr);
    graph_ = dds_create_reader(participant_.handle(), graphTopic_,
                               wire::rosDiscoveryQos(wire::RosDistro::Jazzy).get(), nullptr);
  }

  bool servicesAvailable() {
    return dds_loopback::eventually(
        [this] { return changeState_.serviceAvailable() && getState_.serviceAvailable(); }, 10s);
  }

  // change_state with a transition id: the reply's success, or nothing without a reply.
  std::optional<bool> change(std::uint8_t id) {
    const auto reply = changeState_.call(CdrWriter().u8(id).text("").bytes());
    if (!reply) {
      return std::nullopt;
    }
    return CdrReader(*reply).u8() == std::uint8_t{1};
  }
  // get_state: the state's id and label, or nothing without a readable reply.
  std::optional<std::pair<int, std::string>> state() {
    const auto reply = getState_.call(CdrWriter().u8(0).bytes());
    if (!reply) {
      return std::nullopt;
    }
    CdrReader read(*reply);
    const auto id = read.u8();
    const auto label = read.text();
    if (!id || !label) {
      return std::nullopt;
    }
    return std::pair<int, std::string>{*id, *label};
  }
  void sendRawChangeState(const Bytes& bytes) { changeState_.sendRaw(bytes); }

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
  // Odometry at the origin every 50 ms for `duration`, collecting the commands that arrive.
  void drive(std::chrono::milliseconds duration) {
    const auto until = Clock::now() + duration;
    auto nextOdometry = Clock::now();
    while (Clock::now() < until) {
      if (Clock::now() >= nextOdometry) {
        nav_msgs::msg::Odometry odometry;
        odometry.header.frame_id = "odom";
        odometry.child_frame_id = "base_link";
        odometry.pose.pose.orientation.w = 1.0;
        odom_.publish(odometry);
        nextOdometry += 50ms;
      }
      for (const auto& twist : commands_.take()) {
        commands.push_back({Clock::now(), twist});
      }
      std::this_thread::sleep_for(5ms);
    }
  }
  bool connected() {
    return dds_loopback::eventually(
        [this] { return plan_.matchedSubscriptions() > 0 && commands_.matchedPublications() > 0; },
        10s);
  }

  // The goal states transition_event announced, in order.
  std::vector<int> announcedGoals() {
    void* samples[16] = {};
    dds_sample_info_t infos[16];
    for (int count; (count = dds_take(events_, samples, infos, 16, 16)) > 0;) {
      for (int i = 0; i < count; ++i) {
        if (infos[i].valid_data) {
          goals_.push_back(
              static_cast<lifecycle_msgs_msg_dds__TransitionEvent_*>(samples[i])->goal_state.id);
        }
      }
      dds_return_loan(events_, samples, count);
    }
    return goals_;
  }

  // Whether ros_discovery_info names trelvo_node with the request reader of change_state.
  bool graphListsChangeStateReader() {
    const auto readers = changeState_.requestReaders();
    void* samples[8] = {};
    dds_sample_info_t infos[8];
    bool listed = false;
    const int count = dds_read(graph_, samples, infos, 8, 8);
    for (int i = 0; i < count; ++i) {
      if (!infos[i].valid_data) {
        continue;
      }
      const auto& info =
          *static_cast<rmw_dds_common_msg_dds__ParticipantEntitiesInfo_*>(samples[i]);
      for (std::uint32_t n = 0; n < info.node_entities_info_seq._length; ++n) {
        const auto& node = info.node_entities_info_seq._buffer[n];
        if (std::string(node.node_name) != "trelvo_node") {
          continue;
        }
        for (std::uint32_t r = 0; r < node.reader_gid_seq._length; ++r) {
          for (const auto& reader : readers) {
            listed = listed || std::memcmp(node.reader_gid_seq._buffer[r].data, reader.v, 16) == 0;
          }
        }
      }
    }
    if (count > 0) {
      dds_return_loan(graph_, samples, count);
    }
    return listed;
  }

  std::vector<TimedCommand> commands;

 private:
  wire::Participant participant_;
  ServiceClient changeState_;
  ServiceClient getState_;
  wire::Publisher<nav_msgs::msg::Path> plan_;
  wire::Publisher<nav_msgs::msg::Odometry> odom_;
  wire::Subscription<geometry_msgs::msg::Twist> commands_;
  dds_entity_t eventsTopic_ = 0;
  dds_entity_t events_ = 0;
  dds_entity_t graphTopic_ = 0;
  dds_entity_t graph_ = 0;
  std::vector<int> goals_;
};

TEST(NodeManaged, ConfiguredActivatedDrivesAndStopsAtOnceWhenDeactivated) {
  dds_loopback::useLoopbackOnly();
  Manager manager;
  // Paths on plan, asked for: a managed node takes none there otherwise.
  BackgroundProcess node({TRELVO_NODE_PROGRAM, "--lifecycle", "--plan-topic", "plan"},
                         dds_loopback::childEnvironment(kDomain), "managed_node.log");
  ASSERT_TRUE(manager.servicesAvailable()) << node.output();
  ASSERT_TRUE(manager.connected()) << node.output();

  using State = std::pair<int, std::string>;
  EXPECT_EQ(manager.state(), State(1, "unconfigured"));
  EXPECT_EQ(manager.change(3), false);  // no activation before the configuration
  // A request that cannot be read is dropped and logged; the node answers the next one.
  manager.sendRawChangeState({0, 1, 0, 0, 1, 2, 3});
  EXPECT_EQ(manager.change(1), true);
  EXPECT_EQ(manager.state(), State(2, "inactive"));

  // Inactive: a path is not driven, and no command goes out.
  manager.sendPath(2.0);
  manager.drive(300ms);
  EXPECT_TRUE(manager.commands.empty());

  EXPECT_EQ(manager.change(3), true);
  EXPECT_EQ(manager.state(), State(3, "active"));
  manager.drive(300ms);  // the path sent while inactive was dropped, not kept for now
  EXPECT_TRUE(std::none_of(manager.commands.begin(), manager.commands.end(),
                           [](const TimedCommand& c) { return !isZero(c.twist); }));
  manager.sendPath(2.0);
  manager.drive(1500ms);
  ASSERT_TRUE(std::any_of(manager.commands.begin(), manager.commands.end(),
                          [](const TimedCommand& c) { return c.twist.linear.x > 0.0; }))
      << node.output();

  manager.commands.clear();
  const auto asked = Clock::now();
  EXPECT_EQ(manager.change(4), true);
  const auto answered = Clock::now();
  manager.drive(400ms);
  ASSERT_FALSE(manager.commands.empty()) << "no stop after the deactivation";
  EXPECT_TRUE(isZero(manager.commands.back().twist));
  const auto firstZero = std::find_if(manager.commands.begin(), manager.commands.end(),
                                      [](const TimedCommand& c) { return isZero(c.twist); });
  ASSERT_NE(firstZero, manager.commands.end());
  EXPECT_LT(firstZero->at - asked, (answered - asked) + kDeliverySlack);
  using Milliseconds = std::chrono::duration<double, std::milli>;
  RecordProperty("deactivate_reply_ms", std::to_string(Milliseconds(answered - asked).count()));
  RecordProperty("deactivate_stop_ms", std::to_string(Milliseconds(firstZero->at - asked).count()));
  for (auto command = firstZero; command != manager.commands.end(); ++command) {
    EXPECT_TRUE(isZero(command->twist)) << "a command after the stop";
  }
  // Nothing but the stop once inactive.
  EXPECT_LE(std::count_if(manager.commands.begin(), manager.commands.end(),
                          [&](const TimedCommand& c) { return c.at > answered + kDeliverySlack; }),
            0);
  EXPECT_EQ(manager.state(), State(2, "inactive"));

  // Active again: the route ended with the deactivation, and stays ended.
  EXPECT_EQ(manager.change(3), true);
  manager.commands.clear();
  manager.drive(300ms);
  EXPECT_TRUE(std::none_of(manager.commands.begin(), manager.commands.end(),
                           [](const TimedCommand& c) { return !isZero(c.twist); }));

  // configuring, inactive, activating, active, deactivating, inactive, activating, active
  EXPECT_EQ(manager.announcedGoals(), (std::vector<int>{10, 2, 13, 3, 14, 2, 13, 3}));
  EXPECT_TRUE(dds_loopback::eventually([&] { return manager.graphListsChangeStateReader(); }));
  EXPECT_NE(node.output().find("dropped a request that cannot be read"), std::string::npos)
      << node.output();
}

// Nav2's planner server publishes every plan it computes on plan, for display: a managed node
// moves only for goals, and while it has none it publishes no command at all.
TEST(NodeManaged, APlanWithoutAGoalMovesNothingAndTheIdleNodeIsQuiet) {
  dds_loopback::useLoopbackOnly();
  Manager manager;
  BackgroundProcess node({TRELVO_NODE_PROGRAM, "--lifecycle"},
                         dds_loopback::childEnvironment(kDomain), "managed_node_plan.log");
  ASSERT_TRUE(manager.servicesAvailable()) << node.output();
  ASSERT_EQ(manager.change(1), true);
  ASSERT_EQ(manager.change(3), true);
  for (int i = 0; i < 5; ++i) {
    manager.sendPath(2.0);
    manager.drive(300ms);
  }
  EXPECT_TRUE(manager.commands.empty()) << node.output();
  EXPECT_EQ(node.output().find("subscribes /plan"), std::string::npos) << node.output();
}

// The client is no client that takes any reply: against a server that answers as rmw_cyclonedds
// does not (no request header, another client's id, another sequence number), it gets no reply.
TEST(NodeManaged, TheClientTakesNoReplyThatLacksItsRequestHeader) {
  dds_loopback::useLoopbackOnly();
  wire::Participant participant(kBrokenServerDomain);
  ServiceClient client(participant, "broken/get_state", "lifecycle_msgs::srv::dds_::GetState",
                       "0b.1");
  const wire::Qos qos = wire::withUserData(wire::serviceQos(), "serviceid=0c.1;");
  const dds_entity_t requests = dds_create_reader(
      participant.handle(),
      wire::createSerializedTopic(participant.handle(), "rq/broken/get_stateRequest",
                                  "lifecycle_msgs::srv::dds_::GetState_Request_"),
      qos.get(), nullptr);
  const dds_entity_t replies = dds_create_writer(
      participant.handle(),
      wire::createSerializedTopic(participant.handle(), "rr/broken/get_stateReply",
                                  "lifecycle_msgs::srv::dds_::GetState_Response_"),
      qos.get(), nullptr);
  ASSERT_TRUE(dds_loopback::eventually([&] { return client.serviceAvailable(); }));
  const Bytes state = CdrWriter().u8(3).text("active").bytes();
  const struct {
    const char* fault;
    int idChange;
    int sequenceChange;
    bool header;
  } servers[] = {
      {"no request header", 0, 0, false},
      {"another client's id", 1, 0, true},
      {"another sequence number", 0, 1, true},
      {"none: answers as rmw_cyclonedds", 0, 0, true},
  };
  for (const auto& server : servers) {
    std::thread answer([&] {
      std::optional<wire::SerializedSample> request;
      dds_loopback::eventually(
          [&] { return (request = wire::takeSerialized(requests)).has_value(); });
      ASSERT_TRUE(request && request->bytes.size() >= 20);
      Bytes reply(request->bytes.begin(), request->bytes.begin() + (server.header ? 20 : 4));
      if (server.header) {
        reply[4] = static_cast<std::uint8_t>(reply[4] + server.idChange);
        reply[12] = static_cast<std::uint8_t>(reply[12] + server.sequenceChange);
      }
      reply.insert(reply.end(), state.begin(), state.end());
      dds_write(replies, &reply);
    });
    const auto reply = client.call(CdrWriter().u8(0).bytes(), 500ms);
    answer.join();
    EXPECT_EQ(reply.has_value(),
              server.idChange == 0 && server.sequenceChange == 0 && server.header)
        << server.fault;
  }
}

}  // namespace
