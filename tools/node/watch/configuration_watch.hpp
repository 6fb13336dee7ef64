#pragma once

// Configuration mistakes that discovery shows, each told once, as one line that says what to do:
//
//   - a subscriber of the command topic with another type (TwistStamped while the node publishes
//     Twist: start with --stamped; the reverse: start without it);
//   - nobody subscribing the command topic 2 s into a route;
//   - another program writing to the command topic while this node drives: a second node drives
//     the same vehicle (one that only has a writer there, as Nav2's recoveries do, is no mistake);
//   - a publisher of the pose topic with another type (AMCL's PoseWithCovarianceStamped where the
//     node reads odometry). Two writers of poses are told by the drive, which stops for them.
//
// The node's own endpoints are passed over. A cause is told once for the life of the node; a
// missing command subscriber is told again only after one has been seen since. Types and topics
// are printed as ROS 2 tools print them ("geometry_msgs/msg/TwistStamped", "/robot1/cmd_vel").

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "wire/discovered_endpoint.hpp"

namespace node {

using Clock = std::chrono::steady_clock;

/// How long into a route the vehicle may still be missing from the command topic.
inline constexpr std::chrono::seconds kCommandSubscriberGrace{2};

/// The node's own topics by their DDS names (wire::ddsTopicName, wire::ddsTypeName).
struct WatchedTopics {
  std::string commandTopic;  // "rt/cmd_vel"
  std::string commandType;   // "geometry_msgs::msg::dds_::Twist_"
  std::string poseTopic;     // "rt/odom"
  std::string poseType;      // "nav_msgs::msg::dds_::Odometry_"
};

class ConfigurationWatch {
 public:
  explicit ConfigurationWatch(WatchedTopics topics) : topics_(std::move(topics)) {}

  /// Looks at the endpoints alive now, in a cycle where a route is driven (`driving`) or not, and
  /// at the other programs' writers (GUIDs as text) whose commands arrived since the last update;
  /// returns the warnings not given before, one line each.
  std::vector<std::string> update(const std::vector<wire::DiscoveredEndpoint>& endpoints,
                                  bool driving, Clock::time_point now,
                                  const std::vector<std::string>& commandWriters = {});

  /// The warnings whose causes stood at the last update, given then or before.
  const std::vector<std::string>& standing() const { return standing_; }

 private:
  struct Cause {
    std::string key;
    std::string line;
  };

  void watchCommandTopic(const std::vector<wire::DiscoveredEndpoint>& endpoints, bool driving,
                         Clock::time_point now, const std::vector<std::string>& commandWriters,
                         std::vector<Cause>& causes);
  void watchPoseTopic(const std::vector<wire::DiscoveredEndpoint>& endpoints,
                      std::vector<Cause>& causes) const;

  WatchedTopics topics_;
  std::optional<Clock::time_point> routeStarted_;
  std::set<std::string> given_;
  std::vector<std::string> standing_;
};

}  // namespace node
