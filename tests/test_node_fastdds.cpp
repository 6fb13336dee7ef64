// trelvo-node beside ROS 2 programs on Fast DDS, ROS 2's default middleware: the planner and the
// vehicle are fastdds_peer (Fast DDS, ROS 2's messages as rmw_fastrtps lays them out, ROS 2's
// QoS), the node is the program itself on Cyclone DDS. Both run as child processes, on loopback
// only: Cyclone DDS with dds_loopback.hpp's settings, Fast DDS with fastdds_loopback.xml (UDP on
// 127.0.0.1, no shared memory, no multicast).

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "background_process.hpp"
#include "dds_loopback.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const int kDomain = dds_loopback::freeDomain();

std::vector<std::string> nodeEnvironment() {
  return {"PATH=/usr/bin:/bin",
          std::string("CYCLONEDDS_URI=") + dds_loopback::kConfig,
          "ROS_DOMAIN_ID=" + std::to_string(kDomain),
          "SPDLOG_STDOUT=true",
          "SPDLOG_SYSTEMD=false",
          "SPDLOG_LEVEL=info"};
}

std::vector<std::string> peerEnvironment() {
  return {"PATH=/usr/bin:/bin",
          std::string("FASTRTPS_DEFAULT_PROFILES_FILE=") + FASTDDS_LOOPBACK_PROFILE,
          // Read only where the peer is built with AddressSanitizer. Debian's Fast DDS 2.9 (built
          // with its statistics module) deletes each reader's 64-byte statistics part as a 56-byte
          // object inside libfastrtps, a new-delete-type-mismatch of its own; that one check is
          // off for the peer, every other check stays on.
          "ASAN_OPTIONS=new_delete_type_mismatch=0"};
}

std::string logFolder() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string folder = std::string("node-fastdds-") + test->name();
  std::system(("mkdir -p " + folder).c_str());
  return folder;
}

// The rest of the first line of `text` that starts with `prefix`.
std::optional<std::string> lineAfter(const std::string& text, const std::string& prefix) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    if (text.compare(start, prefix.size(), prefix) == 0) {
      return text.substr(start + prefix.size(), end - start - prefix.size());
    }
    start = end + 1;
  }
  return std::nullopt;
}

long long nanosecondsIn(const std::optional<std::string>& rest) {
  long long value = -1;
  return rest && std::sscanf(rest->c_str(), "%lld ns", &value) == 1 ? value : -1;
}

long long nanoseconds(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

TEST(NodeOnFastdds, DrivesTheLRouteOfAFastddsPlannerAndStopsItsVehicleOnSigterm) {
  const std::string folder = logFolder();
  BackgroundProcess node({TRELVO_NODE_PROGRAM}, nodeEnvironment(), folder + "/trelvo-node.log");
  // The L: 0.6 m along x, a quarter turn left, 0.4 m along y, ending facing +y.
  BackgroundProcess peer({FASTDDS_PEER_PROGRAM, std::to_string(kDomain), "45", "0", "0", "0", "0.6",
                          "0", "0", "0.6", "0.4", "90"},
                         peerEnvironment(), folder + "/fastdds_peer.log");

  // The peer reports its arrival, then sends a path on and reports the node driving it.
  const bool drivingOn = dds_loopback::eventually(
      [&] {
        return peer.output().find("moving on at") != std::string::npos || !peer.running() ||
               !node.running();
      },
      40s);
  ASSERT_TRUE(drivingOn && node.running() && peer.running()) << node.output() << peer.output();
  std::this_thread::sleep_for(300ms);
  const auto stopped = Clock::now();
  node.signal(SIGTERM);
  const auto nodeStatus = node.exitWithin(5s);
  ASSERT_TRUE(nodeStatus) << node.output();
  EXPECT_TRUE(WIFEXITED(*nodeStatus) && WEXITSTATUS(*nodeStatus) == 0) << node.output();
  std::this_thread::sleep_for(300ms);
  peer.signal(SIGTERM);
  const auto peerStatus = peer.exitWithin(5s);
  ASSERT_TRUE(peerStatus) << peer.output();
  EXPECT_TRUE(WIFEXITED(*peerStatus) && WEXITSTATUS(*peerStatus) == 0) << peer.output();

  const std::string seen = peer.output();
  double secondsToGoal = 0;
  double positionError = 1;
  double headingError = 180;
  const auto arrival = lineAfter(seen, "arrived after ");
  ASSERT_TRUE(arrival) << seen;
  ASSERT_EQ(std::sscanf(arrival->c_str(), "%lf s: position error %lf m, heading error %lf deg",
                        &secondsToGoal, &positionError, &headingError),
            3)
      << seen;
  EXPECT_LE(positionError, 0.05) << seen;
  EXPECT_LE(headingError, 5.0) << seen;

  // Driving when it was stopped; the node's last word a zero that came after the signal.
  EXPECT_LT(nanosecondsIn(lineAfter(seen, "moving on at ")), nanoseconds(stopped)) << seen;
  const long long zeroAt = nanosecondsIn(lineAfter(seen, "first zero after it at "));
  EXPECT_GT(zeroAt, nanoseconds(stopped)) << seen;
  EXPECT_LT(zeroAt, nanoseconds(stopped + 1s)) << seen;
  double lastSpeed = 1;
  double lastTurn = 1;
  const auto last = lineAfter(seen, "last command ");
  ASSERT_TRUE(last && std::sscanf(last->c_str(), "%lf %lf", &lastSpeed, &lastTurn) == 2) << seen;
  EXPECT_EQ(lastSpeed, 0.0) << seen;
  EXPECT_EQ(lastTurn, 0.0) << seen;

  const std::string log = node.output();
  EXPECT_NE(log.find("new route of 2 legs"), std::string::npos) << log;
  EXPECT_NE(log.find("route finished"), std::string::npos) << log;
  RecordProperty("seconds_to_goal", std::to_string(secondsToGoal));
  RecordProperty("position_error_m", std::to_string(positionError));
  RecordProperty("heading_error_deg", std::to_string(headingError));
  RecordProperty("zero_after_sigterm_ms", std::to_string((zeroAt - nanoseconds(stopped)) / 1e6));
}

}  // namespace
