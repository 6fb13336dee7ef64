#include "wire/qos.hpp"

namespace wire {

namespace {

constexpr int32_t kRosDefaultDepth = 10;

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

Qos odometryQos() {
  return rosDefaultQos();
}

Qos statusQos() {
  return rosDefaultQos();
}

}  // namespace wire
