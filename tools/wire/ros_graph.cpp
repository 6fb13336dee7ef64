#include "wire/ros_graph.hpp"

#include <rmw_dds_common/msg/ParticipantEntitiesInfo.h>
#include <rmw_dds_common_humble/msg/ParticipantEntitiesInfo.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "wire/dds_error.hpp"
#include "wire/discovered_endpoint.hpp"
#include "wire/topic_names.hpp"
#include "wire/user_data.hpp"

namespace wire {
namespace {

constexpr const char* kTypeName = "rmw_dds_common::msg::dds_::ParticipantEntitiesInfo_";
// NodeEntitiesInfo bounds the node's name and namespace: string<=256.
constexpr std::size_t kLongestName = 256;

// Humble's type was generated under a package name of its own, so that its C names differ from
// Jazzy's; on the wire it carries the name both distributions give it.
dds_topic_descriptor_t humbleType() {
  dds_topic_descriptor_t type = rmw_dds_common_humble_msg_dds__ParticipantEntitiesInfo__desc;
  type.m_typename = kTypeName;
  return type;
}

struct NodeEndpoints {
  std::vector<Guid> readers;
  std::vector<Guid> writers;
};

Guid guidOf(dds_entity_t entity) {
  dds_guid_t guid{};
  checked(dds_get_guid(entity, &guid), "reading a GUID");
  Guid bytes{};
  static_assert(sizeof guid.v == bytes.size());
  std::memcpy(bytes.data(), guid.v, bytes.size());
  return bytes;
}

NodeEndpoints classified(dds_entity_t participant, const std::vector<dds_entity_t>& endpoints) {
  NodeEndpoints classes;
  for (const dds_entity_t endpoint : endpoints) {
    const bool ours = dds_get_participant(endpoint) == participant;
    if (ours && dds_get_publisher(endpoint) > 0) {
      classes.writers.push_back(guidOf(endpoint));
    } else if (ours && dds_get_subscriber(endpoint) > 0) {
      classes.readers.push_back(guidOf(endpoint));
    } else {
      throw std::invalid_argument("the DDS entity " + std::to_string(endpoint) +
                                  " is no reader or writer of the node's participant");
    }
  }
  return classes;
}

std::string checkedNodeName(std::string_view name) {
  // A node's name is a single token of a ROS name.
  if (name.empty() || name.find('/') != std::string_view::npos) {
    throw std::invalid_argument("not a valid ROS node name: '" + std::string(name) + "'");
  }
  ddsTopicName("", name);
  return std::string(name);
}

std::string bounded(std::string text, const char* what) {
  if (text.size() > kLongestName) {
    throw std::invalid_argument(std::string(what) + " longer than " + std::to_string(kLongestName) +
                                " characters: '" + text + "'");
  }
  return text;
}

template <typename Sequence, typename Item>
void lend(Sequence& sequence, std::vector<Item>& items) {
  sequence._maximum = static_cast<std::uint32_t>(items.size());
  sequence._length = sequence._maximum;
  sequence._buffer = items.data();
  sequence._release = false;
}

template <typename GidSample>
std::vector<GidSample> gidsOf(const std::vector<Guid>& guids) {
  std::vector<GidSample> gids(guids.size());
  for (std::size_t i = 0; i < guids.size(); ++i) {
    static_assert(sizeof gids[i].data >= sizeof(Guid), "a GID holds a GUID");
    std::memcpy(gids[i].data, guids[i].data(), guids[i].size());
  }
  return gids;
}

struct NodeRecord {
  std::string name;
  std::string nameSpace;
  NodeEndpoints endpoints;
};

// Writes what `participant` hosts: `node`, or no node when null. The GIDs are zero past the GUID.
template <typename Info, typename NodeInfo, typename GidSample>
dds_return_t write(dds_entity_t writer, const Guid& participant, const NodeRecord* node) {
  std::vector<GidSample> readers;
  std::vector<GidSample> writers;
  std::vector<NodeInfo> nodes;
  if (node != nullptr) {
    readers = gidsOf<GidSample>(node->endpoints.readers);
    writers = gidsOf<GidSample>(node->endpoints.writers);
    nodes.resize(1);
    NodeInfo& entry = nodes.front();
    std::copy(node->nameSpace.begin(), node->nameSpace.end(), entry.node_namespace);
    std::copy(node->name.begin(), node->name.end(), entry.node_name);
    lend(entry.reader_gid_seq, readers);
    lend(entry.writer_gid_seq, writers);
  }
  Info info{};
  info.gid = gidsOf<GidSample>({participant}).front();
  lend(info.node_entities_info_seq, nodes);
  return dds_write(writer, &info);
}

dds_return_t write(RosDistro distro, dds_entity_t writer, const Guid& participant,
                   const NodeRecord* node) {
  if (distro == RosDistro::Humble) {
    return write<rmw_dds_common_humble_msg_dds__ParticipantEntitiesInfo_,
                 rmw_dds_common_humble_msg_dds__NodeEntitiesInfo_,
                 rmw_dds_common_humble_msg_dds__Gid_>(writer, participant, node);
  }
  return write<rmw_dds_common_msg_dds__ParticipantEntitiesInfo_,
               rmw_dds_common_msg_dds__NodeEntitiesInfo_, rmw_dds_common_msg_dds__Gid_>(
      writer, participant, node);
}

}  // namespace

const dds_topic_descriptor_t& participantEntitiesInfoType(RosDistro distro) {
  static const dds_topic_descriptor_t humble = humbleType();
  return distro == RosDistro::Humble ? humble
                                     : rmw_dds_common_msg_dds__ParticipantEntitiesInfo__desc;
}

Qos rosDiscoveryQos(RosDistro distro) {
  Qos qos(dds_create_qos(), &dds_delete_qos);
  dds_qset_reliability(qos.get(), DDS_RELIABILITY_RELIABLE, DDS_INFINITY);
  dds_qset_history(qos.get(), DDS_HISTORY_KEEP_LAST, 1);
  dds_qset_durability(qos.get(), DDS_DURABILITY_TRANSIENT_LOCAL);
  // Cyclone keeps for late joiners what the durability service says, apart from the history.
  dds_qset_durability_service(qos.get(), 0, DDS_HISTORY_KEEP_LAST, 1, DDS_LENGTH_UNLIMITED,
                              DDS_LENGTH_UNLIMITED, DDS_LENGTH_UNLIMITED);
  dds_qset_writer_data_lifecycle(qos.get(), false);
  const dds_data_representation_id_t xcdr1 = DDS_DATA_REPRESENTATION_XCDR1;
  dds_qset_data_representation(qos.get(), 1, &xcdr1);
  return withUserData(std::move(qos), endpointUserData(kTypeName, distro));
}

RosGraph::RosGraph(const Participant& participant, std::string_view nodeName,
                   std::string_view nameSpace, RosDistro distro,
                   const std::vector<dds_entity_t>& endpoints)
    : distro_(distro),
      participantHandle_(participant.handle()),
      participant_(guidOf(participant.handle())),
      nodeName_(bounded(checkedNodeName(nodeName), "node name")),
      nameSpace_(bounded(rosNodeNamespace(nameSpace), "node namespace")),
      endpoints_(endpoints) {
  topic_ = checked(dds_create_topic(participant.handle(), &participantEntitiesInfoType(distro),
                                    kRosDiscoveryTopic, nullptr, nullptr),
                   "creating the topic ros_discovery_info");
  try {
    writer_ = checked(
        dds_create_writer(participant.handle(), topic_, rosDiscoveryQos(distro).get(), nullptr),
        "creating the writer of ros_discovery_info");
    publish();
  } catch (...) {
    dds_delete(writer_);
    dds_delete(topic_);
    throw;
  }
}

void RosGraph::addEndpoints(const std::vector<dds_entity_t>& endpoints) {
  endpoints_.insert(endpoints_.end(), endpoints.begin(), endpoints.end());
  publish();
}

void RosGraph::publish() {
  const NodeRecord node{nodeName_, nameSpace_, classified(participantHandle_, endpoints_)};
  checked(write(distro_, writer_, participant_, &node), "writing ros_discovery_info");
}

RosGraph::~RosGraph() {
  // As a ROS 2 node that goes while its process stays, so that the tools drop it at once.
  try {
    write(distro_, writer_, participant_, nullptr);
  } catch (const std::bad_alloc&) {
    // Gone with the participant, soon after.
  }
  dds_delete(writer_);
  dds_delete(topic_);
}

}  // namespace wire
