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

namespace {

bool readable(const dds_topic_descriptor_t& type, const std::vector<std::uint8_t>& body,
              bool bigEndian) {
  SampleStorage sample(type.m_size);
  if (!readSample(type, body, bigEndian, sample.get())) {
    return false;
  }
  releaseSample(type, sample.get());
  return true;
}

// "; it reads as ...: start the node with SETTING", when another setting would read it.
std::string readableWith(const ServiceSpec& spec, const ReceivedRequest& request) {
  if (request.otherFraming && readable(spec.request, *request.otherFraming, request.bigEndian)) {
    return fmt::format(
        "; it reads as a request framed by the other ROS 2 middleware: start the node with {}",
        request.otherFramingSetting);
  }
  if (spec.otherLayoutRequest != nullptr &&
      readable(*spec.otherLayoutRequest, request.body, request.bigEndian)) {
    return fmt::format(
        "; it reads as a request of the other ROS 2 distribution: start the node with {}",
        spec.otherLayoutSetting);
  }
  return {};
}

}  // namespace

void answerRequest(const ServiceSpec& spec, const ReceivedRequest& received,
                   const ServiceServer::Answer& answer, const ServiceServer::Reply& reply,
                   RateLimitedLog& dropped, ServiceServer::Clock::time_point now) {
  SampleStorage request(spec.request.m_size);
  if (!readSample(spec.request, received.body, received.bigEndian, request.get())) {
    dropRequest(spec, dropped,
                fmt::format("{} bytes after {} are no {}{}", received.body.size(), received.framing,
                            rosTypeName(spec.requestType()), readableWith(spec, received)),
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
