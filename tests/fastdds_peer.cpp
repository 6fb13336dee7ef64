// A planner and a vehicle on Fast DDS, the way ROS 2 programs on rmw_fastrtps appear on the wire:
// it publishes a path on rt/plan (ROS 2's default QoS), drives a kinematic unicycle under the
// commands of rt/cmd_vel (default QoS) and publishes its odometry on rt/odom at 20 Hz, as a
// sensor driver does (best effort, keep last 5).
//
//   fastdds_peer DOMAIN TIME_LIMIT_S X Y DEG [X Y DEG ...]
//
// The vehicle starts at the first pose. Once a node is matched (a subscriber of the plan, a
// publisher of commands) the path is sent, and again each second until a command moves the
// vehicle. Once the vehicle stands within 0.05 m and 5 degrees of the last pose, a second path
// leads 2 m straight on from there, so that the node is driving when it is stopped. On SIGTERM or
// SIGINT it prints what it saw and exits with 0; at the time limit with 1. Times are the steady
// clock's, in nanoseconds, comparable with those of other processes on the machine. The
// participant takes its settings from the XML profile in FASTRTPS_DEFAULT_PROFILES_FILE, which
// must replace the built-in transports (the program refuses to run otherwise, status 3).

#include <fastdds/dds/domain/DomainParticipant.hpp>
#include <fastdds/dds/domain/DomainParticipantFactory.hpp>
#include <fastdds/dds/publisher/DataWriter.hpp>
#include <fastdds/dds/publisher/Publisher.hpp>
#include <fastdds/dds/subscriber/DataReader.hpp>
#include <fastdds/dds/subscriber/DataReaderListener.hpp>
#include <fastdds/dds/subscriber/SampleInfo.hpp>
#include <fastdds/dds/subscriber/Subscriber.hpp>
#include <fastdds/dds/topic/TypeSupport.hpp>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fastdds_ros_types.hpp"

namespace {

namespace dds = eprosima::fastdds::dds;
using Clock = std::chrono::steady_clock;
using geometry_msgs::msg::Twist;

constexpr auto kStep = std::chrono::milliseconds(50);  // 20 Hz
constexpr auto kResendAfter = std::chrono::seconds(1);
constexpr double kPositionTolerance = 0.05;  // m
constexpr double kHeadingTolerance = 5.0;    // degrees
constexpr int kStandingSteps = 10;           // standing this long (0.5 s) counts as arrived
constexpr double kOnward = 2.0;              // m

std::atomic<bool> stopRequested{false};

long long nanoseconds(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

double seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double degrees(double radians) {
  return radians * 180.0 / M_PI;
}

double wrapped(double radians) {
  return std::remainder(radians, 2.0 * M_PI);
}

struct Pose {
  double x = 0.0;
  double y = 0.0;
  double heading = 0.0;  // rad
};

geometry_msgs::msg::PoseStamped stamped(const Pose& pose) {
  geometry_msgs::msg::PoseStamped out;
  out.header.frame_id = "odom";
  out.pose.position.x = pose.x;
  out.pose.position.y = pose.y;
  out.pose.orientation.z = std::sin(pose.heading / 2.0);
  out.pose.orientation.w = std::cos(pose.heading / 2.0);
  return out;
}

nav_msgs::msg::Path pathThrough(const std::vector<Pose>& poses) {
  nav_msgs::msg::Path path;
  path.header.frame_id = "odom";
  for (const Pose& pose : poses) {
    path.poses.push_back(stamped(pose));
  }
  return path;
}

bool isZero(const Twist& twist) {
  return twist.linear.x == 0.0 && twist.angular.z == 0.0;
}

struct ReceivedCommand {
  Clock::time_point at;
  Twist twist;
};

// Every command taken from cmd_vel, with the moment it arrived; filled by Fast DDS's listener
// thread.
class CommandLog : public dds::DataReaderListener {
 public:
  void on_data_available(dds::DataReader* reader) override {
    Twist twist;
    dds::SampleInfo info;
    while (reader->take_next_sample(&twist, &info) == ReturnCode_t::RETCODE_OK) {
      if (info.valid_data) {
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.push_back({Clock::now(), twist});
      }
    }
  }
  std::vector<ReceivedCommand> commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
  }
  Twist newest() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_.empty() ? Twist() : commands_.back().twist;
  }
  bool movedSince(Clock::time_point since) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = commands_.rbegin(); it != commands_.rend() && it->at >= since; ++it) {
      if (!isZero(it->twist)) {
        return true;
      }
    }
    return false;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<ReceivedCommand> commands_;
};

// One participant on the domain, with the QoS ROS 2 gives each of these topics.
class Peer {
 public:
  Peer(int domain, CommandLog& commands)
      : participant_(dds::DomainParticipantFactory::get_instance()->create_participant(
            domain, dds::PARTICIPANT_QOS_DEFAULT)) {
    if (participant_ == nullptr) {
      throw std::runtime_error("no Fast DDS participant");
    }
    if (participant_->get_qos().transport().use_builtin_transports) {
      throw std::runtime_error("FASTRTPS_DEFAULT_PROFILES_FILE gave no transports of its own");
    }
    publisher_ = participant_->create_publisher(dds::PUBLISHER_QOS_DEFAULT);
    subscriber_ = participant_->create_subscriber(dds::SUBSCRIBER_QOS_DEFAULT);
    plan_ = publisher_->create_datawriter(topic<nav_msgs::msg::Path>("rt/plan"),
                                          writerQos(dds::RELIABLE_RELIABILITY_QOS, 10));
    odometry_ = publisher_->create_datawriter(topic<nav_msgs::msg::Odometry>("rt/odom"),
                                              writerQos(dds::BEST_EFFORT_RELIABILITY_QOS, 5));
    dds::DataReaderQos commandQos = dds::DATAREADER_QOS_DEFAULT;
    commandQos.reliability().kind = dds::RELIABLE_RELIABILITY_QOS;
    commandQos.durability().kind = dds::VOLATILE_DURABILITY_QOS;
    commandQos.history().kind = dds::KEEP_LAST_HISTORY_QOS;
    commandQos.history().depth = 10;
    commandQos.endpoint().history_memory_policy =
        eprosima::fastrtps::rtps::PREALLOCATED_WITH_REALLOC_MEMORY_MODE;
    commandQos.data_sharing().off();
    commands_ = subscriber_->create_datareader(topic<Twist>("rt/cmd_vel"), commandQos, &commands);
    if (plan_ == nullptr || odometry_ == nullptr || commands_ == nullptr) {
      throw std::runtime_error("a Fast DDS endpoint could not be created");
    }
  }
  ~Peer() {
    participant_->delete_contained_entities();
    dds::DomainParticipantFactory::get_instance()->delete_participant(participant_);
  }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  int planSubscribers() const {
    dds::PublicationMatchedStatus status;
    plan_->get_publication_matched_status(status);
    return status.current_count;
  }
  int commandPublishers() const {
    dds::SubscriptionMatchedStatus status;
    commands_->get_subscription_matched_status(status);
    return status.current_count;
  }
  void send(nav_msgs::msg::Path path) { plan_->write(&path); }
  void publishOdometry(const Pose& pose, const Twist& twist) {
    nav_msgs::msg::Odometry odometry;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    odometry.header.stamp.sec =
        static_cast<int32_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count());
    odometry.header.stamp.nanosec = static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() % 1000000000);
    odometry.header.frame_id = "odom";
    odometry.child_frame_id = "base_link";
    odometry.pose.pose = stamped(pose).pose;
    odometry.twist.twist = twist;
    odometry_->write(&odometry);
  }

 private:
  template <typename Message>
  dds::Topic* topic(const std::string& name) {
    dds::TypeSupport type(new fastdds_ros::RosType<Message>());
    type.register_type(participant_);
    return participant_->create_topic(name, type.get_type_name(), dds::TOPIC_QOS_DEFAULT);
  }
  static dds::DataWriterQos writerQos(dds::ReliabilityQosPolicyKind reliability, int32_t depth) {
    dds::DataWriterQos qos = dds::DATAWRITER_QOS_DEFAULT;
    qos.reliability().kind = reliability;
    qos.durability().kind = dds::VOLATILE_DURABILITY_QOS;
    qos.history().kind = dds::KEEP_LAST_HISTORY_QOS;
    qos.history().depth = depth;
    qos.endpoint().history_memory_policy =
        eprosima::fastrtps::rtps::PREALLOCATED_WITH_REALLOC_MEMORY_MODE;
    qos.data_sharing().off();
    return qos;
  }

  dds::DomainParticipant* participant_;
  dds::Publisher* publisher_ = nullptr;
  dds::Subscriber* subscriber_ = nullptr;
  dds::DataWriter* plan_ = nullptr;
  dds::DataWriter* odometry_ = nullptr;
  dds::DataReader* commands_ = nullptr;
};

// A unicycle: it turns and drives exactly as commanded, along an arc over each step.
void drive(Pose& pose, const Twist& twist, double dt) {
  const double v = twist.linear.x;
  const double w = twist.angular.z;
  if (std::fabs(w) < 1e-9) {
    pose.x += v * std::cos(pose.heading) * dt;
    pose.y += v * std::sin(pose.heading) * dt;
  } else {
    pose.x += v / w * (std::sin(pose.heading + w * dt) - std::sin(pose.heading));
    pose.y -= v / w * (std::cos(pose.heading + w * dt) - std::cos(pose.heading));
  }
  pose.heading = wrapped(pose.heading + w * dt);
}

void printSummary(const Pose& pose, const std::vector<ReceivedCommand>& commands) {
  std::printf("final pose %.4f %.4f %.2f deg\n", pose.x, pose.y, degrees(pose.heading));
  std::size_t moving = 0;
  const ReceivedCommand* lastMoving = nullptr;
  for (const auto& command : commands) {
    if (!isZero(command.twist)) {
      ++moving;
      lastMoving = &command;
    }
  }
  std::printf("commands %zu received, %zu moving\n", commands.size(), moving);
  if (lastMoving != nullptr) {
    std::printf("last moving command at %lld ns\n", nanoseconds(lastMoving->at));
    if (lastMoving != &commands.back()) {
      std::printf("first zero after it at %lld ns\n", nanoseconds((lastMoving + 1)->at));
    }
  }
  if (!commands.empty()) {
    std::printf("last command %g %g at %lld ns\n", commands.back().twist.linear.x,
                commands.back().twist.angular.z, nanoseconds(commands.back().at));
  }
}

// The planner's part, one call a step: the route once a node is matched (again each second until
// a command moves the vehicle), the arrival reported and a path on sent, the node's driving on
// reported, the node's command writer reported gone.
class Planner {
 public:
  Planner(Peer& peer, const CommandLog& commands, std::vector<Pose> route)
      : peer_(peer), commands_(commands), route_(std::move(route)), started_(Clock::now()) {}

  void step(Clock::time_point now, const Pose& vehicle, const Twist& command) {
    if (!routeSent()) {
      if (peer_.planSubscribers() > 0 && peer_.commandPublishers() > 0) {
        std::printf("node matched after %.2f s\n", seconds(now - started_));
        firstSentAt_ = lastSentAt_ = now;
        peer_.send(pathThrough(route_));
      }
      return;
    }
    if (!commands_.movedSince(lastSentAt_) && now - lastSentAt_ > kResendAfter) {
      lastSentAt_ = now;
      peer_.send(pathThrough(route_));
    }
    if (!nodeLost_ && peer_.commandPublishers() == 0) {
      nodeLost_ = true;
      std::printf("node's command writer unmatched at %lld ns\n", nanoseconds(now));
    }
    if (onwardSentAt_ == Clock::time_point{}) {
      watchArrival(now, vehicle, command);
    } else if (!movingOn_ && commands_.movedSince(onwardSentAt_)) {
      movingOn_ = true;
      std::printf("moving on at %lld ns\n", nanoseconds(now));
    }
  }

 private:
  bool routeSent() const { return firstSentAt_ != Clock::time_point{}; }

  void watchArrival(Clock::time_point now, const Pose& vehicle, const Twist& command) {
    const Pose& goal = route_.back();
    const double positionError = std::hypot(vehicle.x - goal.x, vehicle.y - goal.y);
    const double headingError = std::fabs(degrees(wrapped(vehicle.heading - goal.heading)));
    const bool atGoal = positionError <= kPositionTolerance && headingError <= kHeadingTolerance;
    standing_ = atGoal && isZero(command) && commands_.movedSince(lastSentAt_) ? standing_ + 1 : 0;
    if (standing_ < kStandingSteps) {
      return;
    }
    const auto arrivedAt = now - (kStandingSteps - 1) * kStep;
    std::printf("arrived after %.2f s: position error %.4f m, heading error %.2f deg\n",
                seconds(arrivedAt - firstSentAt_), positionError, headingError);
    const Pose onward{goal.x + kOnward * std::cos(goal.heading),
                      goal.y + kOnward * std::sin(goal.heading), goal.heading};
    onwardSentAt_ = now;
    peer_.send(pathThrough({vehicle, onward}));
  }

  Peer& peer_;
  const CommandLog& commands_;
  const std::vector<Pose> route_;
  const Clock::time_point started_;
  Clock::time_point firstSentAt_{};
  Clock::time_point lastSentAt_{};
  Clock::time_point onwardSentAt_{};
  int standing_ = 0;
  bool movingOn_ = false;
  bool nodeLost_ = false;
};

std::vector<Pose> posesFrom(int argc, char** argv) {
  std::vector<Pose> poses;
  for (int i = 3; i + 2 < argc; i += 3) {
    poses.push_back(
        {std::atof(argv[i]), std::atof(argv[i + 1]), std::atof(argv[i + 2]) * M_PI / 180});
  }
  return poses;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6 || (argc - 3) % 3 != 0) {
    std::fprintf(stderr, "usage: fastdds_peer DOMAIN TIME_LIMIT_S X Y DEG [X Y DEG ...]\n");
    return 2;
  }
  const int domain = std::atoi(argv[1]);
  const auto timeLimit = std::chrono::duration<double>(std::atof(argv[2]));
  const std::vector<Pose> route = posesFrom(argc, argv);
  std::signal(SIGTERM, [](int) { stopRequested = true; });
  std::signal(SIGINT, [](int) { stopRequested = true; });
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  CommandLog commands;
  try {
    Peer peer(domain, commands);
    Planner planner(peer, commands, route);
    Pose vehicle = route.front();
    const auto started = Clock::now();
    for (auto next = started; !stopRequested && next - started < timeLimit; next += kStep) {
      const Twist command = commands.newest();
      drive(vehicle, command, std::chrono::duration<double>(kStep).count());
      peer.publishOdometry(vehicle, command);
      planner.step(Clock::now(), vehicle, command);
      std::this_thread::sleep_until(next + kStep);
    }
    printSummary(vehicle, commands.commands());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "fastdds_peer: %s\n", error.what());
    return 3;
  }
  return stopRequested ? 0 : 1;
}
