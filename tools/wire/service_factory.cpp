#include "wire/service_factory.hpp"

#include "wire/cyclone_service_server.hpp"

namespace wire {

std::unique_ptr<ServiceServer> ServiceFactory::serve(const ServiceSpec& spec,
                                                     RateLimitedLog& dropped) const {
  return std::make_unique<CycloneServiceServer>(participant_, spec, dropped);
}

}  // namespace wire
