#pragma once

// Conversions between the DDS samples of sensor_msgs/msg/LaserScan and the ROS 2 C++ message. A
// scan's sample is made by LaserScanSample, which owns copies of the ranges and intensities it
// points into and borrows the frame name of the message (valid while that message lives
// unchanged).

#include <sensor_msgs/msg/laser_scan.hpp>
#include <vector>

#include "sensor_msgs/msg/LaserScan.h"

namespace wire {

sensor_msgs::msg::LaserScan toRos(const sensor_msgs_msg_dds__LaserScan_& sample);

/// The sample of a laser scan, with the sequences it points into.
class LaserScanSample {
 public:
  explicit LaserScanSample(const sensor_msgs::msg::LaserScan& message);
  LaserScanSample(const LaserScanSample&) = delete;
  LaserScanSample& operator=(const LaserScanSample&) = delete;

  const sensor_msgs_msg_dds__LaserScan_& sample() const { return sample_; }

 private:
  std::vector<float> ranges_;
  std::vector<float> intensities_;
  sensor_msgs_msg_dds__LaserScan_ sample_;
};

}  // namespace wire
