#include "wire/service_factory.hpp"

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "wire/cyclone_service_server.hpp"
#include "wire/dds_error.hpp"
#include "wire/fastdds_participant.hpp"
#include "wire/fastdds_service_server.hpp"

namespace wire {

ServiceMiddleware serviceMiddleware(const char* rmwImplementation) {
  if (rmwImplementation == nullptr || *rmwImplementation == '\0' ||
      std::strcmp(rmwImplementation, "rmw_cyclonedds_cpp") == 0) {
    return ServiceMiddleware::CycloneDds;
  }
  if (std::strcmp(rmwImplementation, "rmw_fastrtps_cpp") == 0 ||
      std::strcmp(rmwImplementation, "rmw_fastrtps_dynamic_cpp") == 0) {
    return ServiceMiddleware::FastDds;
  }
  throw std::invalid_argument(
      "RMW_IMPLEMENTATION: the node serves its services with rmw_cyclonedds_cpp (the default) or "
      "rmw_fastrtps_cpp (also rmw_fastrtps_dynamic_cpp), got '" +
      std::string(rmwImplementation) + "'");
}

ServiceFactory::ServiceFactory(const Participant& participant)
    : ServiceFactory(participant, serviceMiddleware(std::getenv("RMW_IMPLEMENTATION"))) {}

ServiceFactory::ServiceFactory(const Participant& participant, ServiceMiddleware middleware)
    : participant_(participant), middleware_(middleware) {}

ServiceFactory::~ServiceFactory() = default;

std::unique_ptr<ServiceServer> ServiceFactory::serve(const ServiceSpec& spec,
                                                     RateLimitedLog& dropped) const {
  if (middleware_ == ServiceMiddleware::CycloneDds) {
    return std::make_unique<CycloneServiceServer>(participant_, spec, dropped);
  }
  if (!fastParticipant_) {
    dds_domainid_t domain = 0;
    checked(dds_get_domainid(participant_.handle(), &domain), "reading the participant's domain");
    fastParticipant_ = std::make_shared<FastParticipant>(domain);
  }
  return std::make_unique<FastServiceServer>(fastParticipant_, spec, dropped);
}

}  // namespace wire
