#pragma once

// ROS 2's type hashes: since Iron each message type has a hash of its definition ("RIHS01_" and 64
// hex digits of a SHA-256), by which ROS 2 tells two versions of a type apart. The hashes of the
// types the wire carries are computed from msg/ when building (type_hashes.py).

#include <string_view>

namespace wire {

/// The type hash of the message type named `ddsType` in DDS: "std_msgs::msg::dds_::String_" gives
/// "RIHS01_df668c740482bbd48fb39d76a70dfd4bd59db1288021743503259e948f6b1a18". Throws
/// std::invalid_argument for a type that is not among those in msg/.
std::string_view rosTypeHash(std::string_view ddsType);

}  // namespace wire
