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

void DriveFrames::addTransforms(const tf2_msgs::msg::TFMessage& message, bool isStatic,
                                Clock::time_point at) {
  const auto refusals = frames_.addTransforms(message, isStatic);
  if (const auto back = frames_.takeStampJumpBack()) {
    if (clockJumpedAt_ && at - *clockJumpedAt_ <= kStampJumpBack) {
      restartPoses();
    } else {
      transformsCleared(fmt::format("a transform's stamp went back {:.1f} s", *back));
    }
  }
  for (const auto& transform : message.transforms) {
    links_[transform.child_frame_id] = {transform.header.frame_id, at, isStatic};
  }
  // A broken TF publisher repeats itself every cycle: its first refusal says enough.
  if (!refusals.empty() && !transformRefusalLogged_) {
    log_.warn("transform refused: {} (further refusals are not logged)", refusals.front());
    transformRefusalLogged_ = true;
  }
}

void DriveFrames::clockJumpedBack(double seconds, Clock::time_point at) {
  frames_.clear();
  clockJumpedAt_ = at;
  transformsCleared(fmt::format("the clock went back {:.1f} s", seconds));
}

void DriveFrames::restartPoses() {
  if (tfPoses_) {
    tfPoses_->restart();
  }
}

void DriveFrames::transformsCleared(const std::string& why) {
  restartPoses();
  log_.warn("{}: the transforms are cleared, as tf2_ros clears them on a jump back in time", why);
}

std::vector<std::pair<std::string, const DriveFrames::Link*>> DriveFrames::linksBetween(
    const std::string& a, const std::string& b) const {
  // Each frame's way up to its root; the links below the first frame the two share join them.
  const auto upwards = [this](std::string frame) {
    std::vector<std::pair<std::string, const Link*>> way;
    for (auto link = links_.find(frame); link != links_.end() && way.size() <= links_.size();
         link = links_.find(link->second.parent)) {
      way.emplace_back(link->first, &link->second);
    }
    return way;
  };
  auto fromA = upwards(a);
  auto fromB = upwards(b);
  while (!fromA.empty() && !fromB.empty() && fromA.back().first == fromB.back().first) {
    fromA.pop_back();
    fromB.pop_back();
  }
  fromA.insert(fromA.end(), fromB.begin(), fromB.end());
  return fromA;
}

std::optional<std::string> DriveFrames::silentLocalisation(Clock::time_point now) const {
  std::string a;
  std::string b;
  if (tfPoses_) {
    a = tfPoses_->globalFrame();
    b = tfPoses_->baseFrame();
  } else if (!driveFrame_.empty() && !poseFrame_.empty() && driveFrame_ != poseFrame_) {
    a = driveFrame_;
    b = poseFrame_;
  } else {
    return std::nullopt;
  }
  const auto limit = transformTimeout_ * kLocalisationSilence;
  for (const auto& [child, link] : linksBetween(a, b)) {
    if (!link->isStatic && now - link->arrived > limit) {
      return fmt::format(
          "the transform {} -> {} has not arrived for {:.1f} s: its localisation may have "
          "stopped, and poses are moved from {} into {} through its last correction",
          link->parent, child, seconds(now - link->arrived), b, a);
    }
  }
  return std::nullopt;
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
