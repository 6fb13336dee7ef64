#include "node/drive/pose_writers.hpp"

namespace node {

bool PoseWriters::receive(const std::string& writer, Clock::time_point at) {
  lastPose_[writer] = at;
  return publishing(at).size() == 1;
}

std::vector<std::string> PoseWriters::publishing(Clock::time_point now) const {
  std::vector<std::string> writers;
  for (const auto& [writer, at] : lastPose_) {
    if (now - at <= kPoseWriterWindow) {
      writers.push_back(writer);
    }
  }
  return writers;
}

}  // namespace node
