#pragma once

// Which DDS type carries each ROS 2 message, and how a message becomes a sample and back.
// MessageWire<M> gives: Sample (the C type), descriptor() (its DDS type, named as ROS 2 names
// it: "geometry_msgs::msg::dds_::Twist_"), fromSample(sample), and withSample(message, use),
// which hands use a sample of the message that is valid during the call.

#include <string>

#include "wire/conversions.hpp"
#include "wire/diagnostic_conversions.hpp"
#include "wire/nav2_conversions.hpp"
#include "wire/sensor_conversions.hpp"

namespace wire {

template <typename Message>
struct MessageWire;

template <typename Message, typename CSample, const dds_topic_descriptor_t* Descriptor>
struct PlainMessageWire {
  using Sample = CSample;
  static const dds_topic_descriptor_t& descriptor() { return *Descriptor; }
  static Message fromSample(const Sample& sample) { return toRos(sample); }
  template <typename Use>
  static void withSample(const Message& message, Use&& use) {
    const Sample sample = toSample(message);
    use(sample);
  }
};

template <>
struct MessageWire<geometry_msgs::msg::Twist>
    : PlainMessageWire<geometry_msgs::msg::Twist, geometry_msgs_msg_dds__Twist_,
                       &geometry_msgs_msg_dds__Twist__desc> {};

template <>
struct MessageWire<geometry_msgs::msg::TwistStamped>
    : PlainMessageWire<geometry_msgs::msg::TwistStamped, geometry_msgs_msg_dds__TwistStamped_,
                       &geometry_msgs_msg_dds__TwistStamped__desc> {};

template <>
struct MessageWire<geometry_msgs::msg::PoseStamped>
    : PlainMessageWire<geometry_msgs::msg::PoseStamped, geometry_msgs_msg_dds__PoseStamped_,
                       &geometry_msgs_msg_dds__PoseStamped__desc> {};

template <>
struct MessageWire<geometry_msgs::msg::PointStamped>
    : PlainMessageWire<geometry_msgs::msg::PointStamped, geometry_msgs_msg_dds__PointStamped_,
                       &geometry_msgs_msg_dds__PointStamped__desc> {};

template <>
struct MessageWire<geometry_msgs::msg::PoseWithCovarianceStamped>
    : PlainMessageWire<geometry_msgs::msg::PoseWithCovarianceStamped,
                       geometry_msgs_msg_dds__PoseWithCovarianceStamped_,
                       &geometry_msgs_msg_dds__PoseWithCovarianceStamped__desc> {};

template <>
struct MessageWire<nav_msgs::msg::Odometry>
    : PlainMessageWire<nav_msgs::msg::Odometry, nav_msgs_msg_dds__Odometry_,
                       &nav_msgs_msg_dds__Odometry__desc> {};

template <>
struct MessageWire<std_msgs::msg::String>
    : PlainMessageWire<std_msgs::msg::String, std_msgs_msg_dds__String_,
                       &std_msgs_msg_dds__String__desc> {};

template <>
struct MessageWire<rosgraph_msgs::msg::Clock>
    : PlainMessageWire<rosgraph_msgs::msg::Clock, rosgraph_msgs_msg_dds__Clock_,
                       &rosgraph_msgs_msg_dds__Clock__desc> {};

template <>
struct MessageWire<bond::msg::Status>
    : PlainMessageWire<bond::msg::Status, bond_msg_dds__Status_, &bond_msg_dds__Status__desc> {};

template <>
struct MessageWire<nav2_msgs::msg::SpeedLimit>
    : PlainMessageWire<nav2_msgs::msg::SpeedLimit, nav2_msgs_msg_dds__SpeedLimit_,
                       &nav2_msgs_msg_dds__SpeedLimit__desc> {};

template <>
struct MessageWire<nav_msgs::msg::Path> {
  using Sample = nav_msgs_msg_dds__Path_;
  static const dds_topic_descriptor_t& descriptor() { return nav_msgs_msg_dds__Path__desc; }
  static nav_msgs::msg::Path fromSample(const Sample& sample) { return toRos(sample); }
  template <typename Use>
  static void withSample(const nav_msgs::msg::Path& message, Use&& use) {
    const PathSample path(message);
    use(path.sample());
  }
};

template <>
struct MessageWire<tf2_msgs::msg::TFMessage> {
  using Sample = tf2_msgs_msg_dds__TFMessage_;
  static const dds_topic_descriptor_t& descriptor() { return tf2_msgs_msg_dds__TFMessage__desc; }
  static tf2_msgs::msg::TFMessage fromSample(const Sample& sample) { return toRos(sample); }
  template <typename Use>
  static void withSample(const tf2_msgs::msg::TFMessage& message, Use&& use) {
    const TFMessageSample transforms(message);
    use(transforms.sample());
  }
};

template <>
struct MessageWire<diagnostic_msgs::msg::DiagnosticArray> {
  using Sample = diagnostic_msgs_msg_dds__DiagnosticArray_;
  static const dds_topic_descriptor_t& descriptor() {
    return diagnostic_msgs_msg_dds__DiagnosticArray__desc;
  }
  static diagnostic_msgs::msg::DiagnosticArray fromSample(const Sample& sample) {
    return toRos(sample);
  }
  template <typename Use>
  static void withSample(const diagnostic_msgs::msg::DiagnosticArray& message, Use&& use) {
    const DiagnosticArraySample array(message);
    use(array.sample());
  }
};

template <>
struct MessageWire<sensor_msgs::msg::LaserScan> {
  using Sample = sensor_msgs_msg_dds__LaserScan_;
  static const dds_topic_descriptor_t& descriptor() { return sensor_msgs_msg_dds__LaserScan__desc; }
  static sensor_msgs::msg::LaserScan fromSample(const Sample& sample) { return toRos(sample); }
  template <typename Use>
  static void withSample(const sensor_msgs::msg::LaserScan& message, Use&& use) {
    const LaserScanSample scan(message);
    use(scan.sample());
  }
};

/// The DDS type name of a ROS 2 message, "geometry_msgs::msg::dds_::Twist_": what discovery
/// reports for the node's own endpoints and those of its peers.
template <typename Message>
std::string ddsTypeName() {
  return MessageWire<Message>::descriptor().m_typename;
}

}  // namespace wire
