#include "wire/user_data.hpp"

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
