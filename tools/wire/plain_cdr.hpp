#pragma once

// A payload of plain CDR (XCDR1) as DDS carries it: a 4-byte encapsulation header (0x0000 big-,
// 0x0001 little-endian, two option bytes), then the sample. Fast DDS hands a service's request
// over as such a payload; rmw_cyclonedds puts its request header between the two
// (request_header.hpp).

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace wire {

inline constexpr std::size_t kEncapsulationSize = 4;

/// The bytes after the encapsulation header and their byte order.
struct PlainCdr {
  bool bigEndian = false;
  std::vector<std::uint8_t> body;
};

/// `bytes` taken apart, or why they cannot be (one line: larger than `largest` bytes, too short,
/// not plain CDR).
std::variant<PlainCdr, std::string> openPlainCdr(const std::vector<std::uint8_t>& bytes,
                                                 std::size_t largest);

/// `body`, little-endian plain CDR, behind its encapsulation header.
std::vector<std::uint8_t> encapsulated(const std::vector<std::uint8_t>& body);

}  // namespace wire
