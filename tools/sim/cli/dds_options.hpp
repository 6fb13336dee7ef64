#pragma once

// trelvo-sim --dds: the simulated vehicle as a process on a ROS 2 network, in real time.

#include <cstdint>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace sim {

struct DdsSettings {
  std::uint32_t domain = 0;    // ROS_DOMAIN_ID unless --domain
  std::string nameSpace;       // empty: topics at the root, /cmd_vel
  bool stamped = false;        // cmd_vel carries TwistStamped instead of Twist
  double odometryRate = 50.0;  // Hz, steps of the vehicle and odometry published
  double duration = 0.0;       // s of wall time; 0: until SIGINT or SIGTERM
  bool startGiven = false;     // --start was given; else the vehicle starts where the route does,
                               // or at the origin facing +x
};

/// Adds --dds and its options to `app` as a group of their own. After parsing, `dds` holds the
/// settings when --dds was given; the options that do not go with it (or only go with it) throw
/// UsageError, as does a bad ROS_DOMAIN_ID when --domain is not given.
void addDdsOptions(CLI::App& app, std::optional<DdsSettings>& dds);

}  // namespace sim
