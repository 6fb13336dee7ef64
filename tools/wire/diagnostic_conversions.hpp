#pragma once

// Conversions between the DDS samples of diagnostic_msgs/msg/DiagnosticArray and the ROS 2 C++
// message. An array holds a sequence of statuses, each with a sequence of key-values: its sample
// is made by DiagnosticArraySample, which owns both levels of sequences and borrows the strings
// of the message (valid while that message lives and is not changed).

#include <diagnostic_msgs/msg/diagnostic_array.hpp>
#include <vector>

#include "diagnostic_msgs/msg/DiagnosticArray.h"

namespace wire {

diagnostic_msgs::msg::DiagnosticArray toRos(
    const diagnostic_msgs_msg_dds__DiagnosticArray_& sample);

/// The sample of a diagnostic array, with the sequences it points into.
class DiagnosticArraySample {
 public:
  explicit DiagnosticArraySample(const diagnostic_msgs::msg::DiagnosticArray& message);
  DiagnosticArraySample(const DiagnosticArraySample&) = delete;
  DiagnosticArraySample& operator=(const DiagnosticArraySample&) = delete;

  const diagnostic_msgs_msg_dds__DiagnosticArray_& sample() const { return sample_; }

 private:
  std::vector<std::vector<diagnostic_msgs_msg_dds__KeyValue_>> values_;
  std::vector<diagnostic_msgs_msg_dds__DiagnosticStatus_> statuses_;
  diagnostic_msgs_msg_dds__DiagnosticArray_ sample_;
};

}  // namespace wire
