#pragma once

// Where the node's services are served, chosen as ROS 2 users choose their middleware, by
// RMW_IMPLEMENTATION: unset or rmw_cyclonedds_cpp, on the node's Cyclone DDS participant as
// rmw_cyclonedds serves them (the middleware every other endpoint of the node uses);
// rmw_fastrtps_cpp or rmw_fastrtps_dynamic_cpp, on a Fast DDS participant of the same domain as
// rmw_fastrtps serves them, for clients on ROS 2's default middleware, whose services do not
// interoperate with rmw_cyclonedds's on the wire (the two correlate requests and replies
// differently). The node's topics stay on Cyclone DDS under either.

#include <memory>
#include <string_view>

#include "wire/participant.hpp"
#include "wire/rate_limited_log.hpp"
#include "wire/service_server.hpp"

namespace wire {

class FastParticipant;

enum class ServiceMiddleware { CycloneDds, FastDds };

/// The middleware the value of RMW_IMPLEMENTATION `rmwImplementation` names (null or empty: unset).
/// Throws std::invalid_argument naming the values served for any other.
ServiceMiddleware serviceMiddleware(const char* rmwImplementation);

class ServiceFactory {
 public:
  /// Serves through the middleware RMW_IMPLEMENTATION names; throws as serviceMiddleware() does.
  explicit ServiceFactory(const Participant& participant);
  ServiceFactory(const Participant& participant, ServiceMiddleware middleware);
  ~ServiceFactory();
  ServiceFactory(const ServiceFactory&) = delete;
  ServiceFactory& operator=(const ServiceFactory&) = delete;

  ServiceMiddleware middleware() const { return middleware_; }

  /// A server of `spec`, dropping what it cannot read into `dropped`. Throws std::runtime_error
  /// when the middleware fails. The first server on Fast DDS creates its participant.
  std::unique_ptr<ServiceServer> serve(const ServiceSpec& spec, RateLimitedLog& dropped) const;

 private:
  const Participant& participant_;
  ServiceMiddleware middleware_;
  mutable std::shared_ptr<FastParticipant> fastParticipant_;
};

}  // namespace wire
