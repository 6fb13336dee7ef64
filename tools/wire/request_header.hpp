#pragma once

// The request header rmw_cyclonedds puts before each service request and reply it writes: the
// requesting client's id (the instance handle of its request writer, 8 bytes) and the request's
// sequence number (8 bytes), each in the payload's byte order, after the 4-byte encapsulation
// header and before the request or reply as plain CDR. The service answers with the header of the
// request; each client keeps only the replies that carry its own id.

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace wire {

struct RequestHeader {
  std::uint64_t client = 0;
  std::int64_t sequence = 0;
};

/// A request or reply taken apart: its header and the bytes of the request or reply after it,
/// aligned as a CDR stream of their own (the header is 16 bytes long, a multiple of CDR's largest
/// alignment).
struct FramedPayload {
  RequestHeader header;
  bool bigEndian = false;
  std::vector<std::uint8_t> body;
};

/// The encapsulation header and the request header together.
inline constexpr std::size_t kFramedHeaderSize = 4 + 16;

/// `bytes` taken apart, or why they cannot be (one line: too short, not plain CDR, larger than
/// `largest` bytes).
std::variant<FramedPayload, std::string> unframe(const std::vector<std::uint8_t>& bytes,
                                                 std::size_t largest);

/// A little-endian payload of `header` followed by `body`, itself little-endian plain CDR.
std::vector<std::uint8_t> frame(const RequestHeader& header, const std::vector<std::uint8_t>& body);

}  // namespace wire
