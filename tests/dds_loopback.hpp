#pragma once

// DDS tests stay on this machine: Cyclone DDS sends to localhost only, without multicast, and each
// test runs on a domain of its own.

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace dds_loopback {

// Unicast discovery to localhost; participant indices are given out automatically, for up to 32
// participants on the machine.
inline constexpr const char* kConfig =
    "<CycloneDDS><Domain id=\"any\"><General><Interfaces><NetworkInterface name=\"lo\"/>"
    "</Interfaces><AllowMulticast>false</AllowMulticast></General><Discovery>"
    "<ParticipantIndex>auto</ParticipantIndex><MaxAutoParticipantIndex>32"
    "</MaxAutoParticipantIndex><Peers><Peer address=\"localhost\"/></Peers></Discovery>"
    "</Domain></CycloneDDS>";

// Call before the first participant of the process is created.
inline void useLoopbackOnly() {
  setenv("CYCLONEDDS_URI", kConfig, 1);
}

// The environment of a program the test starts (trelvo-node, trelvo-sim) on `domain`: loopback
// only, its log on the console at level info.
inline std::vector<std::string> childEnvironment(int domain) {
  return {"PATH=/usr/bin:/bin",
          std::string("CYCLONEDDS_URI=") + kConfig,
          "ROS_DOMAIN_ID=" + std::to_string(domain),
          "SPDLOG_STDOUT=true",
          "SPDLOG_SYSTEMD=false",
          "SPDLOG_LEVEL=info"};
}

// Polls `condition` until it holds or `limit` has passed; returns whether it held.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace dds_loopback
