#pragma once

// Who writes the pose topic. Every pose is taken as the vehicle's own, so a second writer (a stray
// odometry publisher, another robot on the same namespace) would have the controller end legs and
// steer on another vehicle's poses. Writers are told apart by their DDS GUIDs; a writer counts as
// publishing while its last pose arrived within kPoseWriterWindow.

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace node {

using Clock = std::chrono::steady_clock;

inline constexpr std::chrono::seconds kPoseWriterWindow{1};

class PoseWriters {
 public:
  /// A pose of `writer` (its GUID as text; empty for poses without one, from TF) arrived at `at`.
  /// True when `writer` is the only one publishing, so that the pose can be taken.
  bool receive(const std::string& writer, Clock::time_point at);
  /// The writers publishing at `now`, in their GUIDs' order.
  std::vector<std::string> publishing(Clock::time_point now) const;

 private:
  std::map<std::string, Clock::time_point> lastPose_;
};

}  // namespace node
