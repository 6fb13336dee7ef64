#include "node/drive/pose_watch.hpp"

#include <cmath>

#include "common/route_legs.hpp"

namespace node {
namespace {

bool finite(double value) {
  return std::isfinite(value);
}

}  // namespace

bool usablePose(const geometry_msgs::msg::PoseStamped& pose) {
  const auto& p = pose.pose.position;
  const auto& q = pose.pose.orientation;
  return common::isWithinReach(p.x) && common::isWithinReach(p.y) && finite(p.z) && finite(q.x) &&
         finite(q.y) && finite(q.z) && finite(q.w);
}

bool PoseWatch::receive(const geometry_msgs::msg::PoseStamped& pose, Clock::time_point at) {
  if (!usablePose(pose)) {
    return false;
  }
  newest_ = pose;
  arrived_ = at;
  return true;
}

const geometry_msgs::msg::PoseStamped* PoseWatch::fresh(Clock::time_point now) const {
  if (!newest_ || now - arrived_ > timeout_) {
    return nullptr;
  }
  return &*newest_;
}

}  // namespace node
