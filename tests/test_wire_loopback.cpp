// Messages cross between two participants as the node and its peers exchange them: converted
// whole, and across the QoS pairs the node relies on.

#include <gtest/gtest.h>

#include "dds_loopback.hpp"
#include "wire/endpoints.hpp"
#include "wire/qos.hpp"

namespace {

using namespace std::chrono_literals;

TEST(WireLoopback, ReliablePathArrivesConverted) {
  dds_loopback::useLoopbackOnly();
  wire::Participant planner(215);
  wire::Participant node(215);
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
  wire::Participant vehicle(216);
  wire::Participant node(216);
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

}  // namespace
