// The ROS 2 messages of the Fast DDS peer (fastdds_ros_types.hpp) against Cyclone DDS's: the bytes
// Fast CDR writes are those Cyclone DDS puts on the wire, header and padding included, and what
// Cyclone DDS writes reads back as the message sent. Each field holds a value of its own, so that
// a field out of place or a misaligned double shows.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

// Fast DDS's headers first: Cyclone DDS's define macros (PID_PAD, ...) that name constants of
// Fast DDS.
#include "fastdds_ros_types.hpp"

#include "cyclone_bytes.hpp"

namespace {

using cyclone_bytes::Bytes;
using eprosima::fastrtps::rtps::SerializedPayload_t;

// Fast DDS's CDR_LE, spelled out: Cyclone DDS's headers give the name a value of their own.
constexpr std::uint16_t kPlainCdrLittleEndian = 0x0001;

template <typename Message>
void expectTheBytesOfCyclone(Message message) {
  const Bytes cyclone = cyclone_bytes::bytesOnTheWire(message);
  fastdds_ros::RosType<Message> type;

  SerializedPayload_t sent(type.getSerializedSizeProvider(&message)());
  ASSERT_TRUE(type.serialize(&message, &sent));
  EXPECT_EQ(sent.encapsulation, kPlainCdrLittleEndian);
  EXPECT_EQ(Bytes(sent.data, sent.data + sent.length), cyclone);

  SerializedPayload_t received(static_cast<std::uint32_t>(cyclone.size()));
  std::memcpy(received.data, cyclone.data(), cyclone.size());
  received.length = static_cast<std::uint32_t>(cyclone.size());
  Message read;
  ASSERT_TRUE(type.deserialize(&received, &read));
  EXPECT_EQ(read, message);
}

geometry_msgs::msg::PoseStamped poseNumbered(double first, const char* frame) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.stamp.sec = static_cast<int32_t>(first);
  pose.header.stamp.nanosec = static_cast<uint32_t>(first * 1000);
  pose.header.frame_id = frame;
  pose.pose.position.x = first + 1;
  pose.pose.position.y = first + 2;
  pose.pose.position.z = first + 3;
  pose.pose.orientation.x = first + 4;
  pose.pose.orientation.y = first + 5;
  pose.pose.orientation.z = first + 6;
  pose.pose.orientation.w = first + 7;
  return pose;
}

TEST(FastddsTypes, TwistIsWrittenAsCycloneWritesIt) {
  geometry_msgs::msg::Twist twist;
  twist.linear.x = 0.25;
  twist.linear.y = -1.5;
  twist.linear.z = 3.0;
  twist.angular.x = -4.0;
  twist.angular.y = 5.5;
  twist.angular.z = -0.75;
  expectTheBytesOfCyclone(twist);
}

// Frame names of 0, 3 and 4 characters move the doubles after them on to three different
// 8-byte boundaries.
TEST(FastddsTypes, PathIsWrittenAsCycloneWritesIt) {
  nav_msgs::msg::Path path;
  path.header.stamp.sec = -3;
  path.header.stamp.nanosec = 999999999;
  path.header.frame_id = "odom";
  path.poses = {poseNumbered(10, "map"), poseNumbered(20, ""), poseNumbered(30, "odom")};
  expectTheBytesOfCyclone(path);
}

TEST(FastddsTypes, OdometryIsWrittenAsCycloneWritesIt) {
  nav_msgs::msg::Odometry odometry;
  odometry.header = poseNumbered(40, "odom").header;
  odometry.child_frame_id = "base_link";
  odometry.pose.pose = poseNumbered(50, "").pose;
  for (std::size_t i = 0; i < 36; ++i) {
    odometry.pose.covariance[i] = 100.0 + i;
    odometry.twist.covariance[i] = -200.0 - i;
  }
  odometry.twist.twist.linear.x = 0.5;
  odometry.twist.twist.linear.y = 0.125;
  odometry.twist.twist.angular.z = -0.0625;
  expectTheBytesOfCyclone(odometry);
}

}  // namespace
