#include "wire/sensor_conversions.hpp"

#include "wire/conversions.hpp"
#include "wire/sample_sequences.hpp"

namespace wire {
namespace {

std::vector<float> toVector(const dds_sequence_float& sequence) {
  return std::vector<float>(sequence._buffer, sequence._buffer + sequence._length);
}

}  // namespace

sensor_msgs::msg::LaserScan toRos(const sensor_msgs_msg_dds__LaserScan_& sample) {
  sensor_msgs::msg::LaserScan message;
  message.header = toRos(sample.header);
  message.angle_min = sample.angle_min;
  message.angle_max = sample.angle_max;
  message.angle_increment = sample.angle_increment;
  message.time_increment = sample.time_increment;
  message.scan_time = sample.scan_time;
  message.range_min = sample.range_min;
  message.range_max = sample.range_max;
  message.ranges = toVector(sample.ranges);
  message.intensities = toVector(sample.intensities);
  return message;
}

LaserScanSample::LaserScanSample(const sensor_msgs::msg::LaserScan& message)
    : ranges_(message.ranges.begin(), message.ranges.end()),
      intensities_(message.intensities.begin(), message.intensities.end()),
      sample_{} {
  sample_.header = toSample(message.header);
  sample_.angle_min = message.angle_min;
  sample_.angle_max = message.angle_max;
  sample_.angle_increment = message.angle_increment;
  sample_.time_increment = message.time_increment;
  sample_.scan_time = message.scan_time;
  sample_.range_min = message.range_min;
  sample_.range_max = message.range_max;
  sample_.ranges = lent<dds_sequence_float>(ranges_);
  sample_.intensities = lent<dds_sequence_float>(intensities_);
}

}  // namespace wire
