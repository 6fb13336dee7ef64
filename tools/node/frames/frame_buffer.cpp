#include "node/frames/frame_buffer.hpp"

#include <console_bridge/console.h>
#include <fmt/format.h>
#include <tf2/buffer_core.h>

#include <cstdint>
#include <stdexcept>
#include <utility>

#include "wire/stamps.hpp"

namespace node {
namespace {

constexpr std::uint32_t kNanosecondsPerSecond = 1000000000;

// tf2 says why it refuses a transform only in a log line through console_bridge. While one
// transform is handed over, its lines come here instead of to the standard error, so that the
// caller reports them in its own log. console_bridge's handler is global: the node hands over
// transforms from one thread.
class Tf2Lines : public console_bridge::OutputHandler {
 public:
  Tf2Lines() { console_bridge::useOutputHandler(this); }
  ~Tf2Lines() override { console_bridge::restorePreviousOutputHandler(); }
  Tf2Lines(const Tf2Lines&) = delete;
  Tf2Lines& operator=(const Tf2Lines&) = delete;

  void log(const std::string& text, console_bridge::LogLevel, const char*, int) override {
    last_ = text;
  }
  const std::string& last() const { return last_; }

 private:
  std::string last_;
};

bool isTime(const builtin_interfaces::msg::Time& stamp) {
  return stamp.sec >= 0 && stamp.nanosec < kNanosecondsPerSecond;
}

ros::Time toRosTime(const builtin_interfaces::msg::Time& stamp) {
  return ros::Time(static_cast<std::uint32_t>(stamp.sec), stamp.nanosec);
}

geometry_msgs::TransformStamped toTf2(const geometry_msgs::msg::TransformStamped& message) {
  geometry_msgs::TransformStamped transform;
  transform.header.stamp = toRosTime(message.header.stamp);
  transform.header.frame_id = message.header.frame_id;
  transform.child_frame_id = message.child_frame_id;
  const auto& t = message.transform.translation;
  transform.transform.translation.x = t.x;
  transform.transform.translation.y = t.y;
  transform.transform.translation.z = t.z;
  const auto& q = message.transform.rotation;
  transform.transform.rotation.x = q.x;
  transform.transform.rotation.y = q.y;
  transform.transform.rotation.z = q.z;
  transform.transform.rotation.w = q.w;
  return transform;
}

geometry_msgs::msg::TransformStamped fromTf2(const geometry_msgs::TransformStamped& transform) {
  geometry_msgs::msg::TransformStamped message;
  message.header.stamp.sec = static_cast<std::int32_t>(transform.header.stamp.sec);
  message.header.stamp.nanosec = transform.header.stamp.nsec;
  message.header.frame_id = transform.header.frame_id;
  message.child_frame_id = transform.child_frame_id;
  const auto& t = transform.transform.translation;
  message.transform.translation.x = t.x;
  message.transform.translation.y = t.y;
  message.transform.translation.z = t.z;
  const auto& q = transform.transform.rotation;
  message.transform.rotation.x = q.x;
  message.transform.rotation.y = q.y;
  message.transform.rotation.z = q.z;
  message.transform.rotation.w = q.w;
  return message;
}

}  // namespace

FrameBuffer::FrameBuffer(std::chrono::nanoseconds cacheTime)
    : core_(std::make_unique<tf2::BufferCore>(ros::Duration().fromNSec(cacheTime.count()))) {}

FrameBuffer::~FrameBuffer() = default;
FrameBuffer::FrameBuffer(FrameBuffer&&) noexcept = default;
FrameBuffer& FrameBuffer::operator=(FrameBuffer&&) noexcept = default;

std::vector<std::string> FrameBuffer::addTransforms(const tf2_msgs::msg::TFMessage& message,
                                                    bool isStatic) {
  // tf2 names the source of each transform in its lines; the topic is the one known here.
  const std::string authority = isStatic ? "/tf_static" : "/tf";
  std::vector<std::string> refusals;
  for (const auto& transform : message.transforms) {
    const auto& stamp = transform.header.stamp;
    if (!isTime(stamp)) {
      refusals.push_back(fmt::format(
          "transform from {} to {} refused: stamp {} s {} ns is not a time",
          transform.header.frame_id, transform.child_frame_id, stamp.sec, stamp.nanosec));
      continue;
    }
    if (!isStatic) {
      noteStamp(transform.child_frame_id, stamp);
    }
    const Tf2Lines lines;
    if (!core_->setTransform(toTf2(transform), authority, isStatic)) {
      refusals.push_back(lines.last().empty()
                             ? "tf2 refused a transform from " + transform.header.frame_id +
                                   " to " + transform.child_frame_id
                             : lines.last());
    }
  }
  return refusals;
}

void FrameBuffer::noteStamp(const std::string& frame, const builtin_interfaces::msg::Time& stamp) {
  const auto newest = newestStamps_.find(frame);
  if (newest == newestStamps_.end()) {
    newestStamps_.emplace(frame, stamp);
    return;
  }
  const double step = wire::secondsBetween(newest->second, stamp);
  if (step < -std::chrono::duration<double>(kStampJumpBack).count()) {
    clear();
    stampJumpBack_ = -step;
    newestStamps_.emplace(frame, stamp);
  } else if (step > 0.0) {
    newest->second = stamp;
  }
}

void FrameBuffer::clear() {
  core_->clear();
  newestStamps_.clear();
}

std::optional<double> FrameBuffer::takeStampJumpBack() {
  return std::exchange(stampJumpBack_, std::nullopt);
}

std::optional<geometry_msgs::msg::TransformStamped> FrameBuffer::lookup(
    const std::string& target, const std::string& source,
    const builtin_interfaces::msg::Time& at) const {
  if (!isTime(at)) {
    return std::nullopt;
  }
  try {
    return fromTf2(core_->lookupTransform(target, source, toRosTime(at)));
  } catch (const std::runtime_error&) {
    // tf2's lookup, connectivity, extrapolation and invalid-argument exceptions all derive from
    // this; each means the transform is not known.
    return std::nullopt;
  }
}

}  // namespace node
