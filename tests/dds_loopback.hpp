#pragma once

// DDS tests stay on this machine: Cyclone DDS sends to localhost only, without multicast, and each
// test runs on a domain that nothing else on the machine uses (freeDomain).

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>
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

// RTPS gives domain d the UDP ports from 7400 + 250 d on, 250 of them; 232 is the last domain
// whose ports all fit below 65536.
inline constexpr int kPortBase = 7400;
inline constexpr int kPortsPerDomain = 250;
inline constexpr int kLastDomain = 232;

// Whether any UDP socket on the machine is bound to one of `domain`'s ports.
inline bool domainPortsBound(int domain) {
  const int first = kPortBase + kPortsPerDomain * domain;
  for (const char* table : {"/proc/net/udp", "/proc/net/udp6"}) {
    std::ifstream lines(table);
    std::string line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line)) {
      // "  sl: local_address:PORT rem_address ...", the port in hexadecimal
      const auto colon = line.find(':', line.find(':') + 1);
      if (colon == std::string::npos) {
        continue;
      }
      const int port = std::stoi(line.substr(colon + 1, 4), nullptr, 16);
      if (port >= first && port < first + kPortsPerDomain) {
        return true;
      }
    }
  }
  return false;
}

// A DDS domain (1 to 232) for this test alone: no socket on the machine is bound to its ports, and
// no other process of any test run on the machine holds it. The claim is a lock on a file in
// /tmp/trelvo-dds-domains, held until this process exits; each call claims another domain. Robots
// and ROS 2 programs on the machine are skipped by their bound ports.
inline int freeDomain() {
  static const char* const kFolder = "/tmp/trelvo-dds-domains";
  mkdir(kFolder, 01777);
  std::random_device seed;
  const int start = static_cast<int>(seed() % kLastDomain);
  for (int i = 0; i < kLastDomain; ++i) {
    const int domain = 1 + (start + i) % kLastDomain;
    const std::string path = std::string(kFolder) + "/" + std::to_string(domain);
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      continue;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && !domainPortsBound(domain)) {
      return domain;  // the descriptor stays open: the claim lasts as long as the process
    }
    close(fd);
  }
  throw std::runtime_error("no free DDS domain on this machine");
}

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
