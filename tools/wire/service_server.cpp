#include "wire/service_server.hpp"

#include <fmt/format.h>

#include <string_view>

#include "wire/cdr_body.hpp"
#include "wire/sample_storage.hpp"
#include "wire/topic_names.hpp"

namespace wire {

std::string describeService(const ServiceSpec& spec) {
  std::string type = rosTypeName(spec.requestType());
  constexpr std::string_view kRequestSuffix = "_Request";
  if (type.size() > kRequestSuffix.size() &&
      type.compare(type.size() - kRequestSuffix.size(), kRequestSuffix.size(), kRequestSuffix) ==
          0) {
    type.resize(type.size() - kRequestSuffix.size());
  }
  return rosServiceName(spec.requestTopic) + " (" + type + ")";
}

void dropRequest(const ServiceSpec& spec, RateLimitedLog& dropped, const std::string& fault,
                 ServiceServer::Clock::time_point now) {
  dropped.note(fmt::format("{}: dropped a request that cannot be read: {}",
                           rosServiceName(spec.requestTopic), fault),
               now);
}

void answerRequest(const ServiceSpec& spec, const std::vector<std::uint8_t>& body, bool bigEndian,
                   const char* framing, const ServiceServer::Answer& answer,
                   const ServiceServer::Reply& reply, RateLimitedLog& dropped,
                   ServiceServer::Clock::time_point now) {
  SampleStorage request(spec.request.m_size);
  if (!readSample(spec.request, body, bigEndian, request.get())) {
    dropRequest(spec, dropped,
                fmt::format("{} bytes after {} are no {}", body.size(), framing,
                            rosTypeName(spec.requestType())),
                now);
    return;
  }
  try {
    answer(request.get(), reply);
  } catch (...) {
    releaseSample(spec.request, request.get());
    throw;
  }
  releaseSample(spec.request, request.get());
}

}  // namespace wire
