#pragma once

// The node's place in the ROS 2 graph. ROS 2 tools (ros2 node list, ros2 topic info) learn which
// node a reader or writer belongs to from the topic ros_discovery_info, where the middleware of
// each ROS 2 process publishes, for its participant, every node it hosts with the GIDs of the
// node's readers and writers. A GID is the endpoint's DDS GUID (16 bytes), padded with zeros to the
// GID size of the ROS 2 distribution: 24 bytes in Humble, 16 in Jazzy.
//
// The topic's writer is reliable and transient local, keeping the last sample, so that a tool
// that starts later still learns the node; under Jazzy it carries its type hash, as every
// endpoint does (user_data.hpp).

#include <dds/dds.h>

#include <string>
#include <string_view>
#include <vector>

#include "wire/discovered_endpoint.hpp"
#include "wire/participant.hpp"
#include "wire/qos.hpp"
#include "wire/ros_distro.hpp"

namespace wire {

/// The DDS topic of the ROS 2 graph; outside the "rt/" topics of ROS 2's own.
inline constexpr const char* kRosDiscoveryTopic = "ros_discovery_info";

/// The DDS type of ros_discovery_info under `distro`, named
/// "rmw_dds_common::msg::dds_::ParticipantEntitiesInfo_" under both: samples of
/// rmw_dds_common_msg_dds__ParticipantEntitiesInfo_ under Jazzy and of
/// rmw_dds_common_humble_msg_dds__ParticipantEntitiesInfo_ under Humble.
const dds_topic_descriptor_t& participantEntitiesInfoType(RosDistro distro);

/// The QoS of a writer of ros_discovery_info under `distro`, as rmw_cyclonedds gives it: reliable,
/// transient local, keep last 1, the type hash in USER_DATA under Jazzy.
Qos rosDiscoveryQos(RosDistro distro);

/// Announces one node on ros_discovery_info for as long as it lives, and its going (no node on the
/// participant) when destroyed.
class RosGraph {
 public:
  /// Publishes the node `nodeName` in the namespace `nameSpace` (as topic names take it: "",
  /// "robot1" or "/robot1/") with the readers and writers `endpoints`, each of them a reader or
  /// writer of `participant`. Throws std::invalid_argument for a name or namespace that is no valid
  /// ROS name or is longer than 256 characters, and for an entity that is no reader or writer of
  /// `participant`; std::runtime_error when DDS fails.
  RosGraph(const Participant& participant, std::string_view nodeName, std::string_view nameSpace,
           RosDistro distro, const std::vector<dds_entity_t>& endpoints);
  ~RosGraph();
  RosGraph(const RosGraph&) = delete;
  RosGraph& operator=(const RosGraph&) = delete;

  /// Adds the readers and writers `endpoints`, each of the participant given at construction, to
  /// the node's and publishes the node again: for endpoints made after the node was announced.
  /// Throws as the constructor does.
  void addEndpoints(const std::vector<dds_entity_t>& endpoints);

  /// The writer of ros_discovery_info, itself no endpoint of the node.
  dds_entity_t writer() const { return writer_; }

 private:
  void publish();

  RosDistro distro_;
  dds_entity_t participantHandle_;
  Guid participant_;
  std::string nodeName_;
  std::string nameSpace_;
  std::vector<dds_entity_t> endpoints_;
  dds_entity_t topic_ = 0;
  dds_entity_t writer_ = 0;
};

}  // namespace wire
