#include "wire/type_hash.hpp"

#include <stdexcept>
#include <string>

#include "ros_type_hashes.hpp"

namespace wire {

std::string_view rosTypeHash(std::string_view ddsType) {
  for (const auto& [type, hash] : generated::kTypeHashes) {
    if (type == ddsType) {
      return hash;
    }
  }
  throw std::invalid_argument("no type hash of the DDS type '" + std::string(ddsType) + "'");
}

}  // namespace wire
