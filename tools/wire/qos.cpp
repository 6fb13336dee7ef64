#include "wire/qos.hpp"

namespace wire {

namespace {

constexpr int32_t kRosDefaultDepth = 10;
constexpr int32_t kBondWriterDepth = 5;
constexpr int32_t kBondReaderDepth = 100;
// tf2_ros's listeners keep the last 100 transform messages of /tf and of /tf_static.
constexpr int32_t kTfDepth = 100;

// The profile rmw_cyclonedds gives ROS 2's default QoS, with plain CDR (XCDR1) as ROS 2 sends.
Qos rosDefaultQos() {
  Qos qos(dds_create_qos(), &dds_delete_qos);
  dds_qset_reliability(qos.get(), DDS_RELIABILITY_RELIABLE, DDS_INFINITY);
  dds_qset_durability(qos.get(), DDS_DURABILITY_VOLATILE);
  dds_qset_history(qos.get(), DDS_HISTORY_KEEP_LAST, kRosDefaultDepth);
  // ROS 2's samples are not instances: a writer that goes away disposes of nothing.
  dds_qset_writer_data_lifecycle(qos.get(), false);
  const dds_data_representation_id_t xcdr1 = DDS_DATA_REPRESENTATION_XCDR1;
  dds_qset_data_representation(qos.get(), 1, &xcdr1);
  return qos;
}

}  // namespace

Qos pathQos() {
  return rosDefaultQos();
}

Qos commandQos() {
  return rosDefaultQos();
}

Qos poseSourceQos() {
  Qos qos = rosDefaultQos();
  dds_qset_reliability(qos.get(), DDS_RELIABILITY_BEST_EFFORT, 0);
  return qos;
}

Qos sensorDataQos() {
  Qos qos = rosDefaultQos();
  dds_qset_reliability(qos.get(), DDS_RELIABILITY_BEST_EFFORT, 0);
  dds_qset_history(qos.get(), DDS_HISTORY_KEEP_LAST, 5);
  return qos;
}

Qos commandEchoQos() {
  Qos qos = rosDefaultQos();
  dds_qset_reliability(qos.get(), DDS_RELIABILITY_BEST_EFFORT, 0);
  dds_qset_history(qos.get(), DDS_HISTORY_KEEP_LAST, 1);
  dds_qset_ignorelocal(qos.get(), DDS_IGNORELOCAL_PARTICIPANT);
  return qos;
}

Qos clockQos() {
  Qos qos = rosDefaultQos();
  dds_qset_reliability(qos.get(), DDS_RELIABILITY_BEST_EFFORT, 0);
  dds_qset_history(qos.get(), DDS_HISTORY_KEEP_LAST, 1);
  return qos;
}

Qos odometryQos() {
  return rosDefaultQos();
}

Qos tfQos() {
  Qos qos = rosDefaultQos();
  dds_qset_history(qos.get(), DDS_HISTORY_KEEP_LAST, kTfDepth);
  return qos;
}

Qos tfStaticQos() {
  Qos qos = tfQos();
  dds_qset_durability(qos.get(), DDS_DURABILITY_TRANSIENT_LOCAL);
  return qos;
}

Qos statusQos() {
  return rosDefaultQos();
}

Qos goalStatusQos() {
  Qos qos = rosDefaultQos();
  dds_qset_durability(qos.get(), DDS_DURABILITY_TRANSIENT_LOCAL);
  dds_qset_history(qos.get(), DDS_HISTORY_KEEP_LAST, 1);
  return qos;
}

Qos bondWriterQos() {
  Qos qos = rosDefaultQos();
  dds_qset_history(qos.get(), DDS_HISTORY_KEEP_LAST, kBondWriterDepth);
  return qos;
}

Qos bondReaderQos() {
  Qos qos = rosDefaultQos();
  dds_qset_history(qos.get(), DDS_HISTORY_KEEP_LAST, kBondReaderDepth);
  return qos;
}

Qos speedLimitQos() {
  return rosDefaultQos();
}

Qos serviceQos() {
  return rosDefaultQos();
}

std::string qosText(const dds_qos_t* qos) {
  dds_reliability_kind_t reliability = DDS_RELIABILITY_BEST_EFFORT;
  dds_duration_t blocking = 0;
  dds_durability_kind_t durability = DDS_DURABILITY_VOLATILE;
  dds_history_kind_t history = DDS_HISTORY_KEEP_LAST;
  int32_t depth = 1;
  dds_qget_reliability(qos, &reliability, &blocking);
  dds_qget_durability(qos, &durability);
  dds_qget_history(qos, &history, &depth);
  std::string text = reliability == DDS_RELIABILITY_RELIABLE ? "reliable" : "best effort";
  text += durability == DDS_DURABILITY_TRANSIENT_LOCAL ? ", transient local" : ", volatile";
  text += history == DDS_HISTORY_KEEP_ALL ? ", keep all" : ", keep last " + std::to_string(depth);
  return text;
}

}  // namespace wire
