#pragma once

// The bytes Cyclone DDS puts on the network for a message: a reader in the same participant takes
// the serialized sample the writer made (dds_takecdr), encapsulation header first. Padding bytes
// are zero as Cyclone writes them.

#include <dds/ddsi/ddsi_serdata.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "dds_loopback.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"

namespace cyclone_bytes {

using Bytes = std::vector<std::uint8_t>;

// Publishes `message` and returns the serialized sample a reader of the same topic receives.
template <typename Message>
Bytes bytesOnTheWire(const Message& message) {
  dds_loopback::useLoopbackOnly();
  wire::Participant participant(dds_loopback::freeDomain());
  wire::Publisher<Message> publisher(participant, "rt/golden", wire::commandQos().get());
  wire::Subscription<Message> raw(participant, "rt/golden", wire::commandQos().get());
  publisher.publish(message);

  ddsi_serdata* serdata = nullptr;
  dds_sample_info_t info{};
  EXPECT_TRUE(dds_loopback::eventually(
      [&] { return dds_takecdr(raw.entity(), &serdata, 1, &info, DDS_ANY_STATE) == 1; }));
  if (serdata == nullptr) {
    return {};
  }
  Bytes bytes(ddsi_serdata_size(serdata));
  ddsi_serdata_to_ser(serdata, 0, bytes.size(), bytes.data());
  ddsi_serdata_unref(serdata);
  return bytes;
}

}  // namespace cyclone_bytes
