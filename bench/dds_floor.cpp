// trelvo-dds-floor: what any controller on this DDS network pays before it controls anything.
// It does only trelvo-node's own traffic with a vehicle, on the node's topics and QoS: at the
// node's default 20 Hz it takes the odometry that arrived and publishes a zero Twist on cmd_vel.
// Its CPU share beside the node's tells the node's own cost apart from the middleware's and the
// machine's; the benchmarks run both side by side, each against a simulated vehicle of its own.
//
//   trelvo-dds-floor [NAMESPACE]   the topics under /NAMESPACE/, as trelvo-node --namespace; runs
//                                  until SIGINT or SIGTERM, then prints one line and exits 0, or 1
//                                  when its commands reached no reader (a floor measured without
//                                  its traffic would be no floor):
//   dds floor: 540 cycles, 1350 odometry messages, commands acknowledged by 1 reader; CPU 0.269 s
//   in 27.0 s: 1.00 % of a core

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>

#include "common/real_time.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"
#include "wire/topic_names.hpp"
#include "wire/user_data.hpp"

namespace {

constexpr std::chrono::milliseconds kPeriod{50};  // trelvo-node's default rate
constexpr std::chrono::milliseconds kLastAcknowledgement{500};

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string nameSpace = argc > 1 ? argv[1] : "";
    const auto& stop = common::stopOnSignals();
    wire::Participant participant(wire::domainFromEnvironment(), wire::rosParticipantQos().get());
    wire::Subscription<nav_msgs::msg::Odometry> odometry(
        participant, wire::ddsTopicName(nameSpace, "odom"), wire::poseSourceQos().get());
    wire::Publisher<geometry_msgs::msg::Twist> command(
        participant, wire::ddsTopicName(nameSpace, "cmd_vel"), wire::commandQos().get());
    const auto started = std::chrono::steady_clock::now();
    const double cpuStarted = common::processCpuSeconds();
    long cycles = 0;
    long messages = 0;
    std::uint32_t readers = 0;  // the most readers of the command seen matched
    auto deadline = started;
    while (!stop) {
      messages += static_cast<long>(odometry.take().size());
      command.publish(geometry_msgs::msg::Twist());
      readers = std::max(readers, command.matchedSubscriptions());
      ++cycles;
      deadline += kPeriod;
      common::sleepUntil(deadline);
    }
    const double cpu = common::processCpuSeconds() - cpuStarted;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // A reader still matched must have acknowledged the last command; one gone since counts for
    // the commands it took while matched.
    const bool acknowledged = command.waitForAcknowledgement(kLastAcknowledgement);
    std::printf(
        "dds floor: %ld cycles, %ld odometry messages, commands acknowledged by %u reader%s; CPU "
        "%.3f s in %.1f s: %.2f %% of a core\n",
        cycles, messages, readers, readers == 1 ? "" : "s", cpu, wall, 100.0 * cpu / wall);
    if (readers == 0 || !acknowledged) {
      std::fprintf(
          stderr, "trelvo-dds-floor: %s\n",
          readers == 0 ? "no reader took the commands" : "the last command was not acknowledged");
      return 1;
    }
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "trelvo-dds-floor: %s\n", error.what());
    return 1;
  }
}
