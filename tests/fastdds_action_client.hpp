#pragma once

// A client of a ROS 2 action as rclcpp_action's clients use one through rmw_fastrtps_cpp: the
// services <action>/_action/send_goal, cancel_goal and get_result (fastdds_service_client.hpp,
// correlated by related sample identity), and Fast DDS readers of <action>/_action/feedback
// (reliable, volatile, keep last 10) and <action>/_action/status (reliable, transient local, keep
// last 1), with nav2_msgs/action/FollowPath's payloads of Jazzy's or Humble's layout
// (follow_path_payloads.hpp). A reply that is not laid out as the client expects it counts as no
// reply.

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fastdds_service_client.hpp"
#include "follow_path_payloads.hpp"

namespace fastdds_action_client {

using fastdds_service_client::Participant;
using fastdds_service_client::ServiceClient;
using follow_path_payloads::Accepted;
using follow_path_payloads::Feedback;
using follow_path_payloads::GoalId;
using follow_path_payloads::GoalStatus;
using follow_path_payloads::Pose;
using follow_path_payloads::Result;
namespace dds = eprosima::fastdds::dds;

class FollowPathClient {
 public:
  FollowPathClient(Participant& participant, const std::string& action, bool humble)
      : humble_(humble),
        sendGoal_(participant, action + "/_action/send_goal",
                  "nav2_msgs::action::dds_::FollowPath_SendGoal"),
        cancelGoal_(participant, action + "/_action/cancel_goal",
                    "action_msgs::srv::dds_::CancelGoal"),
        getResult_(participant, action + "/_action/get_result",
                   "nav2_msgs::action::dds_::FollowPath_GetResult"),
        feedback_(participant.reader(
            participant.topic("rt/" + action + "/_action/feedback",
                              "nav2_msgs::action::dds_::FollowPath_FeedbackMessage_"),
            [](dds::DataReaderQos&) {})),
        status_(participant.reader(participant.topic("rt/" + action + "/_action/status",
                                                     "action_msgs::msg::dds_::GoalStatusArray_"),
                                   [](dds::DataReaderQos& qos) {
                                     qos.durability().kind = dds::TRANSIENT_LOCAL_DURABILITY_QOS;
                                     qos.history().depth = 1;
                                   })) {}

  bool available() const {
    return sendGoal_.serviceAvailable() && cancelGoal_.serviceAvailable() &&
           getResult_.serviceAvailable();
  }

  // A goal to drive through `poses` in the frame odom.
  std::optional<Accepted> send(const GoalId& id, const std::vector<Pose>& poses,
                               std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    const auto reply = sendGoal_.call(follow_path_payloads::goalRequest(id, poses, humble_), limit);
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
    return reply ? follow_path_payloads::readResult(*reply, humble_) : std::nullopt;
  }

  // The feedback that arrived since the last call.
  std::vector<Feedback> takeFeedback() {
    std::vector<Feedback> feedback;
    for (const auto& body : fastdds_service_client::takeBodies(feedback_)) {
      if (const auto read = follow_path_payloads::readFeedback(body)) {
        feedback.push_back(*read);
      }
    }
    return feedback;
  }

  // The newest status array, if one arrived since the last call.
  std::optional<std::vector<GoalStatus>> takeStatus() {
    std::optional<std::vector<GoalStatus>> newest;
    for (const auto& body : fastdds_service_client::takeBodies(status_)) {
      if (auto statuses = follow_path_payloads::readStatus(body)) {
        newest = std::move(statuses);
      }
    }
    return newest;
  }

 private:
  bool humble_;
  ServiceClient sendGoal_;
  ServiceClient cancelGoal_;
  ServiceClient getResult_;
  dds::DataReader& feedback_;
  dds::DataReader& status_;
};

}  // namespace fastdds_action_client
