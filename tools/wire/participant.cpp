#include "wire/participant.hpp"

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "wire/dds_error.hpp"

namespace wire {

std::uint32_t domainFromEnvironment() {
  const char* text = std::getenv("ROS_DOMAIN_ID");
  if (text == nullptr || *text == '\0') {
    return 0;
  }
  char* end = nullptr;
  const unsigned long domain = std::strtoul(text, &end, 10);
  if (*end != '\0' || *text == '-' || *text == '+' || domain > kLargestDomain) {
    throw std::invalid_argument("ROS_DOMAIN_ID: must be a whole number from 0 to 232, got '" +
                                std::string(text) + "'");
  }
  return static_cast<std::uint32_t>(domain);
}

Participant::Participant(std::uint32_t domain, const dds_qos_t* qos)
    : handle_(checked(dds_create_participant(domain, qos, nullptr), "creating a participant")) {}

Participant::~Participant() {
  dds_delete(handle_);
}

}  // namespace wire
