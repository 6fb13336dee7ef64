#include "wire/user_data.hpp"

#include <algorithm>

#include "wire/type_hash.hpp"

namespace wire {

Qos withUserData(Qos qos, std::string_view text) {
  if (!text.empty()) {
    dds_qset_userdata(qos.get(), text.data(), text.size());
  }
  return qos;
}

std::string userData(const dds_qos_t* qos) {
  void* value = nullptr;
  std::size_t size = 0;
  if (qos == nullptr || !dds_qget_userdata(qos, &value, &size) || value == nullptr) {
    return {};
  }
  std::string text(static_cast<const char*>(value), size);
  dds_free(value);
  return text;
}

std::string userDataValue(std::string_view text, std::string_view key) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find(';', start), text.size());
    const std::string_view entry = text.substr(start, end - start);
    if (entry.size() > key.size() && entry.substr(0, key.size()) == key &&
        entry[key.size()] == '=') {
      return std::string(entry.substr(key.size() + 1));
    }
    start = end + 1;
  }
  return {};
}

Qos rosParticipantQos() {
  return withUserData(Qos(dds_create_qos(), &dds_delete_qos), "enclave=/;");
}

std::string endpointUserData(std::string_view ddsType, RosDistro distro) {
  if (distro == RosDistro::Humble) {
    return {};
  }
  return "typehash=" + std::string(rosTypeHash(ddsType)) + ";";
}

}  // namespace wire
