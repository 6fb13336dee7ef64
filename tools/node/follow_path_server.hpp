#pragma once

// The follow_path action (nav2_msgs/action/FollowPath) on the ROS 2 network, as rcl_action serves
// an action: the services <action>/_action/send_goal, <action>/_action/cancel_goal and
// <action>/_action/get_result, the topic <action>/_action/feedback (ROS 2's default profile) and
// the topic <action>/_action/status (reliable, transient local, keep last 1), republished on each
// change. Goals, requests and results take Jazzy's layout of FollowPath, or Humble's under
// --ros-distro humble. What becomes of each goal is FollowPathGoals's; this is only its edge.
//
// A result asked for before its goal ends is answered when it ends. Requests are served from the
// node's service thread and the cycle's side from the control cycle, both under the node's lock.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <action_msgs/msg/GoalStatusArray.h>
#include <nav2_msgs/action/FollowPathFeedbackMessage.h>
#include <builtin_interfaces/msg/time.hpp>

#include "node/action/follow_path_goals.hpp"
#include "node/action/goal_plugins.hpp"
#include "node/drive/node_log.hpp"
#include "node/drive/pose_watch.hpp"
#include "node/node_options.hpp"
#include "wire/endpoints.hpp"
#include "wire/participant.hpp"
#include "wire/rate_limited_log.hpp"
#include "wire/service_factory.hpp"
#include "wire/service_server.hpp"

namespace node {

class FollowPathServer {
 public:
  /// Serves the action `options` names, its services through `services` and its topics on
  /// `participant`; `stamp` is ROS 2's time now, `stop` sends the vehicle a zero command at once.
  FollowPathServer(const wire::Participant& participant, const wire::ServiceFactory& services,
                   const NodeOptions& options, NodeLog& log,
                   std::function<builtin_interfaces::msg::Time()> stamp,
                   std::function<void()> stop);

  /// Answers the requests that arrived; goals are accepted unless `refusal` says why not.
  void serve(const std::string& refusal, Clock::time_point now);
  /// The node stopped commanding the vehicle, for `why`: the goal under way ends.
  void halt(const std::string& why, Clock::time_point now);

  /// The goals, for the control cycle: the paths to drive and what became of them.
  FollowPathGoals& goals() { return goals_; }
  /// After a control cycle that gave `cycle`: the goal's feedback, results, and the status array
  /// when it changed.
  void cycleEnded(const GoalCycle& cycle, Clock::time_point now);

  /// "goal 1b4e28ba-2fa1-11d2-883f-0016d3cca427 executing", "no goal", for diagnostics.
  std::string goalText() const;
  std::vector<wire::ServiceServer*> servers() const;
  std::vector<dds_entity_t> endpoints() const;
  /// "serves the action /follow_path (nav2_msgs/action/FollowPath, Jazzy's layout)", for the
  /// start-up line.
  std::string describe() const;

 private:
  void answerSendGoal(const void* request, const wire::ServiceServer::Reply& reply,
                      const std::string& refusal, Clock::time_point now);
  void answerCancel(const void* request, const wire::ServiceServer::Reply& reply,
                    Clock::time_point now);
  void answerGetResult(const void* request, const wire::ServiceServer::Reply& reply);
  void replyResult(const wire::ServiceServer::Reply& reply, const GoalResult& result) const;
  void publishChanges(Clock::time_point now);
  void publishStatus();

  NodeLog& log_;
  std::function<builtin_interfaces::msg::Time()> stamp_;
  std::function<void()> stop_;
  std::string actionName_;
  bool humble_;
  GoalPlugins plugins_;
  FollowPathGoals goals_;
  std::vector<std::pair<GoalId, wire::ServiceServer::Reply>> resultsAsked_;
  wire::RateLimitedLog dropped_;
  std::unique_ptr<wire::ServiceServer> sendGoal_;
  std::unique_ptr<wire::ServiceServer> cancelGoal_;
  std::unique_ptr<wire::ServiceServer> getResult_;
  wire::SamplePublisher<nav2_msgs_action_dds__FollowPath_FeedbackMessage_> feedback_;
  wire::SamplePublisher<action_msgs_msg_dds__GoalStatusArray_> status_;
};

}  // namespace node
