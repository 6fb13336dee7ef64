#pragma once

// Exit statuses of trelvo-node.

namespace node {

// Stopped by SIGINT or SIGTERM, the stop command acknowledged by every matched command reader.
inline constexpr int kExitSuccess = 0;
// The stop command was not acknowledged by every matched command reader on shutdown.
inline constexpr int kExitStopNotAcknowledged = 1;
// Bad command line (or ROS_DOMAIN_ID); one line on standard error.
inline constexpr int kExitBadInput = 2;
// Failure at run time, such as DDS failing.
inline constexpr int kExitFailure = 3;

}  // namespace node
