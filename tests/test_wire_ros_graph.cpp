// ROS 2 tools list the node as one of theirs when its participant and endpoints carry in discovery
// what ROS 2's middleware writes there, and ros_discovery_info names the node with the GIDs of its
// readers and writers. Checked as a ROS 2 tool sees it: from a participant of its own, through the
// built-in topics and a plain reader of ros_discovery_info, in Humble's layout and in Jazzy's.

#include <gtest/gtest.h>

#include <rmw_dds_common/msg/ParticipantEntitiesInfo.h>
#include <rmw_dds_common_humble/msg/ParticipantEntitiesInfo.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "dds_loopback.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"
#include "wire/ros_graph.hpp"
#include "wire/type_hash.hpp"
#include "wire/user_data.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using wire::RosDistro;

// The hashes ROS 2 Jazzy gives these types, as its tools print them (ros2 topic info --verbose)
// and as rosidl's generated type descriptions hold them.
const std::map<std::string, std::string> kJazzyHashes = {
    {"builtin_interfaces::msg::dds_::Time_",
     "RIHS01_b106235e25a4c5ed35098aa0a61a3ee9c9b18d197f398b0e4206cea9acf9c197"},
    {"diagnostic_msgs::msg::dds_::DiagnosticArray_",
     "RIHS01_5a8a36efb05fb25070fa0fb3810290c0e6cd4862b54a8fb975a1ee8dc55a333e"},
    {"diagnostic_msgs::msg::dds_::DiagnosticStatus_",
     "RIHS01_b0e3e692ea2d54a8af2f4ef1930e81556a2db55216b771f8a7d2724ed47bf0e4"},
    {"diagnostic_msgs::msg::dds_::KeyValue_",
     "RIHS01_d68081eaa540288c5440753baecef0c4e16e81a5f78ad68902ded5100413bb42"},
    {"geometry_msgs::msg::dds_::Point_",
     "RIHS01_6963084842a9b04494d6b2941d11444708d892da2f4b09843b9c43f42a7f6881"},
    {"geometry_msgs::msg::dds_::PointStamped_",
     "RIHS01_4c0296af86e01e562e9e0405d138a01537247580076c58ea38d7923ac1045897"},
    {"geometry_msgs::msg::dds_::Pose_",
     "RIHS01_d501954e9476cea2996984e812054b68026ae0bfae789d9a10b23daf35cc90fa"},
    {"geometry_msgs::msg::dds_::PoseStamped_",
     "RIHS01_10f3786d7d40fd2b54367835614bff85d4ad3b5dab62bf8bca0cc232d73b4cd8"},
    {"geometry_msgs::msg::dds_::PoseWithCovariance_",
     "RIHS01_9a7c0fd234b7f45c6098745ecccd773ca1085670e64107135397aee31c02e1bb"},
    {"geometry_msgs::msg::dds_::Quaternion_",
     "RIHS01_8a765f66778c8ff7c8ab94afcc590a2ed5325a1d9a076ffff38fbce36f458684"},
    {"geometry_msgs::msg::dds_::Twist_",
     "RIHS01_9c45bf16fe0983d80e3cfe750d6835843d265a9a6c46bd2e609fcddde6fb8d2a"},
    {"geometry_msgs::msg::dds_::TwistStamped_",
     "RIHS01_5f0fcd4f81d5d06ad9b4c4c63e3ea51b82d6ae4d0558f1d475229b1121db6f64"},
    {"geometry_msgs::msg::dds_::TwistWithCovariance_",
     "RIHS01_49f574f033f095d8b6cd1beaca5ca7925e296e84af1716d16c89d38b059c8c18"},
    {"geometry_msgs::msg::dds_::Vector3_",
     "RIHS01_cc12fe83e4c02719f1ce8070bfd14aecd40f75a96696a67a2a1f37f7dbb0765d"},
    {"nav_msgs::msg::dds_::Odometry_",
     "RIHS01_3cc97dc7fb7502f8714462c526d369e35b603cfc34d946e3f2eda2766dfec6e0"},
    {"nav_msgs::msg::dds_::Path_",
     "RIHS01_1957a5bb3cee5da65c4e52e52b65a93df227efce4c20f8458b36e73066ca334b"},
    {"rmw_dds_common::msg::dds_::Gid_",
     "RIHS01_ab6f21cfbb0a6dbb837161e1110c2051a2850ed9f9c53944d7115d9bcebedf71"},
    {"rmw_dds_common::msg::dds_::NodeEntitiesInfo_",
     "RIHS01_8ffef65ee2d088c63b1e8fcd31e800ba9fc8dbe0ee15ca60d1676de5218087a7"},
    {"rmw_dds_common::msg::dds_::ParticipantEntitiesInfo_",
     "RIHS01_91a0593bacdcc50ea9bdcf849a938b128412cc1ea821245c663bcd26f83c295e"},
    {"rosgraph_msgs::msg::dds_::Clock_",
     "RIHS01_692f7a66e93a3c83e71765d033b60349ba68023a8c689a79e48078bcb5c58564"},
    {"std_msgs::msg::dds_::Header_",
     "RIHS01_f49fb3ae2cf070f793645ff749683ac6b06203e41c891e17701b1cb597ce6a01"},
    {"std_msgs::msg::dds_::String_",
     "RIHS01_df668c740482bbd48fb39d76a70dfd4bd59db1288021743503259e948f6b1a18"},
};

Bytes bytesOf(const dds_guid_t& guid) {
  return Bytes(std::begin(guid.v), std::end(guid.v));
}

Bytes guidOf(dds_entity_t entity) {
  dds_guid_t guid{};
  EXPECT_EQ(dds_get_guid(entity, &guid), DDS_RETCODE_OK);
  return bytesOf(guid);
}

std::string hexOf(const Bytes& bytes) {
  std::ostringstream text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text << (i > 0 ? "." : "") << std::hex << (bytes[i] < 16 ? "0" : "") << int{bytes[i]};
  }
  return text.str();
}

// ---- What discovery tells another participant ------------------------------------------------

struct SeenEndpoint {
  std::string topic;
  std::string type;
  Bytes guid;
  std::string userData;
  std::string qos;  // as wire::qosText writes it
};

// The readers (DCPSSubscription) or writers (DCPSPublication) of `participant` that `observer`
// has discovered.
std::vector<SeenEndpoint> endpointsSeen(dds_entity_t observer, dds_entity_t builtinTopic,
                                        const Bytes& participant) {
  const dds_entity_t reader = dds_create_reader(observer, builtinTopic, nullptr, nullptr);
  EXPECT_GT(reader, 0);
  constexpr std::size_t kMost = 64;
  std::array<void*, kMost> samples{};
  std::array<dds_sample_info_t, kMost> infos{};
  const int32_t count = dds_read(reader, samples.data(), infos.data(), kMost, kMost);
  std::vector<SeenEndpoint> seen;
  for (int32_t i = 0; i < count; ++i) {
    const auto& sample = *static_cast<const dds_builtintopic_endpoint_t*>(samples[i]);
    if (infos[i].valid_data && bytesOf(sample.participant_key) == participant) {
      seen.push_back({sample.topic_name, sample.type_name, bytesOf(sample.key),
                      wire::userData(sample.qos), wire::qosText(sample.qos)});
    }
  }
  if (count > 0) {
    dds_return_loan(reader, samples.data(), count);
  }
  dds_delete(reader);
  return seen;
}

// The USER_DATA of `participant` as `observer` discovered it; nothing while it is not discovered.
std::optional<std::string> participantUserData(dds_entity_t observer, const Bytes& participant) {
  const dds_entity_t reader =
      dds_create_reader(observer, DDS_BUILTIN_TOPIC_DCPSPARTICIPANT, nullptr, nullptr);
  EXPECT_GT(reader, 0);
  constexpr std::size_t kMost = 16;
  std::array<void*, kMost> samples{};
  std::array<dds_sample_info_t, kMost> infos{};
  const int32_t count = dds_read(reader, samples.data(), infos.data(), kMost, kMost);
  std::optional<std::string> found;
  for (int32_t i = 0; i < count; ++i) {
    const auto& sample = *static_cast<const dds_builtintopic_participant_t*>(samples[i]);
    if (infos[i].valid_data && bytesOf(sample.key) == participant) {
      found = wire::userData(sample.qos);
    }
  }
  if (count > 0) {
    dds_return_loan(reader, samples.data(), count);
  }
  dds_delete(reader);
  return found;
}

// ---- ros_discovery_info, read as a ROS 2 tool reads it --------------------------------------

struct AnnouncedNode {
  std::string nameSpace;
  std::string name;
  std::vector<Bytes> readers;
  std::vector<Bytes> writers;
};

struct Announcement {
  Bytes participant;
  std::vector<AnnouncedNode> nodes;
};

template <typename Gid>
Bytes bytesOf(const Gid& gid) {
  return Bytes(std::begin(gid.data), std::end(gid.data));
}

template <typename Sequence>
std::vector<Bytes> gidsOf(const Sequence& sequence) {
  std::vector<Bytes> gids;
  for (std::uint32_t i = 0; i < sequence._length; ++i) {
    gids.push_back(bytesOf(sequence._buffer[i]));
  }
  return gids;
}

template <typename Info>
Announcement decoded(const Info& info) {
  Announcement announcement{bytesOf(info.gid), {}};
  for (std::uint32_t i = 0; i < info.node_entities_info_seq._length; ++i) {
    const auto& node = info.node_entities_info_seq._buffer[i];
    announcement.nodes.push_back({node.node_namespace, node.node_name, gidsOf(node.reader_gid_seq),
                                  gidsOf(node.writer_gid_seq)});
  }
  return announcement;
}

std::string describe(const Announcement& announcement) {
  std::ostringstream text;
  text << "gid: " << hexOf(announcement.participant) << "\n";
  for (const auto& node : announcement.nodes) {
    text << "node: namespace '" << node.nameSpace << "', name '" << node.name << "'\n";
    for (const auto& gid : node.readers) {
      text << "  reader gid: " << hexOf(gid) << "\n";
    }
    for (const auto& gid : node.writers) {
      text << "  writer gid: " << hexOf(gid) << "\n";
    }
  }
  return text.str();
}

// A reader of ros_discovery_info with the QoS rmw_cyclonedds subscribes it with.
class DiscoveryInfoReader {
 public:
  DiscoveryInfoReader(dds_entity_t participant, RosDistro distro) : distro_(distro) {
    topic_ = dds_create_topic(participant, &wire::participantEntitiesInfoType(distro),
                              wire::kRosDiscoveryTopic, nullptr, nullptr);
    wire::Qos qos(dds_create_qos(), &dds_delete_qos);
    dds_qset_reliability(qos.get(), DDS_RELIABILITY_RELIABLE, DDS_INFINITY);
    dds_qset_durability(qos.get(), DDS_DURABILITY_TRANSIENT_LOCAL);
    dds_qset_history(qos.get(), DDS_HISTORY_KEEP_ALL, DDS_LENGTH_UNLIMITED);
    reader_ = dds_create_reader(participant, topic_, qos.get(), nullptr);
    EXPECT_GT(reader_, 0);
  }

  std::optional<Announcement> take() {
    void* sample = nullptr;
    dds_sample_info_t info{};
    std::optional<Announcement> announcement;
    while (dds_take(reader_, &sample, &info, 1, 1) == 1) {
      if (info.valid_data) {
        announcement =
            distro_ == RosDistro::Humble
                ? decoded(*static_cast<rmw_dds_common_humble_msg_dds__ParticipantEntitiesInfo_*>(
                      sample))
                : decoded(*static_cast<rmw_dds_common_msg_dds__ParticipantEntitiesInfo_*>(sample));
      }
      dds_return_loan(reader_, &sample, 1);
    }
    return announcement;
  }

 private:
  RosDistro distro_;
  dds_entity_t topic_ = 0;
  dds_entity_t reader_ = 0;
};

// ---- The node under test ---------------------------------------------------------------------

// The topics of trelvo-node, each endpoint with the USER_DATA of `distro`.
struct NodeEndpoints {
  NodeEndpoints(const wire::Participant& node, RosDistro distro)
      : plan(node, "rt/robot1/plan", qos<nav_msgs::msg::Path>(wire::pathQos(), distro).get()),
        odometry(node, "rt/robot1/odom",
                 qos<nav_msgs::msg::Odometry>(wire::poseSourceQos(), distro).get()),
        command(node, "rt/robot1/cmd_vel",
                qos<geometry_msgs::msg::Twist>(wire::commandQos(), distro).get()),
        progress(node, "rt/robot1/route_progress",
                 qos<std_msgs::msg::String>(wire::statusQos(), distro).get()),
        diagnostics(node, "rt/diagnostics",
                    qos<diagnostic_msgs::msg::DiagnosticArray>(wire::statusQos(), distro).get()) {}

  template <typename Message>
  static wire::Qos qos(wire::Qos base, RosDistro distro) {
    return wire::rosEndpointQos<Message>(std::move(base), distro);
  }

  std::vector<dds_entity_t> entities() const {
    return {plan.entity(), odometry.entity(), command.entity(), progress.entity(),
            diagnostics.entity()};
  }

  wire::Subscription<nav_msgs::msg::Path> plan;
  wire::Subscription<nav_msgs::msg::Odometry> odometry;
  wire::Publisher<geometry_msgs::msg::Twist> command;
  wire::Publisher<std_msgs::msg::String> progress;
  wire::Publisher<diagnostic_msgs::msg::DiagnosticArray> diagnostics;
};

constexpr std::size_t kNodeReaders = 2;
constexpr std::size_t kNodeWriters = 3;
constexpr std::size_t kGuidSize = 16;

struct DistroCase {
  RosDistro distro;
  const char* nameSpace;
  const char* announcedNamespace;
  std::size_t gidSize;
};

// The GID announced for `guid`: the GUID, then zeros up to the distribution's GID size.
Bytes paddedGid(Bytes guid, std::size_t gidSize) {
  guid.resize(gidSize, 0);
  return guid;
}

std::vector<Bytes> sortedGidsOf(const std::vector<SeenEndpoint>& endpoints, std::size_t gidSize) {
  std::vector<Bytes> gids;
  for (const auto& endpoint : endpoints) {
    gids.push_back(paddedGid(endpoint.guid, gidSize));
  }
  std::sort(gids.begin(), gids.end());
  return gids;
}

std::vector<Bytes> sorted(std::vector<Bytes> gids) {
  std::sort(gids.begin(), gids.end());
  return gids;
}

std::string expectedUserData(const std::string& type, RosDistro distro) {
  return distro == RosDistro::Jazzy ? "typehash=" + kJazzyHashes.at(type) + ";" : "";
}

TEST(WireRosGraph, AnnouncesTheNodeWithTheGidsOfItsEndpointsInEachDistrosLayout) {
  dds_loopback::useLoopbackOnly();
  const DistroCase cases[] = {
      {RosDistro::Jazzy, "robot1", "/robot1", 16},
      {RosDistro::Humble, "", "/", 24},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(wire::rosDistroName(c.distro)));
    const std::uint32_t domain = dds_loopback::freeDomain();
    wire::Participant node(domain, wire::rosParticipantQos().get());
    NodeEndpoints endpoints(node, c.distro);
    wire::RosGraph graph(node, "trelvo_node", c.nameSpace, c.distro, endpoints.entities());

    // Starts after the node has announced itself, as a ROS 2 tool started later does.
    wire::Participant tool(domain);
    DiscoveryInfoReader discoveryInfo(tool.handle(), c.distro);
    const Bytes nodeGuid = guidOf(node.handle());
    std::vector<SeenEndpoint> readers;
    std::vector<SeenEndpoint> writers;
    ASSERT_TRUE(dds_loopback::eventually([&] {
      readers = endpointsSeen(tool.handle(), DDS_BUILTIN_TOPIC_DCPSSUBSCRIPTION, nodeGuid);
      writers = endpointsSeen(tool.handle(), DDS_BUILTIN_TOPIC_DCPSPUBLICATION, nodeGuid);
      return readers.size() == kNodeReaders && writers.size() == kNodeWriters + 1;
    }));
    std::optional<Announcement> announcement;
    ASSERT_TRUE(dds_loopback::eventually([&] { return (announcement = discoveryInfo.take()); }));
    std::cout << "ros_discovery_info (" << wire::rosDistroName(c.distro) << "):\n"
              << describe(*announcement);

    // The writer of ros_discovery_info is the middleware's, no endpoint of the node.
    const auto infoWriter = std::find_if(writers.begin(), writers.end(), [](const auto& writer) {
      return writer.topic == wire::kRosDiscoveryTopic;
    });
    ASSERT_NE(infoWriter, writers.end());
    EXPECT_EQ(infoWriter->type, "rmw_dds_common::msg::dds_::ParticipantEntitiesInfo_");
    EXPECT_EQ(infoWriter->qos, "reliable, transient local, keep last 1");
    EXPECT_EQ(infoWriter->userData,
              expectedUserData("rmw_dds_common::msg::dds_::ParticipantEntitiesInfo_", c.distro));
    writers.erase(infoWriter);

    EXPECT_EQ(announcement->participant, paddedGid(nodeGuid, c.gidSize));
    ASSERT_EQ(announcement->nodes.size(), 1u);
    const AnnouncedNode& announced = announcement->nodes.front();
    EXPECT_EQ(announced.name, "trelvo_node");
    EXPECT_EQ(announced.nameSpace, c.announcedNamespace);
    EXPECT_EQ(sorted(announced.readers), sortedGidsOf(readers, c.gidSize));
    EXPECT_EQ(sorted(announced.writers), sortedGidsOf(writers, c.gidSize));

    for (const auto& endpoint : readers) {
      EXPECT_EQ(endpoint.userData, expectedUserData(endpoint.type, c.distro)) << endpoint.topic;
    }
    for (const auto& endpoint : writers) {
      EXPECT_EQ(endpoint.userData, expectedUserData(endpoint.type, c.distro)) << endpoint.topic;
    }
  }
}

TEST(WireRosGraph, ANodeDestroyedWhileItsParticipantStaysIsWithdrawn) {
  dds_loopback::useLoopbackOnly();
  const std::uint32_t kDomain = dds_loopback::freeDomain();
  wire::Participant node(kDomain, wire::rosParticipantQos().get());
  wire::Participant tool(kDomain);
  DiscoveryInfoReader discoveryInfo(tool.handle(), RosDistro::Jazzy);
  auto graph = std::make_unique<wire::RosGraph>(node, "trelvo_node", "", RosDistro::Jazzy,
                                                std::vector<dds_entity_t>{});
  std::optional<Announcement> announcement;
  ASSERT_TRUE(dds_loopback::eventually([&] { return (announcement = discoveryInfo.take()); }));
  EXPECT_EQ(announcement->nodes.size(), 1u);

  graph.reset();
  ASSERT_TRUE(dds_loopback::eventually([&] { return (announcement = discoveryInfo.take()); }));
  EXPECT_EQ(announcement->participant, guidOf(node.handle()));
  EXPECT_TRUE(announcement->nodes.empty());
}

TEST(WireRosGraph, ANodesParticipantCarriesTheRootEnclave) {
  dds_loopback::useLoopbackOnly();
  const std::uint32_t kDomain = dds_loopback::freeDomain();
  wire::Participant node(kDomain, wire::rosParticipantQos().get());
  wire::Participant plain(kDomain);
  wire::Participant tool(kDomain);
  std::optional<std::string> nodeData;
  std::optional<std::string> plainData;
  ASSERT_TRUE(dds_loopback::eventually([&] {
    nodeData = participantUserData(tool.handle(), guidOf(node.handle()));
    plainData = participantUserData(tool.handle(), guidOf(plain.handle()));
    return nodeData && plainData;
  }));
  EXPECT_EQ(*nodeData, "enclave=/;");
  EXPECT_EQ(*plainData, "");
}

TEST(WireRosGraph, TypeHashesAreThoseRos2Gives) {
  for (const auto& [type, hash] : kJazzyHashes) {
    EXPECT_EQ(wire::rosTypeHash(type), hash) << type;
  }
  for (const char* unknown : {"", "std_msgs::msg::dds_::Bool_", "std_msgs/msg/String",
                              "rmw_dds_common_humble::msg::dds_::Gid_"}) {
    EXPECT_THROW(wire::rosTypeHash(unknown), std::invalid_argument) << unknown;
  }
}

TEST(WireRosGraph, RefusesWhatRos2CouldNotListAsTheNode) {
  dds_loopback::useLoopbackOnly();
  const std::uint32_t kDomain = dds_loopback::freeDomain();
  wire::Participant node(kDomain);
  wire::Participant other(kDomain);
  wire::Publisher<geometry_msgs::msg::Twist> command(node, "rt/cmd_vel", wire::commandQos().get());
  wire::Publisher<geometry_msgs::msg::Twist> foreign(other, "rt/cmd_vel", wire::commandQos().get());
  const std::string longest(256, 'n');
  const std::string tooLong(257, 'n');
  struct Case {
    std::string name;
    std::string nameSpace;
    std::vector<dds_entity_t> endpoints;
  };
  const Case refused[] = {
      {"", "", {}},
      {"trelvo/node", "", {}},
      {"9node", "", {}},
      {"trelvo node", "", {}},
      {tooLong, "", {}},
      {"trelvo_node", "robot-1", {}},
      {"trelvo_node", tooLong, {}},  // announced with its leading '/': 258 characters
      {"trelvo_node", "", {foreign.entity()}},
      {"trelvo_node", "", {command.topic()}},
      {"trelvo_node", "", {node.handle()}},
  };
  for (const auto& c : refused) {
    EXPECT_THROW(wire::RosGraph(node, c.name, c.nameSpace, RosDistro::Jazzy, c.endpoints),
                 std::invalid_argument)
        << c.name.substr(0, 20) << " in " << c.nameSpace.substr(0, 20);
  }
  EXPECT_NO_THROW(
      wire::RosGraph(node, longest, longest.substr(1), RosDistro::Jazzy, {command.entity()}));
}

}  // namespace
