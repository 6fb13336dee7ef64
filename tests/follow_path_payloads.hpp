#pragma once

// The payloads of nav2_msgs/action/FollowPath's services and topics, laid out by hand as rosidl
// turns the action into messages, for the test's action clients on either middleware (the bodies
// after the encapsulation header, without any request header). Jazzy's goal carries a progress
// checker and its result an error code and message; Humble's have neither. A payload that is not
// laid out as expected reads as nothing.

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cdr_by_hand.hpp"

namespace follow_path_payloads {

using cdr_by_hand::Bytes;
using cdr_by_hand::CdrReader;
using cdr_by_hand::CdrWriter;
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
  std::int32_t sec = 0;  // the stamp of the goal's acceptance
  std::uint32_t nanosec = 0;
};

// The test's goal ids: 15 fixed bytes, then `n`.
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

// send_goal's request: the goal id, then a path through `poses` in the frame odom and the ids of
// the controller and checkers.
inline Bytes goalRequest(const GoalId& id, const std::vector<Pose>& poses, bool humble,
                         const char* controller = "FollowPath") {
  CdrWriter cdr;
  writeId(cdr, id);
  cdr.i32(0).u32(0).text("odom").u32(static_cast<std::uint32_t>(poses.size()));
  for (const Pose& pose : poses) {
    cdr.i32(0).u32(0).text("odom");
    cdr.f64(pose.x).f64(pose.y).f64(0.0);
    cdr.f64(0.0).f64(0.0).f64(std::sin(pose.heading / 2)).f64(std::cos(pose.heading / 2));
  }
  cdr.text(controller).text("general_goal_checker");
  if (!humble) {
    cdr.text("progress_checker");
  }
  return cdr.bytes();
}

// send_goal's reply: accepted, and the stamp of the acceptance.
inline std::optional<Accepted> readAccepted(const Bytes& reply) {
  CdrReader read(reply);
  const auto accepted = read.u8();
  const auto sec = read.i32();
  const auto nanosec = read.u32();
  if (!accepted || !sec || !nanosec || !read.atEnd()) {
    return std::nullopt;
  }
  return Accepted{*accepted == 1, *sec, *nanosec};
}

// cancel_goal's request for `id` (all zero: every goal), with a zero stamp.
inline Bytes cancelRequest(const GoalId& id) {
  CdrWriter cdr;
  writeId(cdr, id);
  cdr.i32(0).u32(0);
  return cdr.bytes();
}

// cancel_goal's reply: the return code and the goals canceling.
inline std::optional<std::pair<int, std::vector<GoalId>>> readCanceling(const Bytes& reply) {
  CdrReader read(reply);
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

inline Bytes resultRequest(const GoalId& id) {
  CdrWriter cdr;
  writeId(cdr, id);
  return cdr.bytes();
}

// get_result's reply: the goal's status, then the result of the distribution's layout.
inline std::optional<Result> readResult(const Bytes& reply, bool humble) {
  CdrReader read(reply);
  const auto status = read.u8();
  const auto empty = read.u8();
  if (!status || !empty) {
    return std::nullopt;
  }
  Result result{static_cast<std::int8_t>(*status), 0, {}};
  if (!humble) {
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

// A feedback message's body: the goal id, then the distance to the goal and the speed.
inline std::optional<Feedback> readFeedback(const Bytes& body) {
  CdrReader read(body);
  const auto id = readId(read);
  const auto distance = read.f32();
  const auto speed = read.f32();
  if (!id || !distance || !speed || !read.atEnd()) {
    return std::nullopt;
  }
  return Feedback{*id, *distance, *speed};
}

// A status array's body: each goal's id, stamp and status.
inline std::optional<std::vector<GoalStatus>> readStatus(const Bytes& body) {
  CdrReader read(body);
  const auto count = read.u32();
  if (!count) {
    return std::nullopt;
  }
  std::vector<GoalStatus> statuses;
  for (std::uint32_t i = 0; i < *count; ++i) {
    const auto id = readId(read);
    const auto sec = read.i32();
    const auto nanosec = read.u32();
    const auto status = read.u8();
    if (!id || !sec || !nanosec || !status) {
      return std::nullopt;
    }
    statuses.push_back({*id, static_cast<std::int8_t>(*status), *sec, *nanosec});
  }
  return statuses;
}

}  // namespace follow_path_payloads
