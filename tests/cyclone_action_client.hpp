#pragma once

// A client of a ROS 2 action as rclcpp_action's clients use one through rmw_cyclonedds: the
// services <action>/_action/send_goal, cancel_goal and get_result (cyclone_service_client.hpp),
// and readers of <action>/_action/feedback and <action>/_action/status, with nav2_msgs/action/
// FollowPath's payloads of Jazzy's or Humble's layout (follow_path_payloads.hpp). A reply that is
// not laid out as the client expects it counts as no reply.

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cyclone_service_client.hpp"
#include "follow_path_payloads.hpp"
#include "wire/qos.hpp"
#include "wire/serialized_topic.hpp"

namespace cyclone_action_client {

using cyclone_service_client::Bytes;
using cyclone_service_client::ServiceClient;
using follow_path_payloads::Accepted;
using follow_path_payloads::Feedback;
using follow_path_payloads::GoalId;
using follow_path_payloads::goalId;
using follow_path_payloads::GoalStatus;
using follow_path_payloads::Pose;
using follow_path_payloads::Result;

class FollowPathClient {
 public:
  FollowPathClient(const wire::Participant& participant, const std::string& action, bool humble,
                   const std::string& clientId)
      : humble_(humble),
        sendGoal_(participant, action + "/_action/send_goal",
                  "nav2_msgs::action::dds_::FollowPath_SendGoal", clientId + ".1"),
        cancelGoal_(participant, action + "/_action/cancel_goal",
                    "action_msgs::srv::dds_::CancelGoal", clientId + ".2"),
        getResult_(participant, action + "/_action/get_result",
                   "nav2_msgs::action::dds_::FollowPath_GetResult", clientId + ".3") {
    const auto reader = [&](const std::string& topic, const char* type, const wire::Qos& qos) {
      return dds_create_reader(
          participant.handle(),
          wire::createSerializedTopic(participant.handle(), "rt/" + action + topic, type),
          qos.get(), nullptr);
    };
    feedback_ = reader("/_action/feedback", "nav2_msgs::action::dds_::FollowPath_FeedbackMessage_",
                       wire::statusQos());
    status_ = reader("/_action/status", "action_msgs::msg::dds_::GoalStatusArray_",
                     wire::goalStatusQos());
  }

  bool available() const {
    return sendGoal_.serviceAvailable() && cancelGoal_.serviceAvailable() &&
           getResult_.serviceAvailable();
  }

  // A goal to drive through `poses` in the frame odom.
  std::optional<Accepted> send(const GoalId& id, const std::vector<Pose>& poses,
                               std::chrono::milliseconds limit = std::chrono::seconds(3),
                               const char* controller = "FollowPath") {
    const auto reply =
        sendGoal_.call(follow_path_payloads::goalRequest(id, poses, humble_, controller), limit);
    return reply ? follow_path_payloads::readAccepted(*reply) : std::nullopt;
  }

  // cancel_goal for `id` (all zero: every goal): the return code and the goals canceling.
  std::optional<std::pair<int, std::vector<GoalId>>> cancel(const GoalId& id) {
    const auto reply = cancelGoal_.call(follow_path_payloads::cancelRequest(id));
    return reply ? follow_path_payloads::readCanceling(*reply) : std::nullopt;
  }

  // get_result for `id`, waiting up to `limit` for the goal to end.
  std::optional<Result> result(const GoalId& id, std::chrono::milliseconds limit) {
    const auto reply = getResult_.call(follow_path_payloads::resultRequest(id), limit);
    return reply ? readResult(*reply) : std::nullopt;
  }

  std::optional<Result> readResult(const Bytes& reply) const {
    return follow_path_payloads::readResult(reply, humble_);
  }

  // The feedback that arrived since the last call.
  std::vector<Feedback> takeFeedback() {
    std::vector<Feedback> feedback;
    while (const auto sample = wire::takeSerialized(feedback_)) {
      if (const auto read = follow_path_payloads::readFeedback(bodyOf(sample->bytes))) {
        feedback.push_back(*read);
      }
    }
    return feedback;
  }

  // The newest status array, if one arrived since the last call.
  std::optional<std::vector<GoalStatus>> takeStatus() {
    std::optional<std::vector<GoalStatus>> newest;
    while (const auto sample = wire::takeSerialized(status_)) {
      if (auto statuses = follow_path_payloads::readStatus(bodyOf(sample->bytes))) {
        newest = std::move(statuses);
      }
    }
    return newest;
  }

 private:
  static Bytes bodyOf(const Bytes& sample) {
    return sample.size() < 4 ? Bytes{} : Bytes(sample.begin() + 4, sample.end());
  }

  bool humble_;
  ServiceClient sendGoal_;
  ServiceClient cancelGoal_;
  ServiceClient getResult_;
  dds_entity_t feedback_ = 0;
  dds_entity_t status_ = 0;
};

}  // namespace cyclone_action_client
