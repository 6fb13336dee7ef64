#include "wire/discovery.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <tuple>

#include "wire/dds_error.hpp"
#include "wire/sample_strings.hpp"

namespace wire {
namespace {

Guid guidOf(const dds_guid_t& guid) {
  Guid bytes{};
  static_assert(sizeof guid.v == bytes.size());
  std::memcpy(bytes.data(), guid.v, bytes.size());
  return bytes;
}

}  // namespace

Discovery::Discovery(const Participant& participant) {
  dds_guid_t guid{};
  checked(dds_get_guid(participant.handle(), &guid), "reading the participant's GUID");
  participant_ = guidOf(guid);
  publications_ = checked(
      dds_create_reader(participant.handle(), DDS_BUILTIN_TOPIC_DCPSPUBLICATION, nullptr, nullptr),
      "creating a reader of DCPSPublication");
  try {
    subscriptions_ =
        checked(dds_create_reader(participant.handle(), DDS_BUILTIN_TOPIC_DCPSSUBSCRIPTION, nullptr,
                                  nullptr),
                "creating a reader of DCPSSubscription");
  } catch (...) {
    dds_delete(publications_);
    throw;
  }
}

Discovery::~Discovery() {
  dds_delete(subscriptions_);
  dds_delete(publications_);
}

const std::vector<DiscoveredEndpoint>& Discovery::endpoints() {
  takeFrom(publications_, DiscoveredEndpoint::Kind::Writer);
  takeFrom(subscriptions_, DiscoveredEndpoint::Kind::Reader);
  if (changed_) {
    ordered_.clear();
    for (const auto& entry : alive_) {
      ordered_.push_back(entry.second);
    }
    std::sort(ordered_.begin(), ordered_.end(), [](const auto& a, const auto& b) {
      return std::tie(a.topic, a.kind, a.endpoint) < std::tie(b.topic, b.kind, b.endpoint);
    });
    changed_ = false;
  }
  return ordered_;
}

void Discovery::takeFrom(dds_entity_t reader, DiscoveredEndpoint::Kind kind) {
  constexpr std::size_t kBatch = 32;
  std::array<void*, kBatch> samples{};
  std::array<dds_sample_info_t, kBatch> infos{};
  for (;;) {
    // Cyclone lends the samples until the loan is returned; nothing below throws but allocation.
    samples.fill(nullptr);
    const int32_t count =
        checked(dds_take(reader, samples.data(), infos.data(), kBatch, kBatch), "taking endpoints");
    try {
      for (int32_t i = 0; i < count; ++i) {
        const auto key = std::make_pair(kind, infos[i].instance_handle);
        // The instance state is the endpoint's now, so a sample of an endpoint already gone
        // removes it as its disposal does.
        if (infos[i].instance_state != DDS_IST_ALIVE) {
          changed_ = alive_.erase(key) > 0 || changed_;
        } else if (infos[i].valid_data) {
          const auto& sample = *static_cast<const dds_builtintopic_endpoint_t*>(samples[i]);
          DiscoveredEndpoint endpoint;
          endpoint.kind = kind;
          endpoint.topic = toString(sample.topic_name);
          endpoint.type = toString(sample.type_name);
          endpoint.endpoint = guidOf(sample.key);
          endpoint.participant = guidOf(sample.participant_key);
          endpoint.ours = endpoint.participant == participant_;
          alive_[key] = std::move(endpoint);
          changed_ = true;
        }
      }
    } catch (...) {
      dds_return_loan(reader, samples.data(), count);
      throw;
    }
    if (count > 0) {
      checked(dds_return_loan(reader, samples.data(), count), "returning a loan");
    }
    if (count < static_cast<int32_t>(kBatch)) {
      return;
    }
  }
}

}  // namespace wire
