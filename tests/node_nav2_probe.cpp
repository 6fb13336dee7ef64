// Plays the parts of a Nav2 robot that trelvo-sim --dds does not, beside trelvo-node and the
// simulated vehicle, and measures what the vehicle does; scripts/measure-node-nav2.sh runs it.
// Runs until SIGINT or SIGTERM, then prints one line of figures.
//
//   node_nav2_probe observe X Y X Y ...     only watches; the route's corners X Y for distances
//   node_nav2_probe stray X Y ...           once the vehicle is 1 m along, a second odometry
//                                           writer publishes (5, 5) at 50 Hz for 3 s
//   node_nav2_probe amcl-tf X Y ...         TF odom -> base_link from each odometry message, and
//                                           map -> odom (identity) at 2 Hz stamped 1 s ahead, as
//                                           AMCL's transform_tolerance does
//   node_nav2_probe amcl-topic X Y ...      the odometry's pose at 2 Hz on amcl_pose, as
//                                           PoseWithCovarianceStamped
//   node_nav2_probe clock X Y ...           /clock from 1000 s on, TF odom -> base_link in that
//                                           time; once the vehicle is 1 m along both step back
//                                           100 s (the node runs --use-sim-time --stamped)
//
// Figures: stops (a zero command after a moving one, before the last command), the largest
// distance of the vehicle from the route, the time from the first moving command to the last, the
// worst status the node published on /diagnostics; for
// clock, the first command's stamp against /clock, and the longest run of zero commands in the 2 s
// after the step.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/real_time.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"
#include "wire/stamps.hpp"
#include "wire/topic_names.hpp"
#include "wire/user_data.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kTick = 10ms;
constexpr double kAlong = 1.0;  // m from the start at which the disturbance begins

struct Point {
  double x;
  double y;
};

double distanceToSegment(Point p, Point a, Point b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  const double t =
      length2 == 0.0 ? 0.0 : std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

double distanceToRoute(Point p, const std::vector<Point>& route) {
  double best = std::hypot(p.x - route.front().x, p.y - route.front().y);
  for (std::size_t i = 1; i < route.size(); ++i) {
    best = std::min(best, distanceToSegment(p, route[i - 1], route[i]));
  }
  return best;
}

builtin_interfaces::msg::Time timeOf(double seconds) {
  builtin_interfaces::msg::Time time;
  time.sec = static_cast<int32_t>(std::floor(seconds));
  time.nanosec = static_cast<uint32_t>((seconds - std::floor(seconds)) * 1e9);
  return time;
}

double secondsOf(const builtin_interfaces::msg::Time& time) {
  return time.sec + time.nanosec * 1e-9;
}

geometry_msgs::msg::TransformStamped transformOf(const std::string& parent,
                                                 const std::string& child,
                                                 const geometry_msgs::msg::Pose& pose,
                                                 const builtin_interfaces::msg::Time& stamp) {
  geometry_msgs::msg::TransformStamped t;
  t.header.frame_id = parent;
  t.header.stamp = stamp;
  t.child_frame_id = child;
  t.transform.translation.x = pose.position.x;
  t.transform.translation.y = pose.position.y;
  t.transform.translation.z = pose.position.z;
  t.transform.rotation = pose.orientation;
  return t;
}

class Probe {
 public:
  Probe(std::string mode, std::vector<Point> route)
      : mode_(std::move(mode)),
        route_(std::move(route)),
        participant_(wire::domainFromEnvironment(), wire::rosParticipantQos().get()),
        odomIn_(participant_, "rt/odom", wire::poseSourceQos().get()),
        tf_(participant_, "rt/tf", wire::tfQos().get()),
        amcl_(participant_, "rt/amcl_pose", wire::odometryQos().get()),
        clock_(participant_, "rt/clock", wire::clockQos().get()),
        diagnostics_(participant_, "rt/diagnostics", wire::statusQos().get()) {
    if (mode_ == "clock") {
      stamped_.emplace(participant_, "rt/cmd_vel", wire::commandQos().get());
    } else {
      commands_.emplace(participant_, "rt/cmd_vel", wire::commandQos().get());
    }
    if (mode_ == "stray") {
      odomOut_.emplace(participant_, "rt/odom", wire::odometryQos().get());
      dds_guid_t guid;
      dds_get_guid(odomOut_->entity(), &guid);
      std::copy(std::begin(guid.v), std::end(guid.v), ownWriter_.begin());
    }
  }

  void run(const std::atomic<bool>& stop) {
    started_ = Clock::now();
    auto deadline = started_;
    while (!stop) {
      tick(Clock::now());
      deadline += kTick;
      common::sleepUntil(deadline);
    }
  }

  void report() const {
    std::printf(
        "%s: stops %d, largest distance from the route %.3f m, moving commands from %.2f s to "
        "%.2f s (%.2f s)",
        mode_.c_str(), stops_, largestDistance_, seconds(firstMoving_), seconds(lastMoving_),
        seconds(lastMoving_) - seconds(firstMoving_));
    if (disturbedAt_) {
      std::printf(", disturbed at %.2f s at (%.3f, %.3f)", seconds(*disturbedAt_), disturbedFrom_.x,
                  disturbedFrom_.y);
    }
    if (mode_ == "clock") {
      std::printf(
          ", first command stamped %.3f s with /clock at %.3f s (%s), first command after the "
          "step stamped %.3f s with /clock at %.3f s, %.3f s after the step; longest run of zero "
          "commands in the 2 s after the step %.3f s",
          firstStamp_, clockAtFirstStamp_, firstStampBeforeClock_ ? "before any /clock" : "after",
          stampAfterStep_, clockAtStampAfterStep_, stampAfterStepDelay_, longestZeroAfterStep_);
    }
    std::printf("; worst diagnostics: level %d, '%s'\n", worstLevel_, worstDiagnostic_.c_str());
  }

 private:
  double seconds(std::optional<Clock::time_point> at) const {
    return at ? std::chrono::duration<double>(*at - started_).count() : -1.0;
  }

  void tick(Clock::time_point now) {
    for (const auto& written : odomIn_.takeWithWriters()) {
      if (written.writer != ownWriter_) {
        onOdometry(written.message, now);
      }
    }
    if (commands_) {
      for (const auto& twist : commands_->take()) {
        onCommand(twist, now, std::nullopt);
      }
    } else {
      for (const auto& twist : stamped_->take()) {
        onCommand(twist.twist, now, twist.header.stamp);
      }
    }
    for (const auto& array : diagnostics_.take()) {
      for (const auto& status : array.status) {
        if (status.level > worstLevel_) {
          worstLevel_ = status.level;
          worstDiagnostic_ = status.message;
        }
      }
    }
    disturb(now);
  }

  void onOdometry(const nav_msgs::msg::Odometry& odometry, Clock::time_point now) {
    latest_ = odometry;
    const Point p{odometry.pose.pose.position.x, odometry.pose.pose.position.y};
    largestDistance_ = std::max(largestDistance_, distanceToRoute(p, route_));
    if (!disturbedAt_ && std::hypot(p.x - route_.front().x, p.y - route_.front().y) >= kAlong &&
        mode_ != "observe" && mode_ != "amcl-tf" && mode_ != "amcl-topic") {
      disturbedAt_ = now;
      disturbedFrom_ = p;
      if (mode_ == "clock") {
        clockOffset_ -= 100.0;
        stepAt_ = now;
      }
    }
    if (mode_ == "amcl-tf" || mode_ == "clock") {
      const auto stamp = mode_ == "clock" ? timeOf(simNow(now)) : odometry.header.stamp;
      tf2_msgs::msg::TFMessage message;
      message.transforms.push_back(transformOf("odom", "base_link", odometry.pose.pose, stamp));
      tf_.publish(message);
    }
  }

  double simNow(Clock::time_point now) const {
    return clockOffset_ + std::chrono::duration<double>(now - started_).count();
  }

  void onCommand(const geometry_msgs::msg::Twist& twist, Clock::time_point now,
                 std::optional<builtin_interfaces::msg::Time> stamp) {
    const bool moving = twist.linear.x != 0.0 || twist.angular.z != 0.0;
    if (moving) {
      if (!firstMoving_) {
        firstMoving_ = now;
      }
      if (lastMoving_ && wasZero_) {
        ++stops_;
      }
      lastMoving_ = now;
      wasZero_ = false;
    } else if (firstMoving_) {
      if (!wasZero_) {
        zeroSince_ = now;
      }
      wasZero_ = true;
      if (stepAt_ && now - *stepAt_ <= 2s) {
        longestZeroAfterStep_ = std::max(longestZeroAfterStep_,
                                         std::chrono::duration<double>(now - zeroSince_).count());
      }
    }
    if (stamp) {
      if (firstStamp_ < 0.0) {
        firstStamp_ = secondsOf(*stamp);
        clockAtFirstStamp_ = lastClockSent_;
        firstStampBeforeClock_ = lastClockSent_ < 0.0;
      }
      if (stepAt_ && stampAfterStep_ < 0.0 && secondsOf(*stamp) < lastClockBeforeStep_) {
        stampAfterStep_ = secondsOf(*stamp);
        clockAtStampAfterStep_ = lastClockSent_;
        stampAfterStepDelay_ = std::chrono::duration<double>(now - *stepAt_).count();
      }
    }
  }

  void disturb(Clock::time_point now) {
    if (mode_ == "stray" && disturbedAt_ && now - *disturbedAt_ < 3s) {
      nav_msgs::msg::Odometry stray;
      stray.header.stamp = wire::wallClockStamp();
      stray.header.frame_id = "odom";
      stray.child_frame_id = "base_link";
      stray.pose.pose.position.x = 5.0;
      stray.pose.pose.position.y = 5.0;
      if (now - lastStray_ >= 20ms) {
        odomOut_->publish(stray);
        lastStray_ = now;
      }
    }
    if ((mode_ == "amcl-tf" || mode_ == "amcl-topic") && latest_ && now - lastAmcl_ >= 500ms) {
      lastAmcl_ = now;
      if (mode_ == "amcl-tf") {
        geometry_msgs::msg::Pose identity;
        const double ahead = secondsOf(latest_->header.stamp) + 1.0;
        tf2_msgs::msg::TFMessage message;
        message.transforms.push_back(transformOf("map", "odom", identity, timeOf(ahead)));
        tf_.publish(message);
      } else {
        geometry_msgs::msg::PoseWithCovarianceStamped pose;
        pose.header = latest_->header;
        pose.pose.pose = latest_->pose.pose;
        amcl_.publish(pose);
      }
    }
    if (mode_ == "clock") {
      if (!stepAt_) {
        lastClockBeforeStep_ = simNow(now);
      }
      rosgraph_msgs::msg::Clock clock;
      clock.clock = timeOf(simNow(now));
      clock_.publish(clock);
      lastClockSent_ = simNow(now);
    }
  }

  std::string mode_;
  std::vector<Point> route_;
  wire::Participant participant_;
  wire::Subscription<nav_msgs::msg::Odometry> odomIn_;
  // Only the stray run has a second odometry writer, which discovery would show in every run.
  std::optional<wire::Publisher<nav_msgs::msg::Odometry>> odomOut_;
  wire::Publisher<tf2_msgs::msg::TFMessage> tf_;
  wire::Publisher<geometry_msgs::msg::PoseWithCovarianceStamped> amcl_;
  wire::Publisher<rosgraph_msgs::msg::Clock> clock_;
  wire::Subscription<diagnostic_msgs::msg::DiagnosticArray> diagnostics_;
  std::string worstDiagnostic_;
  int worstLevel_ = -1;
  std::optional<wire::Subscription<geometry_msgs::msg::Twist>> commands_;
  std::optional<wire::Subscription<geometry_msgs::msg::TwistStamped>> stamped_;
  wire::Guid ownWriter_{};

  Clock::time_point started_{};
  std::optional<nav_msgs::msg::Odometry> latest_;
  double largestDistance_ = 0.0;
  std::optional<Clock::time_point> disturbedAt_;
  Point disturbedFrom_{0.0, 0.0};
  Clock::time_point lastStray_{};
  Clock::time_point lastAmcl_{};
  std::optional<Clock::time_point> firstMoving_;
  std::optional<Clock::time_point> lastMoving_;
  bool wasZero_ = false;
  Clock::time_point zeroSince_{};
  int stops_ = 0;
  double clockOffset_ = 1000.0;
  std::optional<Clock::time_point> stepAt_;
  double lastClockSent_ = -1.0;
  double lastClockBeforeStep_ = 0.0;
  double firstStamp_ = -1.0;
  double clockAtFirstStamp_ = -1.0;
  bool firstStampBeforeClock_ = false;
  double stampAfterStep_ = -1.0;
  double clockAtStampAfterStep_ = -1.0;
  double stampAfterStepDelay_ = -1.0;
  double longestZeroAfterStep_ = 0.0;
};

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc < 4 || (argc - 2) % 2 != 0) {
      std::fprintf(stderr, "usage: node_nav2_probe MODE X Y X Y ...\n");
      return 2;
    }
    std::vector<Point> route;
    for (int i = 2; i + 1 < argc; i += 2) {
      route.push_back({std::stod(argv[i]), std::stod(argv[i + 1])});
    }
    const auto& stop = common::stopOnSignals();
    Probe probe(argv[1], route);
    probe.run(stop);
    probe.report();
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "node_nav2_probe: %s\n", error.what());
    return 1;
  }
}
