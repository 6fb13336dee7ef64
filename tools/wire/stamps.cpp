#include "wire/stamps.hpp"

#include <chrono>
#include <cstdint>

namespace wire {

builtin_interfaces::msg::Time wallClockStamp() {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
  builtin_interfaces::msg::Time stamp;
  stamp.sec = static_cast<std::int32_t>(seconds.count());
  stamp.nanosec = static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch - seconds).count());
  return stamp;
}

}  // namespace wire
