// trelvo-node --lifecycle with RMW_IMPLEMENTATION=rmw_fastrtps_cpp, driven as a lifecycle manager
// on rmw_fastrtps drives it: a client written from rmw_fastrtps's behaviour
// (fastdds_service_client.hpp) configures and activates it and asks its state, over Fast DDS; a
// request that cannot be read is dropped without harm. Loopback only: Cyclone DDS with
// dds_loopback.hpp's settings, Fast DDS with fastdds_loopback.xml, a DDS domain of its own.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "background_process.hpp"
#include "cyclone_service_client.hpp"
#include "dds_loopback.hpp"
#include "fastdds_service_client.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using cyclone_service_client::CdrReader;
using cyclone_service_client::CdrWriter;
using fastdds_service_client::ServiceClient;

const int kDomain = dds_loopback::freeDomain();

std::vector<std::string> environment(const std::string& rmw) {
  return {"PATH=/usr/bin:/bin", std::string("CYCLONEDDS_URI=") + dds_loopback::kConfig,
          std::string("FASTRTPS_DEFAULT_PROFILES_FILE=") + FASTDDS_LOOPBACK_PROFILE,
          "RMW_IMPLEMENTATION=" + rmw, "ROS_DOMAIN_ID=" + std::to_string(kDomain),
          "SPDLOG_STDOUT=true", "SPDLOG_SYSTEMD=false", "SPDLOG_LEVEL=info",
          // Debian's Fast DDS 2.9 trips this one check under AddressSanitizer itself (see
          // test_node_fastdds.cpp); every other check stays on.
          "ASAN_OPTIONS=new_delete_type_mismatch=0"};
}

using Milliseconds = std::chrono::duration<double, std::milli>;

TEST(NodeFastddsServices, ConfiguredActivatedAndAskedByAnRmwFastrtpsClient) {
  setenv("FASTRTPS_DEFAULT_PROFILES_FILE", FASTDDS_LOOPBACK_PROFILE, 1);
  fastdds_service_client::Participant participant(kDomain);
  ServiceClient changeState(participant, "trelvo_node/change_state",
                            "lifecycle_msgs::srv::dds_::ChangeState");
  ServiceClient getState(participant, "trelvo_node/get_state",
                         "lifecycle_msgs::srv::dds_::GetState");
  BackgroundProcess node({TRELVO_NODE_PROGRAM, "--lifecycle"}, environment("rmw_fastrtps_cpp"),
                         "fastdds_services_node.log");
  ASSERT_TRUE(dds_loopback::eventually(
      [&] { return changeState.serviceAvailable() && getState.serviceAvailable(); }, 10s))
      << node.output();

  std::vector<double> replyMs;
  const auto change = [&](std::uint8_t id) -> std::optional<bool> {
    const auto asked = Clock::now();
    const auto reply = changeState.call(CdrWriter().u8(id).text("").bytes());
    if (!reply) {
      return std::nullopt;
    }
    replyMs.push_back(Milliseconds(Clock::now() - asked).count());
    return CdrReader(*reply).u8() == std::uint8_t{1};
  };
  const auto state = [&]() -> std::optional<std::pair<int, std::string>> {
    const auto asked = Clock::now();
    const auto reply = getState.call(CdrWriter().u8(0).bytes());
    if (!reply) {
      return std::nullopt;
    }
    replyMs.push_back(Milliseconds(Clock::now() - asked).count());
    CdrReader read(*reply);
    const auto id = read.u8();
    const auto label = read.text();
    if (!id || !label) {
      return std::nullopt;
    }
    return std::pair<int, std::string>{*id, *label};
  };

  using State = std::pair<int, std::string>;
  EXPECT_EQ(state(), State(1, "unconfigured"));
  // A request that cannot be read (a label longer than the bytes sent) is dropped and logged; the
  // node answers the next one.
  changeState.sendRaw({0, 1, 0, 0, 1, 0, 0, 0, 0xff, 0xff, 0, 0, 'x'});
  EXPECT_EQ(change(1), true);  // configure
  EXPECT_EQ(state(), State(2, "inactive"));
  EXPECT_EQ(change(3), true);  // activate
  EXPECT_EQ(state(), State(3, "active"));
  EXPECT_TRUE(node.running());
  EXPECT_TRUE(dds_loopback::eventually([&] {
    return node.output().find("dropped a request that cannot be read") != std::string::npos;
  })) << node.output();
  EXPECT_NE(node.output().find("its services on Fast DDS: serves"), std::string::npos)
      << node.output();

  ASSERT_EQ(replyMs.size(), 5u);
  std::string times;
  for (const double ms : replyMs) {
    times += std::to_string(ms) + " ";
  }
  RecordProperty("reply_ms", times);
  node.signal(SIGTERM);
  const auto status = node.exitWithin(5s);
  ASSERT_TRUE(status) << node.output();
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << node.output();
}

TEST(NodeFastddsServices, AnotherMiddlewareIsRefusedAtStartNamingTheServedOnes) {
  BackgroundProcess node({TRELVO_NODE_PROGRAM, "--lifecycle"}, environment("rmw_connextdds"),
                         "fastdds_services_refused.log");
  const auto status = node.exitWithin(5s);
  ASSERT_TRUE(status) << node.output();
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 2) << node.output();
  EXPECT_NE(node.output().find("RMW_IMPLEMENTATION"), std::string::npos) << node.output();
  EXPECT_NE(node.output().find("rmw_fastrtps_cpp"), std::string::npos) << node.output();
}

}  // namespace
