// The bytes the wire puts on the network are those ROS 2's middleware (rmw_cyclonedds) sends:
// encapsulation header "00 01 00 00" (plain CDR, little endian), then the fields with 4- and
// 8-byte alignment counted from the end of that header, strings as a length that counts the
// closing NUL followed by the characters and the NUL, sequences as a count followed by the
// elements. The bytes are taken from Cyclone DDS itself: a reader in the same participant takes
// the serialized sample the writer made (dds_takecdr). Padding bytes are zero as Cyclone writes
// them; receivers skip them.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "cyclone_bytes.hpp"

namespace {

using cyclone_bytes::Bytes;
using cyclone_bytes::bytesOnTheWire;

TEST(WireBytes, TwistIsTheHeaderAndSixLittleEndianDoubles) {
  geometry_msgs::msg::Twist twist;
  twist.linear.x = 1.5;
  twist.angular.z = -0.25;

  const Bytes expected = {
      0x00, 0x01, 0x00, 0x00,                          // plain CDR, little endian
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf8, 0x3f,  // linear.x 1.5
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // linear.y
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // linear.z
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // angular.x
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // angular.y
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xd0, 0xbf,  // angular.z -0.25
  };
  EXPECT_EQ(bytesOnTheWire(twist), expected);
}

geometry_msgs::msg::PoseStamped stampedPose(int32_t sec, uint32_t nanosec, const char* frame,
                                            double x, double y, double qz, double qw) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.stamp.sec = sec;
  pose.header.stamp.nanosec = nanosec;
  pose.header.frame_id = frame;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.z = qz;
  pose.pose.orientation.w = qw;
  return pose;
}

TEST(WireBytes, PathAlignsEachPoseAfterItsHeaderString) {
  nav_msgs::msg::Path path;
  path.header.stamp.sec = 12;
  path.header.stamp.nanosec = 500000000;
  path.header.frame_id = "map";
  path.poses.push_back(stampedPose(13, 0, "map", 1.0, 2.0, 0.0, 1.0));
  path.poses.push_back(stampedPose(14, 250000000, "", 4.0, 2.0, 1.0, 0.0));

  // Offsets in the comments count from the end of the encapsulation header.
  const Bytes expected = {
      0x00, 0x01, 0x00, 0x00,                          // plain CDR, little endian
      0x0c, 0x00, 0x00, 0x00,                          // 0: header.stamp.sec 12
      0x00, 0x65, 0xcd, 0x1d,                          // 4: header.stamp.nanosec 500000000
      0x04, 0x00, 0x00, 0x00, 'm',  'a',  'p',  0x00,  // 8: frame_id "map", 3 + NUL
      0x02, 0x00, 0x00, 0x00,                          // 16: two poses
      0x0d, 0x00, 0x00, 0x00,                          // 20: poses[0] stamp.sec 13
      0x00, 0x00, 0x00, 0x00,                          // 24: stamp.nanosec 0
      0x04, 0x00, 0x00, 0x00, 'm',  'a',  'p',  0x00,  // 28: frame_id "map"
      0x00, 0x00, 0x00, 0x00,                          // 36: padding to 8
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf0, 0x3f,  // 40: position.x 1.0
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40,  // 48: position.y 2.0
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 56: position.z
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 64: orientation.x
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 72: orientation.y
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 80: orientation.z
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf0, 0x3f,  // 88: orientation.w 1.0
      0x0e, 0x00, 0x00, 0x00,                          // 96: poses[1] stamp.sec 14
      0x80, 0xb2, 0xe6, 0x0e,                          // 100: stamp.nanosec 250000000
      0x01, 0x00, 0x00, 0x00, 0x00,                    // 104: frame_id "", the NUL alone
      0x00, 0x00, 0x00,                                // 109: padding to 8
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x40,  // 112: position.x 4.0
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40,  // 120: position.y 2.0
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 128: position.z
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 136: orientation.x
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 144: orientation.y
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf0, 0x3f,  // 152: orientation.z 1.0
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 160: orientation.w 0.0
  };
  EXPECT_EQ(bytesOnTheWire(path), expected);
}

diagnostic_msgs::msg::KeyValue keyValue(const char* key, const char* value) {
  diagnostic_msgs::msg::KeyValue pair;
  pair.key = key;
  pair.value = value;
  return pair;
}

TEST(WireBytes, DiagnosticArrayNestsKeyValuesInEachStatus) {
  diagnostic_msgs::msg::DiagnosticArray array;
  array.header.stamp.sec = 5;
  diagnostic_msgs::msg::DiagnosticStatus warning;
  warning.level = diagnostic_msgs::msg::DiagnosticStatus::WARN;
  warning.name = "n";
  warning.message = "ok";
  warning.values.push_back(keyValue("k", "vv"));
  warning.values.push_back(keyValue("", "x"));
  array.status.push_back(warning);
  array.status.emplace_back();  // level OK, empty strings, no key-values

  // Offsets in the comments count from the end of the encapsulation header.
  const Bytes expected = {
      0x00, 0x01, 0x00, 0x00,                    // plain CDR, little endian
      0x05, 0x00, 0x00, 0x00,                    // 0: header.stamp.sec 5
      0x00, 0x00, 0x00, 0x00,                    // 4: header.stamp.nanosec 0
      0x01, 0x00, 0x00, 0x00, 0x00,              // 8: frame_id "", the NUL alone
      0x00, 0x00, 0x00,                          // 13: padding to 4
      0x02, 0x00, 0x00, 0x00,                    // 16: two statuses
      0x01,                                      // 20: status[0].level WARN, one byte
      0x00, 0x00, 0x00,                          // 21: padding to 4
      0x02, 0x00, 0x00, 0x00, 'n',  0x00,        // 24: name "n"
      0x00, 0x00,                                // 30: padding to 4
      0x03, 0x00, 0x00, 0x00, 'o',  'k',  0x00,  // 32: message "ok"
      0x00,                                      // 39: padding to 4
      0x01, 0x00, 0x00, 0x00, 0x00,              // 40: hardware_id ""
      0x00, 0x00, 0x00,                          // 45: padding to 4
      0x02, 0x00, 0x00, 0x00,                    // 48: two key-values
      0x02, 0x00, 0x00, 0x00, 'k',  0x00,        // 52: values[0].key "k"
      0x00, 0x00,                                // 58: padding to 4
      0x03, 0x00, 0x00, 0x00, 'v',  'v',  0x00,  // 60: values[0].value "vv"
      0x00,                                      // 67: padding to 4
      0x01, 0x00, 0x00, 0x00, 0x00,              // 68: values[1].key ""
      0x00, 0x00, 0x00,                          // 73: padding to 4
      0x02, 0x00, 0x00, 0x00, 'x',  0x00,        // 76: values[1].value "x"
      0x00,                                      // 82: status[1].level OK, right after
      0x00,                                      // 83: padding to 4
      0x01, 0x00, 0x00, 0x00, 0x00,              // 84: name ""
      0x00, 0x00, 0x00,                          // 89: padding to 4
      0x01, 0x00, 0x00, 0x00, 0x00,              // 92: message ""
      0x00, 0x00, 0x00,                          // 97: padding to 4
      0x01, 0x00, 0x00, 0x00, 0x00,              // 100: hardware_id ""
      0x00, 0x00, 0x00,                          // 105: padding to 4
      0x00, 0x00, 0x00, 0x00,                    // 108: no key-values
  };
  EXPECT_EQ(bytesOnTheWire(array), expected);
}

TEST(WireBytes, LaserScanIsFloatsAndTwoFloatSequences) {
  sensor_msgs::msg::LaserScan scan;
  scan.header.stamp.sec = 7;
  scan.header.frame_id = "laser";
  scan.angle_min = -0.5F;
  scan.angle_max = 0.5F;
  scan.angle_increment = 0.5F;
  scan.range_min = 0.5F;
  scan.range_max = 2.0F;
  scan.ranges = {1.0F, std::numeric_limits<float>::infinity(), 2.0F};

  // Offsets in the comments count from the end of the encapsulation header.
  const Bytes expected = {
      0x00, 0x01, 0x00, 0x00,                                 // plain CDR, little endian
      0x07, 0x00, 0x00, 0x00,                                 // 0: header.stamp.sec 7
      0x00, 0x00, 0x00, 0x00,                                 // 4: header.stamp.nanosec 0
      0x06, 0x00, 0x00, 0x00, 'l', 'a', 's', 'e', 'r', 0x00,  // 8: frame_id "laser"
      0x00, 0x00,                                             // 18: padding to 4
      0x00, 0x00, 0x00, 0xbf,                                 // 20: angle_min -0.5
      0x00, 0x00, 0x00, 0x3f,                                 // 24: angle_max 0.5
      0x00, 0x00, 0x00, 0x3f,                                 // 28: angle_increment 0.5
      0x00, 0x00, 0x00, 0x00,                                 // 32: time_increment
      0x00, 0x00, 0x00, 0x00,                                 // 36: scan_time
      0x00, 0x00, 0x00, 0x3f,                                 // 40: range_min 0.5
      0x00, 0x00, 0x00, 0x40,                                 // 44: range_max 2.0
      0x03, 0x00, 0x00, 0x00,                                 // 48: three ranges
      0x00, 0x00, 0x80, 0x3f,                                 // 52: 1.0
      0x00, 0x00, 0x80, 0x7f,                                 // 56: infinity, no return
      0x00, 0x00, 0x00, 0x40,                                 // 60: 2.0
      0x00, 0x00, 0x00, 0x00,                                 // 64: no intensities
  };
  EXPECT_EQ(bytesOnTheWire(scan), expected);
}

}  // namespace
