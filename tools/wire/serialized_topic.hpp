#pragma once

// A DDS topic whose samples are the bytes of their serialized form, encapsulation header first, for
// payloads laid out by hand: rmw_cyclonedds puts a request header before a service's request and
// reply, which no IDL type describes. A reader of such a topic also hands over what Cyclone's own
// types would refuse (truncated or garbled payloads), so that the reader can tell what it dropped.
//
// Samples are written with dds_write from a std::vector<std::uint8_t> and taken with
// takeSerialized; they are never loaned.

#include <dds/dds.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wire {

/// A keyless topic `topicName` of `participant` whose DDS type is named `typeName`
/// ("lifecycle_msgs::srv::dds_::GetState_Request_") and whose samples are their bytes, plain CDR
/// (XCDR1) as ROS 2 sends. Throws std::runtime_error when DDS fails.
dds_entity_t createSerializedTopic(dds_entity_t participant, const std::string& topicName,
                                   const std::string& typeName);

struct SerializedSample {
  std::vector<std::uint8_t> bytes;
  dds_instance_handle_t writer = 0;  // the publication handle of the writer that sent it
};

/// The oldest sample waiting at `reader` (of a topic from createSerializedTopic); none when none
/// waits.
std::optional<SerializedSample> takeSerialized(dds_entity_t reader);

}  // namespace wire
