#pragma once

// A Fast DDS topic type whose samples are the payload's bytes as they travel, encapsulation header
// included (a std::vector<std::uint8_t>), under any DDS type name: for readers and writers that
// lay their samples out themselves (cdr_body.hpp), as Cyclone DDS's serialized topics do
// (serialized_topic.hpp). Keyless, and with no type object or type information, as rmw_fastrtps's
// types go on the wire.

#include <fastdds/dds/topic/TopicDataType.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace wire {

class FastRawType final : public eprosima::fastdds::dds::TopicDataType {
 public:
  using Sample = std::vector<std::uint8_t>;

  explicit FastRawType(const std::string& ddsTypeName);

  bool serialize(void* data, eprosima::fastrtps::rtps::SerializedPayload_t* payload) override;
  bool deserialize(eprosima::fastrtps::rtps::SerializedPayload_t* payload, void* data) override;
  std::function<std::uint32_t()> getSerializedSizeProvider(void* data) override;
  void* createData() override { return new Sample(); }
  void deleteData(void* data) override { delete static_cast<Sample*>(data); }
  bool getKey(void*, eprosima::fastrtps::rtps::InstanceHandle_t*, bool) override { return false; }
};

}  // namespace wire
