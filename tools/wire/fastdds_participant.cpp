#include "wire/fastdds_participant.hpp"

#include <fastdds/dds/domain/DomainParticipantFactory.hpp>

#include <stdexcept>
#include <string>

namespace wire {
namespace {

namespace dds = eprosima::fastdds::dds;

constexpr const char* kEnclave = "/";

}  // namespace

FastParticipant::FastParticipant(std::uint32_t domain) {
  auto* factory = dds::DomainParticipantFactory::get_instance();
  // The default QoS is the XML profile's when FASTRTPS_DEFAULT_PROFILES_FILE names one, once the
  // profiles are loaded.
  factory->load_profiles();
  dds::DomainParticipantQos qos = factory->get_default_participant_qos();
  const std::string userData = std::string("enclave=") + kEnclave + ";";
  qos.user_data().setValue(
      std::vector<eprosima::fastrtps::rtps::octet>(userData.begin(), userData.end()));
  qos.name(kEnclave);
  participant_ = factory->create_participant(static_cast<dds::DomainId_t>(domain), qos);
  if (participant_ == nullptr) {
    throw std::runtime_error("Fast DDS: creating a participant on domain " +
                             std::to_string(domain) + " failed");
  }
  publisher_ = participant_->create_publisher(dds::PUBLISHER_QOS_DEFAULT);
  subscriber_ = participant_->create_subscriber(dds::SUBSCRIBER_QOS_DEFAULT);
  if (publisher_ == nullptr || subscriber_ == nullptr) {
    deleteAll();
    throw std::runtime_error("Fast DDS: creating a publisher and a subscriber failed");
  }
}

FastParticipant::~FastParticipant() {
  deleteAll();
}

void FastParticipant::deleteAll() {
  participant_->delete_contained_entities();
  dds::DomainParticipantFactory::get_instance()->delete_participant(participant_);
}

}  // namespace wire
