#include "wire/ros_distro.hpp"

#include <array>
#include <utility>

namespace wire {
namespace {

constexpr std::array<std::pair<RosDistro, std::string_view>, 2> kNames = {{
    {RosDistro::Humble, "humble"},
    {RosDistro::Jazzy, "jazzy"},
}};

}  // namespace

std::string_view rosDistroName(RosDistro distro) {
  for (const auto& [known, name] : kNames) {
    if (known == distro) {
      return name;
    }
  }
  return "unknown";
}

std::optional<RosDistro> rosDistroNamed(std::string_view name) {
  for (const auto& [distro, known] : kNames) {
    if (known == name) {
      return distro;
    }
  }
  return std::nullopt;
}

}  // namespace wire
