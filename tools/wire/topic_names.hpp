#pragma once

// ROS 2 topic and type names as DDS names, the way rmw_cyclonedds maps them, and back.

#include <string>
#include <string_view>

namespace wire {

/// The DDS topic that carries the ROS topic `name` of a node in namespace `ns`. As in ROS 2, a
/// relative name ("cmd_vel") goes under the namespace and an absolute one ("/cmd_vel") does not;
/// the result carries the prefix "rt" of ROS topics: ("robot1", "cmd_vel") gives
/// "rt/robot1/cmd_vel", ("", "cmd_vel") and ("robot1", "/cmd_vel") give "rt/cmd_vel". The
/// namespace may be written with or without its leading and trailing '/'. Throws
/// std::invalid_argument for a name or namespace that is not a valid ROS name: tokens of letters,
/// digits and '_', none empty or starting with a digit.
std::string ddsTopicName(std::string_view ns, std::string_view name);

/// The DDS topics of the ROS service `name` of a node in `ns`, resolved as ddsTopicName resolves a
/// topic: requests on "rq/<service>Request", replies on "rr/<service>Reply", as rmw_cyclonedds
/// names them. ("robot1", "trelvo_node/get_state") gives "rq/robot1/trelvo_node/get_stateRequest"
/// and "rr/robot1/trelvo_node/get_stateReply".
std::string ddsRequestTopicName(std::string_view ns, std::string_view name);
std::string ddsReplyTopicName(std::string_view ns, std::string_view name);

/// The ROS service a DDS request topic carries: "rq/robot1/trelvo_node/get_stateRequest" gives
/// "/robot1/trelvo_node/get_state". Any other name comes back as it is.
std::string rosServiceName(std::string_view ddsRequestTopic);

/// The namespace of a node in `ns` as ROS 2 announces it: "/" for none, else with a leading '/' and
/// no trailing one ("robot1" and "/robot1/" give "/robot1"). Throws std::invalid_argument for a
/// namespace that is not a valid ROS name, as ddsTopicName does.
std::string rosNodeNamespace(std::string_view ns);

/// The ROS topic a DDS topic carries, as ROS 2 tools print it: "rt/robot1/cmd_vel" gives
/// "/robot1/cmd_vel". A DDS topic without the prefix "rt/" is no ROS topic and comes back as it is.
std::string rosTopicName(std::string_view ddsTopic);

/// The ROS 2 name of a DDS type: "geometry_msgs::msg::dds_::TwistStamped_" gives
/// "geometry_msgs/msg/TwistStamped". A name not of the form "<package>::<kind>::dds_::<Type>_"
/// comes back as it is.
std::string rosTypeName(std::string_view ddsType);

}  // namespace wire
