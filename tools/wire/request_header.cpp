#include "wire/request_header.hpp"

#include <fmt/format.h>

#include <utility>

#include "wire/plain_cdr.hpp"

namespace wire {
namespace {

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
  auto opened = openPlainCdr(bytes, largest);
  if (auto* fault = std::get_if<std::string>(&opened)) {
    return std::move(*fault);
  }
  auto& cdr = std::get<PlainCdr>(opened);
  constexpr std::size_t kHeaderSize = kFramedHeaderSize - kEncapsulationSize;
  if (cdr.body.size() < kHeaderSize) {
    return fmt::format("{} bytes, shorter than the request header", bytes.size());
  }
  FramedPayload payload;
  payload.bigEndian = cdr.bigEndian;
  payload.header.client = readUnsigned64(cdr.body.data(), payload.bigEndian);
  payload.header.sequence =
      static_cast<std::int64_t>(readUnsigned64(cdr.body.data() + 8, payload.bigEndian));
  payload.body.assign(cdr.body.begin() + kHeaderSize, cdr.body.end());
  return payload;
}

std::vector<std::uint8_t> frame(const RequestHeader& header,
                                const std::vector<std::uint8_t>& body) {
  std::vector<std::uint8_t> headed;
  headed.reserve(kFramedHeaderSize - kEncapsulationSize + body.size());
  appendUnsigned64(headed, header.client);
  appendUnsigned64(headed, static_cast<std::uint64_t>(header.sequence));
  headed.insert(headed.end(), body.begin(), body.end());
  return encapsulated(headed);
}

}  // namespace wire
