#pragma once

// A sample of an idlc type, zeroed, aligned for any of its fields. Zeroed byte by byte: a vector's
// value-initialised max_align_t elements leave their padding as the allocator found it, and a
// pointer field there would reach Cyclone as garbage.

#include <cstddef>
#include <cstring>
#include <vector>

namespace wire {

class SampleStorage {
 public:
  explicit SampleStorage(std::size_t size)
      : words_((size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t) + 1) {
    std::memset(words_.data(), 0, words_.size() * sizeof(std::max_align_t));
  }
  void* get() { return words_.data(); }

 private:
  std::vector<std::max_align_t> words_;
};

}  // namespace wire
