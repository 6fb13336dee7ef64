#pragma once

// The node as Nav2's lifecycle manager and behaviour tree see one of their servers (--lifecycle):
// its lifecycle services, its bond with the manager and the follow_path action, and what they
// decide for the control loop: whether it commands the vehicle, and which goals it drives. Their
// requests are answered as they arrive, on a thread of their own (service_thread.hpp), which takes
// turns with the control cycle under the node's lock.

#include <mutex>
#include <optional>
#include <string>

#include "node/cycle_loop.hpp"
#include "node/drive/node_log.hpp"
#include "node/follow_path_server.hpp"
#include "node/lifecycle_services.hpp"
#include "node/managed_bond.hpp"
#include "node/node_monitor.hpp"
#include "node/node_options.hpp"
#include "node/node_topics.hpp"
#include "node/service_thread.hpp"
#include "wire/service_factory.hpp"

namespace node {

class ManagedNode {
 public:
  /// Unconfigured; its services through `services`, its topics beside `topics`, in the ROS 2
  /// graph with them.
  ManagedNode(NodeTopics& topics, const wire::ServiceFactory& services, const NodeOptions& options,
              NodeLog& log);

  /// Gates `loop`'s commands, hands it the goals, reports to `monitor`, and starts answering
  /// requests.
  void drive(CycleLoop& loop, NodeMonitor& monitor);
  /// Stops answering requests and ends the node's side of the bond, at exit.
  void close(Clock::time_point now);

  /// "serves /trelvo_node/change_state (...), ...; bond ...; serves the action /follow_path (...)",
  /// for the start-up line.
  std::string describe() const;

 private:
  bool commanding(Clock::time_point now);
  /// Why a goal would be rejected now; empty while goals are taken.
  std::string goalRefusal() const;

  const wire::Participant& participant_;
  std::mutex lock_;
  FollowPathServer followPath_;
  LifecycleServices lifecycle_;
  ManagedBond bond_;
  std::optional<ServiceThread> serviceThread_;
};

}  // namespace node
