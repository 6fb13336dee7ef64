#pragma once

// The managed node's bond with Nav2's lifecycle manager on DDS, as bondcpp keeps it:
// bond/msg/Status published and subscribed on "bond" in the node's namespace, with bondcpp's QoS
// (reliable, volatile, the writer keep last 5, the reader keep last 100). What the bond means is
// the bond watch's; this follows the lifecycle (a new bond, under a new random instance_id, each
// time the node becomes active; its side ended each time it leaves the active state) and moves the
// messages.

#include <functional>
#include <string>
#include <vector>

#include <bond/msg/status.hpp>

#include "node/drive/node_log.hpp"
#include "node/drive/pose_watch.hpp"
#include "node/lifecycle/bond_watch.hpp"
#include "node/node_options.hpp"
#include "wire/endpoints.hpp"
#include "wire/participant.hpp"

namespace node {

class ManagedBond {
 public:
  /// `stop` sends the vehicle a zero command at once, as the bond breaks.
  ManagedBond(const wire::Participant& participant, const NodeOptions& options, NodeLog& log,
              std::function<void()> stop);

  /// Once a cycle, with whether the node is active and how many times it was activated (a new
  /// count: a new bond, however quickly the node was deactivated and activated again): takes the
  /// manager's messages, publishes what is due. True while the bond lets the node command the
  /// vehicle.
  bool cycle(bool active, unsigned activations, Clock::time_point now);
  /// The node leaves at exit: its side ends with one active=false.
  void close(Clock::time_point now);

  BondState state() const { return watch_.state(); }
  std::vector<dds_entity_t> endpoints() const;
  /// "publishes and subscribes /bond (bond/msg/Status; ...)", for the start-up line.
  std::string describe() const;

 private:
  void publishDue(Clock::time_point now);

  std::function<void()> stop_;
  BondWatch watch_;
  wire::Publisher<bond::msg::Status> writer_;
  wire::Subscription<bond::msg::Status> reader_;
  bool active_ = false;
  unsigned activations_ = 0;
};

}  // namespace node
