#include "wire/cdr_body.hpp"

#include <dds/ddsi/ddsi_cdrstream.h>

#include <cstring>

namespace wire {
namespace {

constexpr uint32_t kXcdr1 = 1;
// Writers pad a payload to whole 4-byte units.
constexpr uint32_t kLargestPadding = 3;

}  // namespace

bool readSample(const dds_topic_descriptor_t& type, std::vector<std::uint8_t> body, bool bigEndian,
                void* sample) {
  // Every ROS 2 type has at least one byte (an empty one carries a placeholder member).
  if (body.empty()) {
    return false;
  }
  uint32_t end = 0;
  const auto size = static_cast<uint32_t>(body.size());
  // Checks every length against the bytes there are, and brings the bytes to this host's order.
  if (dds_stream_normalize_data(reinterpret_cast<char*>(body.data()), &end, size,
                                bigEndian != (DDSRT_ENDIAN == DDSRT_BIG_ENDIAN), kXcdr1,
                                type.m_ops) == nullptr ||
      size - end > kLargestPadding) {
    return false;
  }
  dds_istream_t stream;
  dds_istream_init(&stream, size, body.data(), kXcdr1);
  dds_stream_read(&stream, static_cast<char*>(sample), type.m_ops);
  dds_istream_fini(&stream);
  return true;
}

void releaseSample(const dds_topic_descriptor_t& type, void* sample) {
  dds_stream_free_sample(sample, type.m_ops);
  std::memset(sample, 0, type.m_size);
}

std::vector<std::uint8_t> writeSample(const dds_topic_descriptor_t& type, const void* sample) {
  dds_ostreamLE_t stream;
  dds_ostreamLE_init(&stream, 0, kXcdr1);
  dds_stream_writeLE(&stream, static_cast<const char*>(sample), type.m_ops);
  std::vector<std::uint8_t> bytes(stream.x.m_buffer, stream.x.m_buffer + stream.x.m_index);
  dds_ostreamLE_fini(&stream);
  return bytes;
}

}  // namespace wire
