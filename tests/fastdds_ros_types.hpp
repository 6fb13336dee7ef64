#pragma once

// ROS 2 messages as Fast DDS topic types, laid out as ROS 2's rmw_fastrtps puts them on the wire:
// DDS type names `pkg::msg::dds_::Type_`, keyless, plain CDR (encapsulation CDR_LE) written by
// Fast CDR with alignment counted from the end of the encapsulation header, no type object.

#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>
#include <fastcdr/exceptions/Exception.h>
#include <fastdds/dds/topic/TopicDataType.hpp>

#include <cstdint>
#include <functional>
#include <geometry_msgs/msg/twist.hpp>
#include <nav_msgs/msg/odometry.hpp>
#include <nav_msgs/msg/path.hpp>

namespace fastdds_ros {

using eprosima::fastcdr::Cdr;

// Each message is its fields in the order of its .msg file.
inline void write(Cdr& cdr, const builtin_interfaces::msg::Time& t) {
  cdr << t.sec << t.nanosec;
}
inline void read(Cdr& cdr, builtin_interfaces::msg::Time& t) {
  cdr >> t.sec >> t.nanosec;
}

inline void write(Cdr& cdr, const std_msgs::msg::Header& h) {
  write(cdr, h.stamp);
  cdr << h.frame_id;
}
inline void read(Cdr& cdr, std_msgs::msg::Header& h) {
  read(cdr, h.stamp);
  cdr >> h.frame_id;
}

inline void write(Cdr& cdr, const geometry_msgs::msg::Vector3& v) {
  cdr << v.x << v.y << v.z;
}
inline void read(Cdr& cdr, geometry_msgs::msg::Vector3& v) {
  cdr >> v.x >> v.y >> v.z;
}

inline void write(Cdr& cdr, const geometry_msgs::msg::Point& p) {
  cdr << p.x << p.y << p.z;
}
inline void read(Cdr& cdr, geometry_msgs::msg::Point& p) {
  cdr >> p.x >> p.y >> p.z;
}

inline void write(Cdr& cdr, const geometry_msgs::msg::Quaternion& q) {
  cdr << q.x << q.y << q.z << q.w;
}
inline void read(Cdr& cdr, geometry_msgs::msg::Quaternion& q) {
  cdr >> q.x >> q.y >> q.z >> q.w;
}

inline void write(Cdr& cdr, const geometry_msgs::msg::Pose& p) {
  write(cdr, p.position);
  write(cdr, p.orientation);
}
inline void read(Cdr& cdr, geometry_msgs::msg::Pose& p) {
  read(cdr, p.position);
  read(cdr, p.orientation);
}

inline void write(Cdr& cdr, const geometry_msgs::msg::PoseStamped& p) {
  write(cdr, p.header);
  write(cdr, p.pose);
}
inline void read(Cdr& cdr, geometry_msgs::msg::PoseStamped& p) {
  read(cdr, p.header);
  read(cdr, p.pose);
}

inline void write(Cdr& cdr, const geometry_msgs::msg::Twist& t) {
  write(cdr, t.linear);
  write(cdr, t.angular);
}
inline void read(Cdr& cdr, geometry_msgs::msg::Twist& t) {
  read(cdr, t.linear);
  read(cdr, t.angular);
}

inline void write(Cdr& cdr, const geometry_msgs::msg::PoseWithCovariance& p) {
  write(cdr, p.pose);
  cdr << p.covariance;
}
inline void read(Cdr& cdr, geometry_msgs::msg::PoseWithCovariance& p) {
  read(cdr, p.pose);
  cdr >> p.covariance;
}

inline void write(Cdr& cdr, const geometry_msgs::msg::TwistWithCovariance& t) {
  write(cdr, t.twist);
  cdr << t.covariance;
}
inline void read(Cdr& cdr, geometry_msgs::msg::TwistWithCovariance& t) {
  read(cdr, t.twist);
  cdr >> t.covariance;
}

inline void write(Cdr& cdr, const nav_msgs::msg::Odometry& o) {
  write(cdr, o.header);
  cdr << o.child_frame_id;
  write(cdr, o.pose);
  write(cdr, o.twist);
}
inline void read(Cdr& cdr, nav_msgs::msg::Odometry& o) {
  read(cdr, o.header);
  cdr >> o.child_frame_id;
  read(cdr, o.pose);
  read(cdr, o.twist);
}

// A sequence is its element count, then the elements.
inline void write(Cdr& cdr, const nav_msgs::msg::Path& p) {
  write(cdr, p.header);
  cdr << static_cast<std::uint32_t>(p.poses.size());
  for (const auto& pose : p.poses) {
    write(cdr, pose);
  }
}
inline void read(Cdr& cdr, nav_msgs::msg::Path& p) {
  read(cdr, p.header);
  std::uint32_t count = 0;
  cdr >> count;
  p.poses.clear();
  for (std::uint32_t i = 0; i < count; ++i) {
    p.poses.emplace_back();
    read(cdr, p.poses.back());
  }
}

template <typename Message>
const char* ddsTypeName();
template <>
inline const char* ddsTypeName<geometry_msgs::msg::Twist>() {
  return "geometry_msgs::msg::dds_::Twist_";
}
template <>
inline const char* ddsTypeName<nav_msgs::msg::Odometry>() {
  return "nav_msgs::msg::dds_::Odometry_";
}
template <>
inline const char* ddsTypeName<nav_msgs::msg::Path>() {
  return "nav_msgs::msg::dds_::Path_";
}

/// The Fast DDS topic type of one ROS 2 message: register it with a participant under
/// ddsTypeName<Message>().
template <typename Message>
class RosType : public eprosima::fastdds::dds::TopicDataType {
 public:
  RosType() {
    setName(ddsTypeName<Message>());
    // The first guess of a payload's size; unbounded types grow their payloads as needed.
    m_typeSize = static_cast<std::uint32_t>(serializedSize(Message()));
    m_isGetKeyDefined = false;
    auto_fill_type_object(false);
    auto_fill_type_information(false);
  }

  bool serialize(void* data, eprosima::fastrtps::rtps::SerializedPayload_t* payload) override {
    eprosima::fastcdr::FastBuffer buffer(reinterpret_cast<char*>(payload->data), payload->max_size);
    Cdr cdr(buffer, Cdr::DEFAULT_ENDIAN, Cdr::DDS_CDR);
    try {
      cdr.serialize_encapsulation();
      write(cdr, *static_cast<const Message*>(data));
    } catch (const eprosima::fastcdr::exception::Exception&) {
      return false;
    }
    payload->encapsulation = cdr.endianness() == Cdr::BIG_ENDIANNESS ? CDR_BE : CDR_LE;
    payload->length = static_cast<std::uint32_t>(cdr.getSerializedDataLength());
    return true;
  }

  bool deserialize(eprosima::fastrtps::rtps::SerializedPayload_t* payload, void* data) override {
    eprosima::fastcdr::FastBuffer buffer(reinterpret_cast<char*>(payload->data), payload->length);
    Cdr cdr(buffer, Cdr::DEFAULT_ENDIAN, Cdr::DDS_CDR);
    try {
      cdr.read_encapsulation();
      read(cdr, *static_cast<Message*>(data));
    } catch (const eprosima::fastcdr::exception::Exception&) {
      return false;
    }
    return true;
  }

  std::function<std::uint32_t()> getSerializedSizeProvider(void* data) override {
    return [data] {
      return static_cast<std::uint32_t>(serializedSize(*static_cast<const Message*>(data)));
    };
  }

  void* createData() override { return new Message(); }
  void deleteData(void* data) override { delete static_cast<Message*>(data); }
  bool getKey(void*, eprosima::fastrtps::rtps::InstanceHandle_t*, bool) override { return false; }

  /// The bytes `message` takes on the wire, encapsulation header included.
  static std::size_t serializedSize(const Message& message) {
    eprosima::fastcdr::FastBuffer growing;
    Cdr cdr(growing, Cdr::DEFAULT_ENDIAN, Cdr::DDS_CDR);
    cdr.serialize_encapsulation();
    write(cdr, message);
    return cdr.getSerializedDataLength();
  }
};

}  // namespace fastdds_ros
