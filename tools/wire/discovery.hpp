#pragma once

// What the DDS domain holds: the readers and writers alive now, read from Cyclone DDS's built-in
// topics DCPSPublication and DCPSSubscription. Each built-in topic keeps one instance per
// endpoint, alive while the endpoint exists and disposed when it goes away (deleted, or its
// participant lost), so the alive set is kept from the samples and disposals taken.

#include <dds/dds.h>

#include <map>
#include <utility>
#include <vector>

#include "wire/discovered_endpoint.hpp"
#include "wire/participant.hpp"

namespace wire {

class Discovery {
 public:
  /// Readers of the built-in topics under `participant`, which is what the endpoints' `ours`
  /// refers to; they start with every endpoint already known.
  explicit Discovery(const Participant& participant);
  ~Discovery();
  Discovery(const Discovery&) = delete;
  Discovery& operator=(const Discovery&) = delete;

  /// Every endpoint alive now, this participant's included (`ours`), ordered by topic, kind and
  /// GUID; valid until the next call. Takes only what discovery reported since the last call and
  /// never waits: cheap enough for every cycle of a control loop.
  const std::vector<DiscoveredEndpoint>& endpoints();

 private:
  void takeFrom(dds_entity_t reader, DiscoveredEndpoint::Kind kind);

  dds_entity_t publications_ = 0;
  dds_entity_t subscriptions_ = 0;
  Guid participant_{};
  // By kind and the built-in reader's instance handle, which a disposal names.
  std::map<std::pair<DiscoveredEndpoint::Kind, dds_instance_handle_t>, DiscoveredEndpoint> alive_;
  // The alive endpoints as endpoints() gives them, ordered again once something came or went.
  std::vector<DiscoveredEndpoint> ordered_;
  bool changed_ = false;
};

}  // namespace wire
