#include "node/follow_path_server.hpp"

#include <action_msgs/srv/CancelGoal_Request.h>
#include <action_msgs/srv/CancelGoal_Response.h>
#include <nav2_msgs/action/FollowPathGetResult_Request.h>
#include <nav2_msgs/action/FollowPathGetResult_Response.h>
#include <nav2_msgs/action/FollowPathSendGoal_Request.h>
#include <nav2_msgs/action/FollowPathSendGoal_Response.h>
#include <nav2_msgs_humble/action/FollowPathGetResult_Response.h>
#include <nav2_msgs_humble/action/FollowPathSendGoal_Request.h>

#include <algorithm>

#include "wire/conversions.hpp"
#include "wire/qos.hpp"
#include "wire/sample_sequences.hpp"
#include "wire/sample_strings.hpp"
#include "wire/topic_names.hpp"
#include "wire/user_data.hpp"

namespace node {
namespace {

// A goal is a path; a path of a million poses is about 60 MB. Anything larger is no goal.
constexpr std::size_t kLargestGoal = 64u << 20;
// Cancel and result requests are a goal id and a stamp.
constexpr std::size_t kLargestSmallRequest = 4096;

constexpr const char* kType = "nav2_msgs/action/FollowPath";

std::string actionTopic(const NodeOptions& options, const std::string& action, const char* part) {
  return options.topic(action + "/_action/" + part);
}

std::unique_ptr<wire::ServiceServer> service(const wire::ServiceFactory& services,
                                             const NodeOptions& options, const std::string& action,
                                             const char* name, wire::ServiceSpec spec,
                                             wire::RateLimitedLog& dropped) {
  const std::string resolved = actionTopic(options, action, name);
  spec.requestTopic = wire::ddsRequestTopicName(options.nameSpace, resolved);
  spec.replyTopic = wire::ddsReplyTopicName(options.nameSpace, resolved);
  return services.serve(spec, dropped);
}

// Humble's types were generated under a package name of their own; on the wire they carry the
// name both distributions give them.
std::string wireName(const dds_topic_descriptor_t& type) {
  std::string name = type.m_typename;
  const std::string humble = "nav2_msgs_humble::";
  if (name.compare(0, humble.size(), humble) == 0) {
    name.replace(0, humble.size(), "nav2_msgs::");
  }
  return name;
}

wire::ServiceSpec spec(const dds_topic_descriptor_t& request,
                       const dds_topic_descriptor_t& response, std::size_t largest) {
  return {{}, {}, request, response, largest, wireName(request), wireName(response)};
}

GoalId goalId(const unique_identifier_msgs_msg_dds__UUID_& uuid) {
  GoalId id{};
  std::copy(std::begin(uuid.uuid), std::end(uuid.uuid), id.begin());
  return id;
}

unique_identifier_msgs_msg_dds__UUID_ uuidSample(const GoalId& id) {
  unique_identifier_msgs_msg_dds__UUID_ uuid{};
  std::copy(id.begin(), id.end(), std::begin(uuid.uuid));
  return uuid;
}

builtin_interfaces_msg_dds__Time_ timeSample(const builtin_interfaces::msg::Time& time) {
  return {time.sec, time.nanosec};
}

action_msgs_msg_dds__GoalInfo_ infoSample(const Goal& goal) {
  return {uuidSample(goal.id), timeSample(goal.accepted)};
}

struct GoalAsked {
  GoalId id;
  nav_msgs::msg::Path path;
  PluginsAsked plugins;
};

std::string text(const char* sample) {
  return sample == nullptr ? std::string() : std::string(sample);
}

GoalAsked humbleGoal(const void* request) {
  const auto& asked =
      *static_cast<const nav2_msgs_humble_action_dds__FollowPath_SendGoal_Request_*>(request);
  return {goalId(asked.goal_id),
          wire::toRos(asked.path),
          {text(asked.controller_id), text(asked.goal_checker_id), std::string()}};
}

GoalAsked jazzyGoal(const void* request) {
  const auto& asked =
      *static_cast<const nav2_msgs_action_dds__FollowPath_SendGoal_Request_*>(request);
  return {
      goalId(asked.goal_id),
      wire::toRos(asked.path),
      {text(asked.controller_id), text(asked.goal_checker_id), text(asked.progress_checker_id)}};
}

// -1: a goal waits for poses for ever.
std::optional<GoalClock::duration> failureTolerance(double seconds) {
  if (seconds < 0.0) {
    return std::nullopt;
  }
  return std::chrono::duration_cast<GoalClock::duration>(std::chrono::duration<double>(seconds));
}

const char* statusText(GoalStatus status) {
  switch (status) {
    case GoalStatus::Unknown:
      return "unknown";
    case GoalStatus::Accepted:
      return "accepted";
    case GoalStatus::Executing:
      return "executing";
    case GoalStatus::Canceling:
      return "canceling";
    case GoalStatus::Succeeded:
      return "succeeded";
    case GoalStatus::Canceled:
      return "canceled";
    case GoalStatus::Aborted:
      return "aborted";
  }
  return "unknown";
}

}  // namespace

FollowPathServer::FollowPathServer(const wire::Participant& participant,
                                   const wire::ServiceFactory& services, const NodeOptions& options,
                                   NodeLog& log,
                                   std::function<builtin_interfaces::msg::Time()> stamp,
                                   std::function<void()> stop)
    : log_(log),
      stamp_(std::move(stamp)),
      stop_(std::move(stop)),
      actionName_(wire::rosTopicName(
          wire::ddsTopicName(options.nameSpace, options.topic(options.followPathAction)))),
      humble_(options.rosDistro == wire::RosDistro::Humble),
      plugins_{options.controllerPlugins, options.goalCheckerPlugins,
               options.progressCheckerPlugins},
      goals_(failureTolerance(options.failureTolerance)),
      dropped_([&log](const std::string& line) { log.warn("{}", line); }),
      sendGoal_(service(
          services, options, options.followPathAction, "send_goal",
          humble_ ? spec(nav2_msgs_humble_action_dds__FollowPath_SendGoal_Request__desc,
                         nav2_msgs_action_dds__FollowPath_SendGoal_Response__desc, kLargestGoal)
                  : spec(nav2_msgs_action_dds__FollowPath_SendGoal_Request__desc,
                         nav2_msgs_action_dds__FollowPath_SendGoal_Response__desc, kLargestGoal),
          dropped_)),
      cancelGoal_(
          service(services, options, options.followPathAction, "cancel_goal",
                  spec(action_msgs_srv_dds__CancelGoal_Request__desc,
                       action_msgs_srv_dds__CancelGoal_Response__desc, kLargestSmallRequest),
                  dropped_)),
      getResult_(
          service(services, options, options.followPathAction, "get_result",
                  humble_ ? spec(nav2_msgs_action_dds__FollowPath_GetResult_Request__desc,
                                 nav2_msgs_humble_action_dds__FollowPath_GetResult_Response__desc,
                                 kLargestSmallRequest)
                          : spec(nav2_msgs_action_dds__FollowPath_GetResult_Request__desc,
                                 nav2_msgs_action_dds__FollowPath_GetResult_Response__desc,
                                 kLargestSmallRequest),
                  dropped_)),
      feedback_(participant, nav2_msgs_action_dds__FollowPath_FeedbackMessage__desc,
                wire::ddsTopicName(options.nameSpace,
                                   actionTopic(options, options.followPathAction, "feedback")),
                wire::statusQos().get()),
      status_(participant, action_msgs_msg_dds__GoalStatusArray__desc,
              wire::ddsTopicName(options.nameSpace,
                                 actionTopic(options, options.followPathAction, "status")),
              wire::withUserData(
                  wire::goalStatusQos(),
                  wire::endpointUserData(action_msgs_msg_dds__GoalStatusArray__desc.m_typename,
                                         options.rosDistro))
                  .get()) {
  publishStatus();  // an empty array, for the clients that come before any goal
}

void FollowPathServer::serve(const std::string& refusal, Clock::time_point now) {
  sendGoal_->serve(
      [&](const void* request, const wire::ServiceServer::Reply& reply) {
        answerSendGoal(request, reply, refusal, now);
      },
      now);
  cancelGoal_->serve(
      [&](const void* request, const wire::ServiceServer::Reply& reply) {
        answerCancel(request, reply, now);
      },
      now);
  getResult_->serve(
      [&](const void* request, const wire::ServiceServer::Reply& reply) {
        answerGetResult(request, reply);
      },
      now);
  publishChanges(now);
}

void FollowPathServer::answerSendGoal(const void* request, const wire::ServiceServer::Reply& reply,
                                      const std::string& refusal, Clock::time_point now) {
  auto [id, path, plugins] = humble_ ? humbleGoal(request) : jazzyGoal(request);
  const builtin_interfaces::msg::Time stamp = stamp_();
  const std::size_t poses = path.poses.size();
  const std::string frame = path.header.frame_id;
  const Goal* replaced = goals_.executing();
  const std::string replacedText = replaced ? goalIdText(replaced->id) : std::string();
  const bool accepted = goals_.accept(id, stamp, std::move(path), refusal.empty(), now);
  if (!accepted) {
    log_.warn("{}: goal {} rejected: {}", actionName_, goalIdText(id),
              refusal.empty() ? "a goal of that id is known" : refusal);
  } else {
    log_.info("{}: goal {} accepted: a path of {} poses in {}{}", actionName_, goalIdText(id),
              poses, frame.empty() ? std::string("no frame") : frame,
              replacedText.empty() ? "" : "; it replaces goal " + replacedText);
    // As Nav2's controller server, a goal naming plugins the node lacks is taken, then aborted.
    if (const auto refusal = pluginRefusal(plugins_, plugins)) {
      goals_.halt(refusal->message, now, refusal->error);
      stop_();
    }
  }
  nav2_msgs_action_dds__FollowPath_SendGoal_Response_ response{accepted, timeSample(stamp)};
  reply(&response);
}

void FollowPathServer::answerCancel(const void* request, const wire::ServiceServer::Reply& reply,
                                    Clock::time_point now) {
  const auto& info =
      static_cast<const action_msgs_srv_dds__CancelGoal_Request_*>(request)->goal_info;
  const CancelAnswer answer = goals_.cancel(goalId(info.goal_id), wire::toRos(info.stamp), now);
  if (!answer.canceling.empty()) {
    stop_();  // at once; the control cycle ends the route
  }
  std::vector<action_msgs_msg_dds__GoalInfo_> canceling;
  for (const Goal& goal : answer.canceling) {
    canceling.push_back(infoSample(goal));
  }
  action_msgs_srv_dds__CancelGoal_Response_ response{
      static_cast<std::int8_t>(answer.code),
      wire::lent<dds_sequence_action_msgs_msg_dds__GoalInfo_>(canceling)};
  reply(&response);
}

void FollowPathServer::answerGetResult(const void* request,
                                       const wire::ServiceServer::Reply& reply) {
  const GoalId id = goalId(
      static_cast<const nav2_msgs_action_dds__FollowPath_GetResult_Request_*>(request)->goal_id);
  if (const auto result = goals_.result(id)) {
    replyResult(reply, *result);
  } else {
    resultsAsked_.emplace_back(id, reply);
  }
}

void FollowPathServer::replyResult(const wire::ServiceServer::Reply& reply,
                                   const GoalResult& result) const {
  const auto status = static_cast<std::int8_t>(result.status);
  if (humble_) {
    nav2_msgs_humble_action_dds__FollowPath_GetResult_Response_ response{status, 0};
    reply(&response);
    return;
  }
  nav2_msgs_action_dds__FollowPath_GetResult_Response_ response{
      status, 0, static_cast<std::uint16_t>(result.error), wire::borrowed(result.message)};
  reply(&response);
}

void FollowPathServer::halt(const std::string& why, Clock::time_point now) {
  goals_.halt(why, now);
  publishChanges(now);
}

void FollowPathServer::cycleEnded(const GoalCycle& cycle, Clock::time_point now) {
  if (const auto feedback = goals_.cycleEnded(cycle, now)) {
    nav2_msgs_action_dds__FollowPath_FeedbackMessage_ message{
        uuidSample(feedback->id), static_cast<float>(feedback->distanceToGoal),
        static_cast<float>(feedback->speed)};
    feedback_.publish(message);
  }
  publishChanges(now);
}

// Results of goals that ended go to the clients that asked for them; the status array goes out
// when a goal came, changed or was forgotten.
void FollowPathServer::publishChanges(Clock::time_point now) {
  goals_.expire(now);
  for (const auto& [id, result] : goals_.takeEnded()) {
    const std::string why = result.message.empty() ? std::string() : ": " + result.message;
    if (result.status == GoalStatus::Aborted && result.error != FollowPathError::None) {
      log_.warn("{}: goal {} aborted (error {}){}", actionName_, goalIdText(id),
                static_cast<int>(result.error), why);
    } else {
      log_.info("{}: goal {} {}{}", actionName_, goalIdText(id), statusText(result.status), why);
    }
    for (auto asked = resultsAsked_.begin(); asked != resultsAsked_.end();) {
      if (asked->first == id) {
        replyResult(asked->second, result);
        asked = resultsAsked_.erase(asked);
      } else {
        ++asked;
      }
    }
  }
  if (goals_.takeStatusChanged()) {
    publishStatus();
  }
}

void FollowPathServer::publishStatus() {
  std::vector<action_msgs_msg_dds__GoalStatus_> statuses;
  for (const Goal& goal : goals_.goals()) {
    statuses.push_back({infoSample(goal), static_cast<std::int8_t>(goal.status)});
  }
  action_msgs_msg_dds__GoalStatusArray_ array{
      wire::lent<dds_sequence_action_msgs_msg_dds__GoalStatus_>(statuses)};
  status_.publish(array);
}

std::string FollowPathServer::goalText() const {
  const Goal* goal = goals_.executing();
  return goal ? "goal " + goalIdText(goal->id) + " executing" : std::string("no goal");
}

std::vector<wire::ServiceServer*> FollowPathServer::servers() const {
  return {sendGoal_.get(), cancelGoal_.get(), getResult_.get()};
}

std::vector<dds_entity_t> FollowPathServer::endpoints() const {
  std::vector<dds_entity_t> entities;
  for (const auto* server : servers()) {
    const auto served = server->endpoints();
    entities.insert(entities.end(), served.begin(), served.end());
  }
  entities.push_back(feedback_.entity());
  entities.push_back(status_.entity());
  return entities;
}

std::string FollowPathServer::describe() const {
  return "serves the action " + actionName_ + " (" + kType + ", " +
         (humble_ ? "Humble's" : "Jazzy's") + " layout)";
}

}  // namespace node
