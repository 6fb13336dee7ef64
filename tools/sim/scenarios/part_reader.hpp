#pragma once

// Reads the parts of a suite file (its defaults or one scenario) and says where a complaint
// belongs: file, line, scenario, field.

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "common/number_text.hpp"
#include "common/pose.hpp"
#include "sim/scenarios/usage_error.hpp"
#include "trelvo/route.hpp"

namespace sim {

using Fields = std::vector<std::string>;

/// Reads one part of a suite file: its defaults or one scenario.
class PartReader {
 public:
  PartReader(std::string file, std::string part) : file_(std::move(file)), part_(std::move(part)) {}

  void rename(std::string part) { part_ = std::move(part); }

  // "FILE:LINE: PART: FIELD: WHAT", leaving out an empty part or field.
  [[noreturn]] void complain(const YAML::Node& node, const std::string& field,
                             const std::string& what) const {
    std::string where = fmt::format("{}:{}: ", file_, std::max(node.Mark().line, 0) + 1);
    for (const std::string& name : {part_, field}) {
      where += name.empty() ? "" : name + ": ";
    }
    throw UsageError(where + what);
  }

  void expectMapping(const YAML::Node& node, const std::string& group, const Fields& known) const {
    if (!node.IsMap()) {
      complain(node, group, "expected a mapping of " + listOf(known));
    }
  }

  // The fields of the mapping `group` (empty: the part itself), each known.
  void checkMapping(const YAML::Node& node, const std::string& group, const Fields& known) const {
    expectMapping(node, group, known);
    std::set<std::string> seen;
    for (const auto& entry : node) {
      const std::string key = entry.first.Scalar();
      if (std::find(known.begin(), known.end(), key) == known.end()) {
        complain(entry.first, join(group, key), "unknown field (expected " + listOf(known) + ")");
      }
      // The parser keeps both; only one of them would be read.
      if (!seen.insert(key).second) {
        complain(entry.first, join(group, key), "given twice");
      }
    }
  }

  double real(const YAML::Node& node, const std::string& field, common::Bound bound) const {
    if (!node.IsScalar()) {
      complain(node, field, "expected a number");
    }
    if (const auto complaint = common::realComplaint(node.Scalar(), bound)) {
      complain(node, field, *complaint);
    }
    return std::stod(node.Scalar());
  }

  std::uint64_t whole(const YAML::Node& node, const std::string& field) const {
    const std::string text = node.IsScalar() ? node.Scalar() : std::string();
    if (const auto complaint =
            common::wholeNumberComplaint(text, 0, std::numeric_limits<std::uint64_t>::max())) {
      complain(node, field, node.IsScalar() ? *complaint : "expected a whole number");
    }
    return std::stoull(text);
  }

  bool flag(const YAML::Node& node, const std::string& field) const {
    if (node.IsScalar() && (node.Scalar() == "true" || node.Scalar() == "false")) {
      return node.Scalar() == "true";
    }
    complain(node, field, "expected true or false");
  }

  std::string word(const YAML::Node& node, const std::string& field) const {
    if (!node.IsScalar() || node.Scalar().empty()) {
      complain(node, field, "expected a word");
    }
    return node.Scalar();
  }

  // [x, y, heading in degrees]
  common::Pose2D pose(const YAML::Node& node, const std::string& field) const {
    if (!node.IsSequence() || node.size() != 3) {
      complain(node, field, "expected [x, y, heading in degrees]");
    }
    const auto at = [&](std::size_t i) {
      return real(node[i], fmt::format("{}[{}]", field, i), common::Bound::Any);
    };
    const common::Pose2D pose{at(0), at(1), common::toRadians(at(2))};
    if (!trelvo::isWithinReach(pose.x) || !trelvo::isWithinReach(pose.y)) {
      complain(node, field,
               "a coordinate beyond the 1e9 m from the origin that the controller takes");
    }
    return pose;
  }

  static std::string join(const std::string& group, const std::string& field) {
    return group.empty() ? field : group + "." + field;
  }

 private:
  static std::string listOf(const Fields& fields) {
    return fmt::format("{}", fmt::join(fields, ", "));
  }

  std::string file_;
  std::string part_;
};

}  // namespace sim
