#pragma once

// The node's lifecycle on the ROS 2 network, as rclcpp_lifecycle serves a managed node's: the
// services <node>/change_state, <node>/get_state, <node>/get_available_states,
// <node>/get_available_transitions and <node>/get_transition_graph (lifecycle_msgs/srv), and the
// topic <node>/transition_event,
// on which each transition taken is announced. The states and transitions are the lifecycle
// machine's; this is only its edge to DDS.
//
// The node commands the vehicle only while active. Deactivation and shutdown send the stop at
// once, before the reply to the change goes out.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <lifecycle_msgs/msg/TransitionEvent.h>

#include "node/drive/node_log.hpp"
#include "node/drive/pose_watch.hpp"
#include "node/lifecycle/lifecycle_machine.hpp"
#include "node/node_options.hpp"
#include "wire/endpoints.hpp"
#include "wire/participant.hpp"
#include "wire/rate_limited_log.hpp"
#include "wire/service_factory.hpp"
#include "wire/service_server.hpp"

namespace node {

class LifecycleServices {
 public:
  /// Serves the lifecycle of the node `options` names, unconfigured, its services through
  /// `services` and its topic on `participant`; `stop` sends the vehicle a zero command at once.
  LifecycleServices(const wire::Participant& participant, const wire::ServiceFactory& services,
                    const NodeOptions& options, NodeLog& log, std::function<void()> stop);

  /// Answers the requests that arrived.
  void serve(Clock::time_point now);
  /// The node is active and commands the vehicle.
  bool active() const { return machine_.state() == LifecycleState::Active; }
  /// How many times the node was activated: a deactivation and activation between two looks
  /// leave active() as it was, but not this.
  unsigned activations() const { return activations_; }
  /// The servers, whose requests wake the thread that serves them.
  std::vector<wire::ServiceServer*> servers() const;

  LifecycleState state() const { return machine_.state(); }
  /// The readers and writers of the services and the topic, for the node's place in the graph.
  std::vector<dds_entity_t> endpoints() const;
  /// "serves /trelvo_node/change_state (lifecycle_msgs/srv/ChangeState), ...; publishes
  /// /trelvo_node/transition_event (...)", for the start-up line.
  std::string describe() const;

 private:
  ChangeResult work(LifecycleState transitionState);
  void answerChangeState(const void* request, const wire::ServiceServer::Reply& reply);
  void announce(const LifecycleTransition& transition);

  NodeLog& log_;
  std::function<void()> stop_;
  LifecycleMachine machine_;
  wire::RateLimitedLog dropped_;
  std::unique_ptr<wire::ServiceServer> changeState_;
  std::unique_ptr<wire::ServiceServer> getState_;
  std::unique_ptr<wire::ServiceServer> getAvailableStates_;
  std::unique_ptr<wire::ServiceServer> getAvailableTransitions_;
  std::unique_ptr<wire::ServiceServer> getTransitionGraph_;
  wire::SamplePublisher<lifecycle_msgs_msg_dds__TransitionEvent_> transitionEvent_;
  unsigned activations_ = 0;
};

}  // namespace node
