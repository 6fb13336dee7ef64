#include "node/managed_bond.hpp"

#include <cstdint>
#include <random>

#include <fmt/format.h>

#include "wire/qos.hpp"
#include "wire/stamps.hpp"
#include "wire/topic_names.hpp"
#include "wire/user_data.hpp"

namespace node {
namespace {

// A random (version 4) UUID as text, as bondcpp names each of its bonds' sides.
std::string randomInstanceId() {
  std::random_device device;
  std::mt19937_64 random((static_cast<std::uint64_t>(device()) << 32) ^ device());
  const std::uint64_t high = (random() & ~std::uint64_t{0xF000}) | 0x4000;
  const std::uint64_t low = (random() & ~(std::uint64_t{0xC} << 60)) | (std::uint64_t{0x8} << 60);
  return fmt::format("{:08x}-{:04x}-{:04x}-{:04x}-{:012x}", high >> 32, (high >> 16) & 0xFFFF,
                     high & 0xFFFF, low >> 48, low & 0xFFFFFFFFFFFF);
}

std::string bondTopic(const NodeOptions& options) {
  return wire::ddsTopicName(options.nameSpace, options.topic("bond"));
}

}  // namespace

ManagedBond::ManagedBond(const wire::Participant& participant, const NodeOptions& options,
                         NodeLog& log, std::function<void()> stop)
    : stop_(std::move(stop)),
      watch_(options.nodeName,
             [&log](BondState state, const std::string& line) {
               if (state == BondState::Broken) {
                 log.warn("{}", line);
               } else {
                 log.info("{}", line);
               }
             }),
      writer_(
          participant, bondTopic(options),
          wire::rosEndpointQos<bond::msg::Status>(wire::bondWriterQos(), options.rosDistro).get()),
      reader_(
          participant, bondTopic(options),
          wire::rosEndpointQos<bond::msg::Status>(wire::bondReaderQos(), options.rosDistro).get()) {
}

bool ManagedBond::cycle(bool active, unsigned activations, Clock::time_point now) {
  if (active && (!active_ || activations != activations_)) {
    watch_.start(randomInstanceId(), now);
  } else if (!active && active_) {
    watch_.leave(now);
  }
  active_ = active;
  activations_ = activations;
  const bool held = watch_.holdsVehicle();
  for (const auto& status : reader_.take()) {
    watch_.receive(status, now);
  }
  publishDue(now);
  if (!held && watch_.holdsVehicle()) {
    stop_();
  }
  return !watch_.holdsVehicle();
}

void ManagedBond::close(Clock::time_point now) {
  watch_.leave(now);
  publishDue(now);
}

void ManagedBond::publishDue(Clock::time_point now) {
  if (auto status = watch_.due(now)) {
    status->header.stamp = wire::wallClockStamp();
    writer_.publish(*status);
  }
}

std::vector<dds_entity_t> ManagedBond::endpoints() const {
  return {writer_.entity(), reader_.entity()};
}

std::string ManagedBond::describe() const {
  return fmt::format(
      "publishes {topic} ({type}; {writer}) and subscribes {topic} ({type}; {reader})",
      fmt::arg("topic", wire::rosTopicName(writer_.topicName())),
      fmt::arg("type", wire::rosTypeName(writer_.typeName())),
      fmt::arg("writer", wire::qosText(wire::bondWriterQos().get())),
      fmt::arg("reader", wire::qosText(wire::bondReaderQos().get())));
}

}  // namespace node
