#pragma once

// Cyclone DDS reports failures as negative return codes; the wire turns them into exceptions.

#include <dds/dds.h>

#include <stdexcept>
#include <string>

namespace wire {

/// `result` when it is not an error (an entity handle, a count), else throws naming `what`.
inline dds_return_t checked(dds_return_t result, const char* what) {
  if (result < 0) {
    throw std::runtime_error(std::string("DDS: ") + what + " failed: " + dds_strretcode(result));
  }
  return result;
}

}  // namespace wire
