// Messages cross between two participants as the node and its peers exchange them: converted
// whole, and across the QoS pairs the node relies on.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <thread>

#include "dds_loopback.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"

namespace {

using namespace std::chrono_literals;

TEST(WireLoopback, ReliablePathArrivesConverted) {
  dds_loopback::useLoopbackOnly();
  const std::uint32_t domain = dds_loopback::freeDomain();
  wire::Participant planner(domain);
  wire::Participant node(domain);
  wire::Publisher<nav_msgs::msg::Path> publisher(planner, "rt/plan", wire::pathQos().get());
  wire::Subscription<nav_msgs::msg::Path> subscription(node, "rt/plan", wire::pathQos().get());
  ASSERT_TRUE(dds_loopback::eventually([&] { return publisher.matchedSubscriptions() == 1; }));

  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  path.header.stamp.sec = 7;
  for (int i = 0; i < 3; ++i) {
    geometry_msgs::msg::PoseStamped pose;
    pose.header.frame_id = "map";
    pose.pose.position.x = 1.0 + i;
    pose.pose.position.y = -2.0 * i;
    pose.pose.orientation.z = 0.6;
    pose.pose.orientation.w = 0.8;
    path.poses.push_back(pose);
  }
  publisher.publish(path);
  EXPECT_TRUE(publisher.waitForAcknowledgement(2s));

  std::vector<nav_msgs::msg::Path> received;
  ASSERT_TRUE(dds_loopback::eventually([&] {
    for (auto& message : subscription.take()) {
      received.push_back(std::move(message));
    }
    return !received.empty();
  }));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received.front(), path);
}

TEST(WireLoopback, BestEffortPoseSourceTakesReliableOdometry) {
  dds_loopback::useLoopbackOnly();
  const std::uint32_t domain = dds_loopback::freeDomain();
  wire::Participant vehicle(domain);
  wire::Participant node(domain);
  wire::Publisher<nav_msgs::msg::Odometry> publisher(vehicle, "rt/odom", wire::odometryQos().get());
  wire::Subscription<nav_msgs::msg::Odometry> subscription(node, "rt/odom",
                                                           wire::poseSourceQos().get());
  ASSERT_TRUE(dds_loopback::eventually([&] { return subscription.matchedPublications() == 1; }));

  nav_msgs::msg::Odometry odometry;
  odometry.header.frame_id = "odom";
  odometry.child_frame_id = "base_link";
  odometry.pose.pose.position.x = 3.25;
  odometry.pose.pose.orientation.w = 1.0;
  odometry.pose.covariance[35] = 0.01;
  odometry.twist.twist.linear.x = 0.4;
  odometry.twist.covariance[0] = 0.02;
  publisher.publish(odometry);

  std::vector<nav_msgs::msg::Odometry> received;
  ASSERT_TRUE(dds_loopback::eventually([&] {
    received = subscription.take();
    return !received.empty();
  }));
  EXPECT_EQ(received.back(), odometry);
}

// Two vehicles' odometry on one topic: each pose comes with the GUID of the writer that sent it,
// as DDS names that writer, so that the node can tell a second pose source from its own.
TEST(WireLoopback, EachPoseNamesItsWriter) {
  dds_loopback::useLoopbackOnly();
  const std::uint32_t domain = dds_loopback::freeDomain();
  wire::Participant vehicles(domain);
  wire::Participant node(domain);
  wire::Publisher<nav_msgs::msg::Odometry> own(vehicles, "rt/odom", wire::odometryQos().get());
  wire::Publisher<nav_msgs::msg::Odometry> stray(vehicles, "rt/odom", wire::odometryQos().get());
  wire::Subscription<nav_msgs::msg::Odometry> subscription(node, "rt/odom",
                                                           wire::poseSourceQos().get());
  ASSERT_TRUE(dds_loopback::eventually([&] { return subscription.matchedPublications() == 2; }));
  const auto guidOf = [](const wire::Endpoint& endpoint) {
    dds_guid_t guid;
    EXPECT_EQ(dds_get_guid(endpoint.entity(), &guid), DDS_RETCODE_OK);
    wire::Guid bytes{};
    std::copy(std::begin(guid.v), std::end(guid.v), bytes.begin());
    return bytes;
  };
  nav_msgs::msg::Odometry odometry;
  odometry.pose.pose.position.x = 1.0;
  own.publish(odometry);
  odometry.pose.pose.position.x = 5.0;
  stray.publish(odometry);
  odometry.pose.pose.position.x = 1.1;
  own.publish(odometry);

  std::vector<wire::Written<nav_msgs::msg::Odometry>> received;
  ASSERT_TRUE(dds_loopback::eventually([&] {
    for (auto& written : subscription.takeWithWriters()) {
      received.push_back(std::move(written));
    }
    return received.size() >= 3;
  }));
  ASSERT_EQ(received.size(), 3u);
  for (const auto& written : received) {
    EXPECT_EQ(written.writer, guidOf(written.message.pose.pose.position.x == 5.0 ? stray : own))
        << written.message.pose.pose.position.x;
  }
  EXPECT_NE(guidOf(own), guidOf(stray));
  EXPECT_EQ(wire::guidText(guidOf(own)).size(), 32u);
}

diagnostic_msgs::msg::DiagnosticArray twoStatuses() {
  diagnostic_msgs::msg::DiagnosticArray array;
  array.header.stamp.sec = 1700000000;
  array.header.stamp.nanosec = 250;
  diagnostic_msgs::msg::DiagnosticStatus node;
  node.level = diagnostic_msgs::msg::DiagnosticStatus::ERROR;
  node.name = "robot1/trelvo_node: route";
  node.message = "no vehicle reads /robot1/cmd_vel";
  node.hardware_id = "/robot1/cmd_vel";
  for (const char* key : {"route", "leg", "state", "pose age", "command readers"}) {
    diagnostic_msgs::msg::KeyValue value;
    value.key = key;
    value.value = std::string(key) + " value";
    node.values.push_back(value);
  }
  diagnostic_msgs::msg::DiagnosticStatus stale;
  stale.level = diagnostic_msgs::msg::DiagnosticStatus::STALE;
  stale.name = "other";
  array.status = {node, stale};
  return array;
}

// The reader is a plain DDS reader of the C type, as another program would have: what it takes is
// what went on the wire, whatever the wire's own conversion back makes of it.
TEST(WireLoopback, DiagnosticArrayReachesAPlainDdsReaderWhole) {
  dds_loopback::useLoopbackOnly();
  const std::uint32_t domain = dds_loopback::freeDomain();
  wire::Participant node(domain);
  wire::Participant monitor(domain);
  wire::Publisher<diagnostic_msgs::msg::DiagnosticArray> publisher(node, "rt/diagnostics",
                                                                   wire::statusQos().get());
  const dds_entity_t topic =
      dds_create_topic(monitor.handle(), &diagnostic_msgs_msg_dds__DiagnosticArray__desc,
                       "rt/diagnostics", nullptr, nullptr);
  ASSERT_GT(topic, 0);
  const dds_entity_t reader =
      dds_create_reader(monitor.handle(), topic, wire::statusQos().get(), nullptr);
  ASSERT_GT(reader, 0);
  wire::Subscription<diagnostic_msgs::msg::DiagnosticArray> subscription(monitor, "rt/diagnostics",
                                                                         wire::statusQos().get());
  ASSERT_TRUE(dds_loopback::eventually([&] { return publisher.matchedSubscriptions() == 2; }));

  const auto sent = twoStatuses();
  publisher.publish(sent);
  EXPECT_TRUE(publisher.waitForAcknowledgement(2s));

  void* samples[1] = {nullptr};
  dds_sample_info_t info{};
  ASSERT_TRUE(dds_loopback::eventually(
      [&] { return dds_take(reader, samples, &info, 1, 1) == 1 && info.valid_data; }));
  const auto& sample = *static_cast<diagnostic_msgs_msg_dds__DiagnosticArray_*>(samples[0]);
  EXPECT_EQ(sample.header.stamp.sec, 1700000000);
  ASSERT_EQ(sample.status._length, 2u);
  const auto& first = sample.status._buffer[0];
  EXPECT_EQ(first.level, diagnostic_msgs_msg_dds__DiagnosticStatus_Constants_ERROR);
  EXPECT_STREQ(first.name, "robot1/trelvo_node: route");
  EXPECT_STREQ(first.message, "no vehicle reads /robot1/cmd_vel");
  EXPECT_STREQ(first.hardware_id, "/robot1/cmd_vel");
  ASSERT_EQ(first.values._length, 5u);
  EXPECT_STREQ(first.values._buffer[3].key, "pose age");
  EXPECT_STREQ(first.values._buffer[3].value, "pose age value");
  EXPECT_EQ(sample.status._buffer[1].level,
            diagnostic_msgs_msg_dds__DiagnosticStatus_Constants_STALE);
  EXPECT_EQ(sample.status._buffer[1].values._length, 0u);
  dds_return_loan(reader, samples, 1);

  std::vector<diagnostic_msgs::msg::DiagnosticArray> received;
  ASSERT_TRUE(dds_loopback::eventually([&] {
    received = subscription.take();
    return !received.empty();
  }));
  EXPECT_EQ(received.back(), sent);
}

geometry_msgs::msg::TransformStamped staticTransform(const char* parent, const char* child,
                                                     double x) {
  geometry_msgs::msg::TransformStamped transform;
  transform.header.frame_id = parent;
  transform.header.stamp.sec = 1700000000;
  transform.header.stamp.nanosec = 250;
  transform.child_frame_id = child;
  transform.transform.translation.x = x;
  transform.transform.translation.z = 0.3;
  transform.transform.rotation.z = 0.6;
  transform.transform.rotation.w = 0.8;
  return transform;
}

TEST(WireLoopback, TfStaticReachesASubscriptionMadeAfterEveryBroadcast) {
  dds_loopback::useLoopbackOnly();
  const std::uint32_t kDomain = dds_loopback::freeDomain();
  // As tf2_ros's static broadcasters: transient local, each keeping its one latest message.
  wire::Qos broadcast = wire::tfStaticQos();
  dds_qset_history(broadcast.get(), DDS_HISTORY_KEEP_LAST, 1);
  wire::Participant mapServer(kDomain);
  wire::Participant robotModel(kDomain);
  wire::Publisher<tf2_msgs::msg::TFMessage> mapBroadcaster(mapServer, "rt/tf_static",
                                                           broadcast.get());
  wire::Publisher<tf2_msgs::msg::TFMessage> modelBroadcaster(robotModel, "rt/tf_static",
                                                             broadcast.get());
  tf2_msgs::msg::TFMessage map;
  map.transforms.push_back(staticTransform("map", "odom", 2.0));
  tf2_msgs::msg::TFMessage model;
  model.transforms.push_back(staticTransform("base_link", "laser", 0.2));
  model.transforms.push_back(staticTransform("base_link", "imu", -0.1));
  mapBroadcaster.publish(map);
  modelBroadcaster.publish(model);

  wire::Participant node(kDomain);
  wire::Subscription<tf2_msgs::msg::TFMessage> subscription(node, "rt/tf_static",
                                                            wire::tfStaticQos().get());
  ASSERT_TRUE(dds_loopback::eventually([&] { return subscription.matchedPublications() == 2; }));
  // A node takes once per cycle: both latched messages reach its reader before the first take.
  std::this_thread::sleep_for(300ms);
  std::vector<tf2_msgs::msg::TFMessage> received;
  ASSERT_TRUE(dds_loopback::eventually([&] {
    for (auto& message : subscription.take()) {
      received.push_back(std::move(message));
    }
    return received.size() >= 2;
  }));
  ASSERT_EQ(received.size(), 2u);
  if (received[0] != map) {
    std::swap(received[0], received[1]);
  }
  EXPECT_EQ(received[0], map);
  EXPECT_EQ(received[1], model);
}

TEST(WireLoopback, PoseWithCovarianceArrivesWhole) {
  dds_loopback::useLoopbackOnly();
  const std::uint32_t kDomain = dds_loopback::freeDomain();
  wire::Participant localisation(kDomain);
  wire::Participant node(kDomain);
  wire::Publisher<geometry_msgs::msg::PoseWithCovarianceStamped> publisher(
      localisation, "rt/amcl_pose", wire::statusQos().get());
  wire::Subscription<geometry_msgs::msg::PoseWithCovarianceStamped> subscription(
      node, "rt/amcl_pose", wire::poseSourceQos().get());
  ASSERT_TRUE(dds_loopback::eventually([&] { return publisher.matchedSubscriptions() == 1; }));

  geometry_msgs::msg::PoseWithCovarianceStamped pose;
  pose.header.frame_id = "map";
  pose.header.stamp.sec = 12;
  pose.pose.pose.position.x = 4.5;
  pose.pose.pose.position.y = -1.25;
  pose.pose.pose.orientation.z = 0.6;
  pose.pose.pose.orientation.w = 0.8;
  for (std::size_t i = 0; i < pose.pose.covariance.size(); ++i) {
    pose.pose.covariance[i] = 0.01 * static_cast<double>(i);
  }
  publisher.publish(pose);

  std::vector<geometry_msgs::msg::PoseWithCovarianceStamped> received;
  ASSERT_TRUE(dds_loopback::eventually([&] {
    received = subscription.take();
    return !received.empty();
  }));
  EXPECT_EQ(received.back(), pose);
}

TEST(WireLoopback, LaserScanOnSensorDataQosArrivesWhole) {
  dds_loopback::useLoopbackOnly();
  const std::uint32_t kDomain = dds_loopback::freeDomain();
  wire::Participant driver(kDomain);
  wire::Participant node(kDomain);
  wire::Publisher<sensor_msgs::msg::LaserScan> publisher(driver, "rt/scan",
                                                         wire::sensorDataQos().get());
  wire::Subscription<sensor_msgs::msg::LaserScan> subscription(node, "rt/scan",
                                                               wire::sensorDataQos().get());
  ASSERT_TRUE(dds_loopback::eventually([&] { return publisher.matchedSubscriptions() == 1; }));

  sensor_msgs::msg::LaserScan scan;
  scan.header.frame_id = "laser";
  scan.header.stamp.sec = 3;
  scan.angle_min = -1.5F;
  scan.angle_max = 1.5F;
  scan.angle_increment = 0.01F;
  scan.time_increment = 1e-5F;
  scan.scan_time = 0.1F;
  scan.range_min = 0.1F;
  scan.range_max = 12.0F;
  for (int i = 0; i < 301; ++i) {
    scan.ranges.push_back(1.0F + 0.01F * static_cast<float>(i));
    scan.intensities.push_back(static_cast<float>(i % 7));
  }

  std::vector<sensor_msgs::msg::LaserScan> received;
  // Best effort: a scan sent before the reader was ready may be lost, so send until one arrives.
  ASSERT_TRUE(dds_loopback::eventually([&] {
    publisher.publish(scan);
    received = subscription.take();
    return !received.empty();
  }));
  EXPECT_EQ(received.back(), scan);
}

}  // namespace
