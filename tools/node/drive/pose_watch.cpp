#include "node/drive/pose_watch.hpp"

#include <cmath>
#include <utility>

#include <fmt/format.h>

#include "trelvo/route.hpp"

namespace node {

std::string poseProblem(const geometry_msgs::msg::PoseStamped& pose) {
  const auto& p = pose.pose.position;
  std::string problem = trelvo::positionProblem(p.x, p.y, p.z);
  if (!problem.empty()) {
    return problem;
  }
  const auto& q = pose.pose.orientation;
  const std::pair<const char*, double> components[] = {
      {"x", q.x}, {"y", q.y}, {"z", q.z}, {"w", q.w}};
  for (const auto& [name, value] : components) {
    if (!std::isfinite(value)) {
      return fmt::format("orientation {} = {} is not finite", name, value);
    }
  }
  return {};
}

std::string PoseWatch::receive(const geometry_msgs::msg::PoseStamped& pose, Clock::time_point at) {
  std::string problem = poseProblem(pose);
  if (problem.empty()) {
    newest_ = pose;
    arrived_ = at;
  }
  return problem;
}

std::optional<Clock::time_point> PoseWatch::newestAt() const {
  if (!newest_) {
    return std::nullopt;
  }
  return arrived_;
}

const geometry_msgs::msg::PoseStamped* PoseWatch::fresh(Clock::time_point now) const {
  if (!newest_ || now - arrived_ > timeout_) {
    return nullptr;
  }
  return &*newest_;
}

}  // namespace node
