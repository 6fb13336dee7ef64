#include "wire/plain_cdr.hpp"

#include <fmt/format.h>

#include <algorithm>

namespace wire {
namespace {

constexpr std::uint8_t kCdrBigEndian = 0x00;
constexpr std::uint8_t kCdrLittleEndian = 0x01;

}  // namespace

std::variant<PlainCdr, std::string> openPlainCdr(const std::vector<std::uint8_t>& bytes,
                                                 std::size_t largest) {
  if (bytes.size() > largest) {
    return fmt::format("{} bytes, more than the {} this service takes", bytes.size(), largest);
  }
  if (bytes.size() < kEncapsulationSize) {
    return fmt::format("{} bytes, shorter than an encapsulation header", bytes.size());
  }
  if (bytes[0] != 0 || (bytes[1] != kCdrBigEndian && bytes[1] != kCdrLittleEndian)) {
    return fmt::format("encapsulation {:02x}{:02x}, not plain CDR", bytes[0], bytes[1]);
  }
  return PlainCdr{bytes[1] == kCdrBigEndian,
                  std::vector<std::uint8_t>(bytes.begin() + kEncapsulationSize, bytes.end())};
}

std::vector<std::uint8_t> encapsulated(const std::vector<std::uint8_t>& body) {
  std::vector<std::uint8_t> bytes(kEncapsulationSize + body.size(), 0);
  bytes[1] = kCdrLittleEndian;
  std::copy(body.begin(), body.end(), bytes.begin() + kEncapsulationSize);
  return bytes;
}

}  // namespace wire
