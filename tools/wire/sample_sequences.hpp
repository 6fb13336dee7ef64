#pragma once

// Sequences of DDS samples (idlc's dds_sequence_* structs) lent from a vector, for a sample that is
// written while the vector lives unchanged.

#include <cstdint>
#include <vector>

namespace wire {

/// `Sequence` over `elements`, which it does not own.
template <typename Sequence, typename Element>
Sequence lent(std::vector<Element>& elements) {
  Sequence sequence{};
  sequence._maximum = sequence._length = static_cast<std::uint32_t>(elements.size());
  sequence._buffer = elements.data();
  sequence._release = false;
  return sequence;
}

}  // namespace wire
