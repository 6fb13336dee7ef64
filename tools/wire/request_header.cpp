#include "wire/request_header.hpp"

#include <fmt/format.h>

namespace wire {
namespace {

// The encapsulation identifiers of plain CDR (XCDR1), big- and little-endian.
constexpr std::uint8_t kCdrBigEndian = 0x00;
constexpr std::uint8_t kCdrLittleEndian = 0x01;

std::uint64_t readUnsigned64(const std::uint8_t* bytes, bool bigEndian) {
  std::uint64_t value = 0;
  for (int i = 0; i < 8; ++i) {
    const int from = bigEndian ? i : 7 - i;
    value = (value << 8) | bytes[from];
  }
  return value;
}

void appendUnsigned64(std::vector<std::uint8_t>& bytes, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) {
    bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

}  // namespace

std::variant<FramedPayload, std::string> unframe(const std::vector<std::uint8_t>& bytes,
                                                 std::size_t largest) {
  if (bytes.size() > largest) {
    return fmt::format("{} bytes, more than the {} this service takes", bytes.size(), largest);
  }
  if (bytes.size() < 4) {
    return fmt::format("{} bytes, shorter than an encapsulation header", bytes.size());
  }
  if (bytes[0] != 0 || (bytes[1] != kCdrBigEndian && bytes[1] != kCdrLittleEndian)) {
    return fmt::format("encapsulation {:02x}{:02x}, not plain CDR", bytes[0], bytes[1]);
  }
  if (bytes.size() < kFramedHeaderSize) {
    return fmt::format("{} bytes, shorter than the request header", bytes.size());
  }
  FramedPayload payload;
  payload.bigEndian = bytes[1] == kCdrBigEndian;
  payload.header.client = readUnsigned64(bytes.data() + 4, payload.bigEndian);
  payload.header.sequence =
      static_cast<std::int64_t>(readUnsigned64(bytes.data() + 12, payload.bigEndian));
  payload.body.assign(bytes.begin() + kFramedHeaderSize, bytes.end());
  return payload;
}

std::vector<std::uint8_t> frame(const RequestHeader& header,
                                const std::vector<std::uint8_t>& body) {
  std::vector<std::uint8_t> bytes{0, kCdrLittleEndian, 0, 0};
  bytes.reserve(kFramedHeaderSize + body.size());
  appendUnsigned64(bytes, header.client);
  appendUnsigned64(bytes, static_cast<std::uint64_t>(header.sequence));
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

}  // namespace wire
