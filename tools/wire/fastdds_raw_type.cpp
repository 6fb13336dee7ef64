#include "wire/fastdds_raw_type.hpp"

#include <algorithm>

namespace wire {
namespace {

// The first guess of a payload's size; payloads grow as needed (PREALLOCATED_WITH_REALLOC).
constexpr std::uint32_t kInitialPayloadSize = 512;
// The byte of the encapsulation header that tells the byte order of plain CDR.
constexpr std::uint8_t kLittleEndianMark = 0x01;

}  // namespace

FastRawType::FastRawType(const std::string& ddsTypeName) {
  setName(ddsTypeName.c_str());
  m_typeSize = kInitialPayloadSize;
  m_isGetKeyDefined = false;
  auto_fill_type_object(false);
  auto_fill_type_information(false);
}

bool FastRawType::serialize(void* data, eprosima::fastrtps::rtps::SerializedPayload_t* payload) {
  const auto& bytes = *static_cast<const Sample*>(data);
  if (bytes.size() < 2 || bytes.size() > payload->max_size) {
    return false;
  }
  std::copy(bytes.begin(), bytes.end(), payload->data);
  payload->length = static_cast<std::uint32_t>(bytes.size());
  payload->encapsulation = bytes[1] == kLittleEndianMark ? CDR_LE : CDR_BE;
  return true;
}

bool FastRawType::deserialize(eprosima::fastrtps::rtps::SerializedPayload_t* payload, void* data) {
  static_cast<Sample*>(data)->assign(payload->data, payload->data + payload->length);
  return true;
}

std::function<std::uint32_t()> FastRawType::getSerializedSizeProvider(void* data) {
  return [data] { return static_cast<std::uint32_t>(static_cast<const Sample*>(data)->size()); };
}

}  // namespace wire
