#pragma once

// Where the node's services are served: on its Cyclone DDS participant, as rmw_cyclonedds serves
// them, the middleware every other endpoint of the node uses.

#include <memory>

#include "wire/participant.hpp"
#include "wire/rate_limited_log.hpp"
#include "wire/service_server.hpp"

namespace wire {

class ServiceFactory {
 public:
  explicit ServiceFactory(const Participant& participant) : participant_(participant) {}

  /// A server of `spec`, dropping what it cannot read into `dropped`. Throws std::runtime_error
  /// when the middleware fails.
  std::unique_ptr<ServiceServer> serve(const ServiceSpec& spec, RateLimitedLog& dropped) const;

 private:
  const Participant& participant_;
};

}  // namespace wire
