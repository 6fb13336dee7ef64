#pragma once

// Time stamps of the messages a program publishes: the wall clock, as ROS 2 stamps them.

#include <builtin_interfaces/msg/time.hpp>

namespace wire {

/// Now, by the system's wall clock, as seconds and nanoseconds since the epoch.
builtin_interfaces::msg::Time wallClockStamp();

}  // namespace wire
