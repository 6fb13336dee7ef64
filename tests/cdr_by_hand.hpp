#pragma once

// Little-endian plain CDR (XCDR1) written and read by hand, for test peers that lay out ROS 2
// payloads from the message definitions rather than from the node's generated types. Alignment
// counts from the start of the body, after the 4-byte encapsulation header.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cdr_by_hand {

using Bytes = std::vector<std::uint8_t>;

// Little-endian plain CDR, aligned from the start of the body.
class CdrWriter {
 public:
  CdrWriter& u8(std::uint8_t value) { return put(value, 1); }
  CdrWriter& u16(std::uint16_t value) { return put(value, 2); }
  CdrWriter& u32(std::uint32_t value) { return put(value, 4); }
  CdrWriter& i32(std::int32_t value) { return put(static_cast<std::uint32_t>(value), 4); }
  CdrWriter& f32(float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return put(bits, 4);
  }
  CdrWriter& f64(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return put(bits, 8);
  }
  CdrWriter& text(const std::string& value) {
    u32(static_cast<std::uint32_t>(value.size() + 1));
    bytes_.insert(bytes_.end(), value.begin(), value.end());
    bytes_.push_back(0);
    return *this;
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  // `size` bytes of `value`, least significant first, at a multiple of `size`.
  CdrWriter& put(std::uint64_t value, std::size_t size) {
    while (bytes_.size() % size != 0) {
      bytes_.push_back(0);
    }
    for (std::size_t i = 0; i < size; ++i) {
      bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    return *this;
  }
  Bytes bytes_;
};

class CdrReader {
 public:
  explicit CdrReader(Bytes bytes) : bytes_(std::move(bytes)) {}
  std::optional<std::uint8_t> u8() { return get<std::uint8_t>(); }
  std::optional<std::uint16_t> u16() { return get<std::uint16_t>(); }
  std::optional<std::uint32_t> u32() { return get<std::uint32_t>(); }
  std::optional<std::int32_t> i32() { return get<std::int32_t>(); }
  std::optional<float> f32() { return get<float>(); }
  std::optional<double> f64() { return get<double>(); }
  std::optional<std::string> text() {
    const auto length = u32();
    if (!length || *length == 0 || at_ + *length > bytes_.size()) {
      return std::nullopt;
    }
    std::string value(bytes_.begin() + at_, bytes_.begin() + at_ + *length - 1);
    at_ += *length;
    return value;
  }
  // Nothing left but the zeros that pad a serialized sample to a multiple of 4 bytes.
  bool atEnd() const {
    return bytes_.size() - at_ < 4 &&
           std::all_of(bytes_.begin() + at_, bytes_.end(), [](std::uint8_t b) { return b == 0; });
  }

 private:
  // A little-endian value at the next multiple of its size.
  template <typename Value>
  std::optional<Value> get() {
    at_ = (at_ + sizeof(Value) - 1) / sizeof(Value) * sizeof(Value);
    if (at_ + sizeof(Value) > bytes_.size()) {
      return std::nullopt;
    }
    std::uint64_t bits = 0;
    for (std::size_t i = sizeof(Value); i-- > 0;) {
      bits = (bits << 8) | bytes_[at_ + i];
    }
    at_ += sizeof(Value);
    Value value;
    if constexpr (sizeof(Value) == 8) {
      std::memcpy(&value, &bits, sizeof value);
    } else if constexpr (sizeof(Value) == 4) {
      const auto word = static_cast<std::uint32_t>(bits);
      std::memcpy(&value, &word, sizeof value);
    } else if constexpr (sizeof(Value) == 2) {
      const auto half = static_cast<std::uint16_t>(bits);
      std::memcpy(&value, &half, sizeof value);
    } else {
      const auto byte = static_cast<std::uint8_t>(bits);
      std::memcpy(&value, &byte, sizeof value);
    }
    return value;
  }

  Bytes bytes_;
  std::size_t at_ = 0;
};

}  // namespace cdr_by_hand
