#pragma once

// A client of a ROS 2 action as rclcpp_action's clients use one through rmw_cyclonedds, with the
// payloads of nav2_msgs/action/FollowPath laid out by hand: the services
// <action>/_action/send_goal, cancel_goal and get_result (cyclone_service_client.hpp), and readers
// of <action>/_action/feedback and <action>/_action/status. Jazzy's goal carries a progress checker
// and its result an error code and message; Humble's have neither. A reply that is not laid out as
// the client expects it counts as no reply.

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cyclone_service_client.hpp"
#include "wire/qos.hpp"
#include "wire/serialized_topic.hpp"

namespace cyclone_action_client {

using cyclone_service_client::Bytes;
using cyclone_service_client::CdrReader;
using cyclone_service_client::CdrWriter;
using cyclone_service_client::ServiceClient;
using GoalId = std::array<std::uint8_t, 16>;

struct Pose {
  double x = 0.0;
  double y = 0.0;
  double heading = 0.0;  // rad
};

struct Accepted {
  bool accepted = false;
  std::int32_t sec = 0;
  std::uint32_t nanosec = 0;
};

struct Result {
  int status = 0;
  int errorCode = 0;  // Jazzy only
  std::string errorMessage;
};

struct Feedback {
  GoalId id{};
  float distanceToGoal = 0.0F;
  float speed = 0.0F;
};

struct GoalStatus {
  GoalId id{};
  int status = 0;
};

inline GoalId goalId(std::uint8_t n) {
  GoalId id{};
  for (std::size_t i = 0; i < id.size(); ++i) {
    id[i] = static_cast<std::uint8_t>(0x40 + i);
  }
  id[15] = n;
  return id;
}

inline void writeId(CdrWriter& cdr, const GoalId& id) {
  for (const std::uint8_t byte : id) {
    cdr.u8(byte);
  }
}

inline std::optional<GoalId> readId(CdrReader& cdr) {
  GoalId id{};
  for (auto& byte : id) {
    const auto read = cdr.u8();
    if (!read) {
      return std::nullopt;
    }
    byte = *read;
  }
  return id;
}

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
                               std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    CdrWriter cdr;
    writeId(cdr, id);
    cdr.i32(0).u32(0).text("odom").u32(static_cast<std::uint32_t>(poses.size()));
    for (const Pose& pose : poses) {
      cdr.i32(0).u32(0).text("odom");
      cdr.f64(pose.x).f64(pose.y).f64(0.0);
      cdr.f64(0.0).f64(0.0).f64(std::sin(pose.heading / 2)).f64(std::cos(pose.heading / 2));
    }
    cdr.text("FollowPath").text("general_goal_checker");
    if (!humble_) {
      cdr.text("progress_checker");
    }
    const auto reply = sendGoal_.call(cdr.bytes(), limit);
    if (!reply) {
      return std::nullopt;
    }
    CdrReader read(*reply);
    const auto accepted = read.u8();
    const auto sec = read.i32();
    const auto nanosec = read.u32();
    if (!accepted || !sec || !nanosec || !read.atEnd()) {
      return std::nullopt;
    }
    return Accepted{*accepted == 1, *sec, *nanosec};
  }

  // cancel_goal for `id` (all zero: every goal): the return code and the goals canceling.
  std::optional<std::pair<int, std::vector<GoalId>>> cancel(const GoalId& id) {
    CdrWriter cdr;
    writeId(cdr, id);
    cdr.i32(0).u32(0);
    const auto reply = cancelGoal_.call(cdr.bytes());
    if (!reply) {
      return std::nullopt;
    }
    CdrReader read(*reply);
    const auto code = read.u8();
    const auto count = read.u32();
    if (!code || !count || *count > 64) {
      return std::nullopt;
    }
    std::vector<GoalId> goals;
    for (std::uint32_t i = 0; i < *count; ++i) {
      const auto goal = readId(read);
      if (!goal || !read.i32() || !read.u32()) {
        return std::nullopt;
      }
      goals.push_back(*goal);
    }
    return std::pair<int, std::vector<GoalId>>{static_cast<std::int8_t>(*code), goals};
  }

  // get_result for `id`, waiting up to `limit` for the goal to end.
  std::optional<Result> result(const GoalId& id, std::chrono::milliseconds limit) {
    CdrWriter cdr;
    writeId(cdr, id);
    const auto reply = getResult_.call(cdr.bytes(), limit);
    return reply ? readResult(*reply) : std::nullopt;
  }

  std::optional<Result> readResult(const Bytes& reply) const {
    CdrReader read(reply);
    const auto status = read.u8();
    const auto empty = read.u8();
    if (!status || !empty) {
      return std::nullopt;
    }
    Result result{static_cast<std::int8_t>(*status), 0, {}};
    if (!humble_) {
      const auto code = read.u16();
      const auto message = read.text();
      if (!code || !message) {
        return std::nullopt;
      }
      result.errorCode = *code;
      result.errorMessage = *message;
    }
    return read.atEnd() ? std::optional<Result>(result) : std::nullopt;
  }

  // The feedback that arrived since the last call.
  std::vector<Feedback> takeFeedback() {
    std::vector<Feedback> feedback;
    while (const auto sample = wire::takeSerialized(feedback_)) {
      CdrReader read(Bytes(sample->bytes.begin() + 4, sample->bytes.end()));
      const auto id = readId(read);
      const auto distance = read.f32();
      const auto speed = read.f32();
      if (id && distance && speed && read.atEnd()) {
        feedback.push_back({*id, *distance, *speed});
      }
    }
    return feedback;
  }

  // The newest status array, if one arrived since the last call.
  std::optional<std::vector<GoalStatus>> takeStatus() {
    std::optional<std::vector<GoalStatus>> newest;
    while (const auto sample = wire::takeSerialized(status_)) {
      CdrReader read(Bytes(sample->bytes.begin() + 4, sample->bytes.end()));
      const auto count = read.u32();
      std::vector<GoalStatus> statuses;
      for (std::uint32_t i = 0; count && i < *count; ++i) {
        const auto id = readId(read);
        const auto sec = read.i32();
        const auto nanosec = read.u32();
        const auto status = read.u8();
        if (!id || !sec || !nanosec || !status) {
          break;
        }
        statuses.push_back({*id, static_cast<std::int8_t>(*status)});
      }
      if (count && statuses.size() == *count) {
        newest = statuses;
      }
    }
    return newest;
  }

 private:
  bool humble_;
  ServiceClient sendGoal_;
  ServiceClient cancelGoal_;
  ServiceClient getResult_;
  dds_entity_t feedback_ = 0;
  dds_entity_t status_ = 0;
};

}  // namespace cyclone_action_client
