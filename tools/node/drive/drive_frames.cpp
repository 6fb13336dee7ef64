#include "node/drive/drive_frames.hpp"

#include <fmt/format.h>

namespace node {
namespace {

double seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

}  // namespace

DriveFrames::DriveFrames(Clock::duration transformTimeout, NodeLog& log,
                         const std::vector<std::string>& poseFromTf)
    : transformTimeout_(transformTimeout), log_(log) {
  if (poseFromTf.size() == 2) {
    tfPoses_.emplace(poseFromTf[0], poseFromTf[1]);
  }
}

std::optional<geometry_msgs::msg::PoseStamped> DriveFrames::poseFromTf() {
  return tfPoses_ ? tfPoses_->next(frames_) : std::nullopt;
}

void DriveFrames::addTransforms(const tf2_msgs::msg::TFMessage& message, bool isStatic) {
  const auto refusals = frames_.addTransforms(message, isStatic);
  // A broken TF publisher repeats itself every cycle: its first refusal says enough.
  if (!refusals.empty() && !transformRefusalLogged_) {
    log_.warn("transform refused: {} (further refusals are not logged)", refusals.front());
    transformRefusalLogged_ = true;
  }
}

void DriveFrames::receivePath(const nav_msgs::msg::Path& path, Clock::time_point now) {
  waiting_ = path;
  waitingSince_ = now;
}

bool DriveFrames::joined(const std::string& pathFrame) const {
  // Before the first pose the poses' frame is not known: the path is taken, and its poses are
  // moved into it once they come.
  return pathFrame.empty() || poseFrame_.empty() || pathFrame == poseFrame_ ||
         frames_.lookup(poseFrame_, pathFrame).has_value();
}

std::optional<nav_msgs::msg::Path> DriveFrames::readyPath(Clock::time_point now) {
  if (!waiting_) {
    return std::nullopt;
  }
  const std::string& frame = waiting_->header.frame_id;
  if (waiting_->poses.empty() || joined(frame)) {
    std::optional<nav_msgs::msg::Path> ready = std::move(waiting_);
    waiting_.reset();
    return ready;
  }
  if (now - waitingSince_ >= transformTimeout_) {
    refusal_ = fmt::format("no transform from {} to {} within {} s", frame, poseFrame_,
                           seconds(transformTimeout_));
    log_.warn("path of {} poses in {} refused: {}", waiting_->poses.size(), frame, *refusal_);
    waiting_.reset();
  }
  return std::nullopt;
}

void DriveFrames::routeTaken(const nav_msgs::msg::Path& path) {
  driveFrame_ = path.header.frame_id;
}

std::optional<geometry_msgs::msg::PoseStamped> DriveFrames::toDriveFrame(
    const geometry_msgs::msg::PoseStamped& pose) {
  poseFrame_ = pose.header.frame_id;
  if (driveFrame_.empty() || poseFrame_.empty() || driveFrame_ == poseFrame_) {
    return pose;
  }
  nav_msgs::msg::Path one;
  one.header = pose.header;
  one.poses = {pose};
  const auto moved = pathInFrame(one, driveFrame_, frames_);
  if (!moved) {
    if (!poseUnjoinedLogged_) {
      log_.warn("no transform from {} to {}: poses cannot be used for the route in {}", poseFrame_,
                driveFrame_, driveFrame_);
      poseUnjoinedLogged_ = true;
    }
    return std::nullopt;
  }
  poseUnjoinedLogged_ = false;
  return moved->poses.front();
}

}  // namespace node
