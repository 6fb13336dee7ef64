#pragma once

// The QoS of each kind of topic the node reads or writes, each named after what it is for.

#include <dds/dds.h>

#include <memory>
#include <string>

namespace wire {

using Qos = std::unique_ptr<dds_qos_t, decltype(&dds_delete_qos)>;

/// Paths handed to the node: ROS 2's default profile (reliable, volatile, keep last 10), so that
/// no path is lost and none is replayed to a late subscriber.
Qos pathQos();
/// Velocity commands, sent and (by a vehicle) received: ROS 2's default profile, so that the final
/// zero command can be waited for until the vehicle has acknowledged it.
Qos commandQos();
/// Odometry and poses the node reads: best effort, which matches reliable and best-effort
/// publishers alike (sensor drivers often publish best effort); only the newest pose counts.
Qos poseSourceQos();
/// Laser scans, as ROS 2's sensor-data profile: best effort, volatile, keep last 5; a lost scan
/// is followed by a newer one.
Qos sensorDataQos();
/// Other programs' commands, read only to learn who else drives: best effort, which matches every
/// writer, keep last 1, the node's own commands ignored.
Qos commandEchoQos();
/// Odometry a vehicle publishes: ROS 2's default profile, which every subscriber matches.
Qos odometryQos();
/// Transforms on /tf, as tf2_ros's broadcasters and listeners exchange them: reliable, volatile,
/// keep last 100, so that a burst of transforms from many broadcasters is not cut to the newest.
Qos tfQos();
/// Transforms on /tf_static, as tf2_ros's static listener takes them: reliable, transient local,
/// keep last 100. Each static broadcaster keeps its one latest message (keep last 1) for
/// subscribers that come later; a subscriber that joins late receives one message from every
/// broadcaster at once, and a depth of 1 would keep only the last of them.
Qos tfStaticQos();
/// The simulated time on /clock, as ROS 2 nodes subscribe it under use_sim_time: best effort, keep
/// last 1; only the newest time counts.
Qos clockQos();
/// What the node reports (route progress, the look-ahead point): ROS 2's default profile, which
/// command-line tools and RViz subscribe with.
Qos statusQos();

/// An action's goal statuses, as rcl_action publishes them: reliable, transient local, keep last
/// 1, so that a client that comes late learns every goal's status from the last array.
Qos goalStatusQos();
/// The lifecycle manager's bond on "bond", as bondcpp's: reliable, volatile, its writer keep last
/// 5, its reader keep last 100.
Qos bondWriterQos();
Qos bondReaderQos();
/// Nav2's speed limit, as its speed filter publishes it: ROS 2's default profile (Nav2's standard
/// topic QoS), so that no change of the limit is lost.
Qos speedLimitQos();

/// Requests and replies of the services the node serves, as rmw_cyclonedds gives ROS 2's service
/// profile: reliable, volatile, keep last 10.
Qos serviceQos();

/// The QoS that matters for matching, as ROS 2 users name it: "reliable, volatile, keep last 10".
std::string qosText(const dds_qos_t* qos);

}  // namespace wire
