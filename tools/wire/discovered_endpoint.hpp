#pragma once

// An endpoint of the DDS domain as discovery reports it: plain data, no DDS, so that the node's
// watches take it as it is and are tested without a network.

#include <array>
#include <cstdint>
#include <string>

namespace wire {

/// A DDS GUID: 12 bytes of its participant's prefix, then 4 naming the entity inside it.
using Guid = std::array<std::uint8_t, 16>;

/// The GUID as 32 lower-case hex digits, as DDS tools print it.
inline std::string guidText(const Guid& guid) {
  constexpr const char* kDigits = "0123456789abcdef";
  std::string text;
  for (const auto byte : guid) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xf];
  }
  return text;
}

struct DiscoveredEndpoint {
  enum class Kind { Reader, Writer };

  Kind kind = Kind::Reader;
  std::string topic;  // DDS topic name: "rt/cmd_vel"
  std::string type;   // DDS type name: "geometry_msgs::msg::dds_::Twist_"
  Guid endpoint{};
  Guid participant{};
  /// Whether the endpoint belongs to the participant that discovered it.
  bool ours = false;
};

}  // namespace wire
