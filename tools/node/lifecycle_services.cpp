#include "node/lifecycle_services.hpp"

#include <lifecycle_msgs/srv/ChangeState_Request.h>
#include <lifecycle_msgs/srv/ChangeState_Response.h>
#include <lifecycle_msgs/srv/GetAvailableStates_Request.h>
#include <lifecycle_msgs/srv/GetAvailableStates_Response.h>
#include <lifecycle_msgs/srv/GetAvailableTransitions_Request.h>
#include <lifecycle_msgs/srv/GetAvailableTransitions_Response.h>
#include <lifecycle_msgs/srv/GetState_Request.h>
#include <lifecycle_msgs/srv/GetState_Response.h>

#include <chrono>
#include <utility>

#include "wire/qos.hpp"
#include "wire/sample_sequences.hpp"
#include "wire/topic_names.hpp"
#include "wire/user_data.hpp"

namespace node {
namespace {

// A lifecycle request is a transition id and a label: anything near this size is no request.
constexpr std::size_t kLargestRequest = 4096;

std::unique_ptr<wire::ServiceServer> service(const wire::ServiceFactory& services,
                                             const NodeOptions& options, const char* name,
                                             const dds_topic_descriptor_t& request,
                                             const dds_topic_descriptor_t& response,
                                             wire::RateLimitedLog& dropped) {
  const std::string resolved = options.topic(options.nodeName + "/" + name);
  return services.serve(
      {wire::ddsRequestTopicName(options.nameSpace, resolved),
       wire::ddsReplyTopicName(options.nameSpace, resolved), request, response, kLargestRequest},
      dropped);
}

// The samples point into the machine's constant labels, which outlive every write.
lifecycle_msgs_msg_dds__State_ stateSample(LifecycleState state) {
  return {static_cast<std::uint8_t>(state), const_cast<char*>(stateLabel(state))};
}

lifecycle_msgs_msg_dds__TransitionDescription_ descriptionSample(
    const LifecycleTransition& transition) {
  return {{transition.id, const_cast<char*>(transition.label)},
          stateSample(transition.start),
          stateSample(transition.goal)};
}

void replyTransitions(const std::vector<LifecycleTransition>& listed,
                      const wire::ServiceServer::Reply& reply) {
  std::vector<lifecycle_msgs_msg_dds__TransitionDescription_> transitions;
  for (const auto& transition : listed) {
    transitions.push_back(descriptionSample(transition));
  }
  lifecycle_msgs_srv_dds__GetAvailableTransitions_Response_ response{
      wire::lent<dds_sequence_lifecycle_msgs_msg_dds__TransitionDescription_>(transitions)};
  reply(&response);
}

std::uint64_t nanosecondsSinceEpoch() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace

LifecycleServices::LifecycleServices(const wire::Participant& participant,
                                     const wire::ServiceFactory& services,
                                     const NodeOptions& options, NodeLog& log,
                                     std::function<void()> stop)
    : log_(log),
      stop_(std::move(stop)),
      dropped_([&log](const std::string& line) { log.warn("{}", line); }),
      changeState_(service(services, options, "change_state",
                           lifecycle_msgs_srv_dds__ChangeState_Request__desc,
                           lifecycle_msgs_srv_dds__ChangeState_Response__desc, dropped_)),
      getState_(service(services, options, "get_state",
                        lifecycle_msgs_srv_dds__GetState_Request__desc,
                        lifecycle_msgs_srv_dds__GetState_Response__desc, dropped_)),
      getAvailableStates_(service(services, options, "get_available_states",
                                  lifecycle_msgs_srv_dds__GetAvailableStates_Request__desc,
                                  lifecycle_msgs_srv_dds__GetAvailableStates_Response__desc,
                                  dropped_)),
      getAvailableTransitions_(
          service(services, options, "get_available_transitions",
                  lifecycle_msgs_srv_dds__GetAvailableTransitions_Request__desc,
                  lifecycle_msgs_srv_dds__GetAvailableTransitions_Response__desc, dropped_)),
      getTransitionGraph_(service(services, options, "get_transition_graph",
                                  lifecycle_msgs_srv_dds__GetAvailableTransitions_Request__desc,
                                  lifecycle_msgs_srv_dds__GetAvailableTransitions_Response__desc,
                                  dropped_)),
      transitionEvent_(
          participant, lifecycle_msgs_msg_dds__TransitionEvent__desc,
          wire::ddsTopicName(options.nameSpace,
                             options.topic(options.nodeName + "/transition_event")),
          wire::withUserData(
              wire::statusQos(),
              wire::endpointUserData(lifecycle_msgs_msg_dds__TransitionEvent__desc.m_typename,
                                     options.rosDistro))
              .get()) {}

void LifecycleServices::serve(Clock::time_point now) {
  changeState_->serve(
      [this](const void* request, const wire::ServiceServer::Reply& reply) {
        answerChangeState(request, reply);
      },
      now);
  getState_->serve(
      [this](const void*, const wire::ServiceServer::Reply& reply) {
        lifecycle_msgs_srv_dds__GetState_Response_ response{stateSample(machine_.state())};
        reply(&response);
      },
      now);
  getAvailableStates_->serve(
      [](const void*, const wire::ServiceServer::Reply& reply) {
        std::vector<lifecycle_msgs_msg_dds__State_> states;
        for (const LifecycleState state : LifecycleMachine::states()) {
          states.push_back(stateSample(state));
        }
        lifecycle_msgs_srv_dds__GetAvailableStates_Response_ response{
            wire::lent<dds_sequence_lifecycle_msgs_msg_dds__State_>(states)};
        reply(&response);
      },
      now);
  getAvailableTransitions_->serve(
      [this](const void*, const wire::ServiceServer::Reply& reply) {
        replyTransitions(machine_.availableTransitions(), reply);
      },
      now);
  getTransitionGraph_->serve(
      [](const void*, const wire::ServiceServer::Reply& reply) {
        replyTransitions(LifecycleMachine::transitions(), reply);
      },
      now);
}

void LifecycleServices::answerChangeState(const void* request,
                                          const wire::ServiceServer::Reply& reply) {
  const auto& asked =
      static_cast<const lifecycle_msgs_srv_dds__ChangeState_Request_*>(request)->transition;
  const std::string label = asked.label != nullptr ? asked.label : "";
  const LifecycleState from = machine_.state();
  std::vector<LifecycleTransition> taken;
  const bool success = machine_.change(
      asked.id, label, [this](LifecycleState state) { return work(state); }, taken);
  for (const auto& transition : taken) {
    announce(transition);
  }
  if (taken.empty()) {
    log_.warn("lifecycle: no transition {} '{}' from {}", asked.id, label, stateLabel(from));
  } else {
    log_.info("lifecycle: {}: {} -> {}{}", taken.front().label, stateLabel(from),
              stateLabel(machine_.state()), success ? "" : " (the transition failed)");
  }
  lifecycle_msgs_srv_dds__ChangeState_Response_ response{success};
  reply(&response);
}

// Configuring, activating and cleaning up need nothing of the node: what it drives with is set up
// at start. Leaving the active state stops the vehicle before the change is answered.
ChangeResult LifecycleServices::work(LifecycleState transitionState) {
  if (transitionState == LifecycleState::Activating) {
    ++activations_;
  }
  if (transitionState == LifecycleState::Deactivating ||
      transitionState == LifecycleState::ShuttingDown) {
    stop_();
  }
  return ChangeResult::Success;
}

void LifecycleServices::announce(const LifecycleTransition& transition) {
  lifecycle_msgs_msg_dds__TransitionEvent_ event{};
  event.timestamp = nanosecondsSinceEpoch();
  event.transition = {transition.id, const_cast<char*>(transition.label)};
  event.start_state = stateSample(transition.start);
  event.goal_state = stateSample(transition.goal);
  transitionEvent_.publish(event);
}

std::vector<wire::ServiceServer*> LifecycleServices::servers() const {
  return {changeState_.get(), getState_.get(), getAvailableStates_.get(),
          getAvailableTransitions_.get(), getTransitionGraph_.get()};
}

std::vector<dds_entity_t> LifecycleServices::endpoints() const {
  std::vector<dds_entity_t> entities;
  for (const auto* server : servers()) {
    const auto served = server->endpoints();
    entities.insert(entities.end(), served.begin(), served.end());
  }
  entities.push_back(transitionEvent_.entity());
  return entities;
}

std::string LifecycleServices::describe() const {
  std::string text = "serves ";
  for (const auto* server : servers()) {
    text += server->describe() + ", ";
  }
  return text + "publishes " + wire::rosTopicName(transitionEvent_.topicName()) + " (" +
         wire::rosTypeName(transitionEvent_.typeName()) + "; " +
         wire::qosText(wire::statusQos().get()) + ")";
}

}  // namespace node
