#include "wire/diagnostic_conversions.hpp"

#include "wire/conversions.hpp"
#include "wire/sample_strings.hpp"

namespace wire {
namespace {

diagnostic_msgs::msg::DiagnosticStatus toRos(
    const diagnostic_msgs_msg_dds__DiagnosticStatus_& sample) {
  diagnostic_msgs::msg::DiagnosticStatus message;
  message.level = sample.level;
  message.name = toString(sample.name);
  message.message = toString(sample.message);
  message.hardware_id = toString(sample.hardware_id);
  message.values.reserve(sample.values._length);
  for (uint32_t i = 0; i < sample.values._length; ++i) {
    diagnostic_msgs::msg::KeyValue value;
    value.key = toString(sample.values._buffer[i].key);
    value.value = toString(sample.values._buffer[i].value);
    message.values.push_back(std::move(value));
  }
  return message;
}

// A sequence over `elements`, which the caller owns: Cyclone must never free it.
template <typename Sequence, typename Element>
Sequence borrowedSequence(std::vector<Element>& elements) {
  Sequence sequence{};
  sequence._maximum = static_cast<uint32_t>(elements.size());
  sequence._length = static_cast<uint32_t>(elements.size());
  sequence._buffer = elements.data();
  sequence._release = false;
  return sequence;
}

}  // namespace

diagnostic_msgs::msg::DiagnosticArray toRos(
    const diagnostic_msgs_msg_dds__DiagnosticArray_& sample) {
  diagnostic_msgs::msg::DiagnosticArray message;
  message.header = toRos(sample.header);
  message.status.reserve(sample.status._length);
  for (uint32_t i = 0; i < sample.status._length; ++i) {
    message.status.push_back(toRos(sample.status._buffer[i]));
  }
  return message;
}

DiagnosticArraySample::DiagnosticArraySample(const diagnostic_msgs::msg::DiagnosticArray& message)
    : sample_{} {
  // Every status's key-values first: the statuses point into these vectors, which must not move.
  values_.reserve(message.status.size());
  for (const auto& status : message.status) {
    auto& values = values_.emplace_back();
    values.reserve(status.values.size());
    for (const auto& value : status.values) {
      values.push_back({borrowed(value.key), borrowed(value.value)});
    }
  }
  statuses_.reserve(message.status.size());
  for (std::size_t i = 0; i < message.status.size(); ++i) {
    const auto& status = message.status[i];
    diagnostic_msgs_msg_dds__DiagnosticStatus_ sample{};
    sample.level = status.level;
    sample.name = borrowed(status.name);
    sample.message = borrowed(status.message);
    sample.hardware_id = borrowed(status.hardware_id);
    sample.values = borrowedSequence<dds_sequence_diagnostic_msgs_msg_dds__KeyValue_>(values_[i]);
    statuses_.push_back(sample);
  }
  sample_.header = toSample(message.header);
  sample_.status =
      borrowedSequence<dds_sequence_diagnostic_msgs_msg_dds__DiagnosticStatus_>(statuses_);
}

}  // namespace wire
