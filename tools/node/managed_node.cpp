#include "node/managed_node.hpp"

namespace node {

ManagedNode::ManagedNode(NodeTopics& topics, const wire::ServiceFactory& services,
                         const NodeOptions& options, NodeLog& log)
    : participant_(topics.participant()),
      followPath_(
          topics.participant(), services, options, log, [&topics] { return topics.stamp(); },
          [&topics] { topics.publishCommand(geometry_msgs::msg::Twist{}); }),
      lifecycle_(topics.participant(), services, options, log,
                 [&topics] { topics.publishCommand(geometry_msgs::msg::Twist{}); }),
      bond_(topics.participant(), options, log,
            [&topics] { topics.publishCommand(geometry_msgs::msg::Twist{}); }) {
  topics.announce(lifecycle_.endpoints());
  topics.announce(bond_.endpoints());
  topics.announce(followPath_.endpoints());
}

void ManagedNode::drive(CycleLoop& loop, NodeMonitor& monitor) {
  loop.shareWith(lock_);
  loop.gateCommands([this](Clock::time_point now) { return commanding(now); });
  loop.followGoals(followPath_);
  monitor.reportManaged([this] {
    return ManagedReport{stateLabel(lifecycle_.state()), bondText(bond_.state()),
                         followPath_.goalText()};
  });
  auto servers = lifecycle_.servers();
  for (auto* server : followPath_.servers()) {
    servers.push_back(server);
  }
  serviceThread_.emplace(participant_, lock_, std::move(servers), [this](Clock::time_point now) {
    lifecycle_.serve(now);
    followPath_.serve(goalRefusal(), now);
  });
}

// Commands go out while the node is active and its bond, once formed, holds; a goal under way
// ends when they stop.
bool ManagedNode::commanding(Clock::time_point now) {
  const bool active = lifecycle_.active();
  const bool commanding = bond_.cycle(active, lifecycle_.activations(), now) && active;
  if (!commanding) {
    followPath_.halt(
        active ? "the bond with the lifecycle manager broke" : "the node is not active", now);
  }
  return commanding;
}

// Goals are taken only while the node may drive them.
std::string ManagedNode::goalRefusal() const {
  if (!lifecycle_.active()) {
    return "the node is not active";
  }
  if (bond_.state() == BondState::Broken) {
    return "the bond with the lifecycle manager is broken: deactivate and activate the node";
  }
  return {};
}

void ManagedNode::close(Clock::time_point now) {
  serviceThread_.reset();
  bond_.close(now);
}

std::string ManagedNode::describe() const {
  return lifecycle_.describe() + "; " + bond_.describe() + "; " + followPath_.describe();
}

}  // namespace node
