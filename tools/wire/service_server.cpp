#include "wire/service_server.hpp"

#include <string_view>

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

}  // namespace wire
