#pragma once

// Strings between DDS samples (C strings, null where a sample holds none) and ROS 2 messages.

#include <string>

namespace wire {

inline std::string toString(const char* text) {
  return text != nullptr ? std::string(text) : std::string();
}

/// The message's own characters, for a sample that is written while the message lives unchanged:
/// DDS samples point at strings they do not change, but the C type has no const.
inline char* borrowed(const std::string& text) {
  return const_cast<char*>(text.c_str());
}

}  // namespace wire
