#include "sim/scenarios/obstacle_fields.hpp"

#include <cmath>

namespace sim {
namespace {

const Fields kFootprintFields = {"polygon", "radius"};
const Fields kLaserFields = {"range", "field_of_view", "resolution", "rate", "noise", "mount"};
const Fields kClearanceFields = {"stop_margin",    "deceleration",          "slowdown_distance",
                                 "slowdown_ratio", "time_before_collision", "min_points"};
const Fields kObstacleFields = {"shape", "at", "radius", "size", "to", "speed", "from"};

// [x, y]
Point2D point(const PartReader& in, const YAML::Node& node, const std::string& field) {
  if (!node.IsSequence() || node.size() != 2) {
    in.complain(node, field, "expected [x, y]");
  }
  const auto at = [&](std::size_t i) {
    return in.real(node[i], fmt::format("{}[{}]", field, i), common::Bound::Any);
  };
  return {at(0), at(1)};
}

// A box stands at [x, y, heading in degrees], a circle at [x, y].
common::Pose2D placeOf(const PartReader& in, const YAML::Node& node, const std::string& field,
                       ObstacleShape shape) {
  if (shape == ObstacleShape::Box) {
    return in.pose(node, field);
  }
  const Point2D centre = point(in, node, field);
  return {centre.x, centre.y, 0.0};
}

std::optional<Walk> walkOf(const PartReader& in, const YAML::Node& node, const std::string& at) {
  const YAML::Node to = node["to"];
  const YAML::Node speed = node["speed"];
  if (!to && !speed && !node["from"]) {
    return std::nullopt;
  }
  if (!to || !speed) {
    in.complain(node, at, "a walk needs to and speed (and from, 0 unless given)");
  }
  Walk walk{point(in, to, at + ".to"), in.real(speed, at + ".speed", common::Bound::Positive), 0.0};
  if (const YAML::Node from = node["from"]) {
    walk.from = in.real(from, at + ".from", common::Bound::NonNegative);
  }
  return walk;
}

Obstacle obstacleOf(const PartReader& in, const YAML::Node& node, const std::string& at) {
  in.checkMapping(node, at, kObstacleFields);
  const YAML::Node shape = node["shape"];
  const std::string name = shape ? in.word(shape, at + ".shape") : std::string();
  if (name != "circle" && name != "box") {
    in.complain(shape ? shape : node, at + ".shape", "expected circle or box");
  }
  Obstacle obstacle;
  obstacle.shape = name == "circle" ? ObstacleShape::Circle : ObstacleShape::Box;
  const bool circle = obstacle.shape == ObstacleShape::Circle;
  const char* own = circle ? "radius" : "size";
  const char* other = circle ? "size" : "radius";
  if (node[other]) {
    in.complain(node[other], at + "." + other, "not for a " + name);
  }
  for (const char* field : {"at", own}) {
    if (!node[field]) {
      in.complain(node, at + "." + field, "missing");
    }
  }
  obstacle.at = placeOf(in, node["at"], at + ".at", obstacle.shape);
  if (circle) {
    obstacle.radius = in.real(node["radius"], at + ".radius", common::Bound::Positive);
  } else {
    const Point2D size = point(in, node["size"], at + ".size");
    if (!(size.x > 0.0 && size.y > 0.0)) {
      in.complain(node["size"], at + ".size", "expected a length and a width above 0");
    }
    obstacle.length = size.x;
    obstacle.width = size.y;
  }
  obstacle.walk = walkOf(in, node, at);
  return obstacle;
}

}  // namespace

void applyFootprint(const PartReader& in, const YAML::Node& group, trelvo::Footprint& footprint) {
  in.checkMapping(group, "footprint", kFootprintFields);
  footprint = {};
  if (const YAML::Node list = group["polygon"]) {
    if (!list.IsSequence() || list.size() < 3) {
      in.complain(list, "footprint.polygon", "expected three or more [x, y]");
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
      footprint.polygon.push_back(point(in, list[i], fmt::format("footprint.polygon[{}]", i)));
    }
  }
  if (const YAML::Node radius = group["radius"]) {
    footprint.radius = in.real(radius, "footprint.radius", common::Bound::NonNegative);
  }
  if (footprint.polygon.empty() && !(footprint.radius > 0.0)) {
    in.complain(group, "footprint", "expected a polygon, a radius above 0, or both");
  }
}

void applyLaser(const PartReader& in, const YAML::Node& group, LaserSettings& laser) {
  in.checkMapping(group, "laser", kLaserFields);
  if (const YAML::Node value = group["range"]) {
    laser.range = in.real(value, "laser.range", common::Bound::Positive);
  }
  if (const YAML::Node value = group["field_of_view"]) {
    laser.fieldOfView =
        common::toRadians(in.real(value, "laser.field_of_view", common::Bound::Positive));
    if (laser.fieldOfView > 2 * M_PI) {
      in.complain(value, "laser.field_of_view", "more than 360 degrees");
    }
  }
  if (const YAML::Node value = group["resolution"]) {
    laser.resolution =
        common::toRadians(in.real(value, "laser.resolution", common::Bound::Positive));
    if (beamCount(laser) > kMaxBeams) {
      in.complain(value, "laser.resolution", fmt::format("more than {} beams", kMaxBeams));
    }
  }
  if (const YAML::Node value = group["rate"]) {
    laser.rate = in.real(value, "laser.rate", common::Bound::Positive);
  }
  if (const YAML::Node value = group["noise"]) {
    laser.noise = in.real(value, "laser.noise", common::Bound::NonNegative);
  }
  if (const YAML::Node value = group["mount"]) {
    laser.mount = in.pose(value, "laser.mount");
  }
}

void applyClearance(const PartReader& in, const YAML::Node& group,
                    trelvo::ClearanceSettings& clearance) {
  in.checkMapping(group, "clearance", kClearanceFields);
  const auto set = [&](const char* field, double& value, common::Bound bound) {
    if (const YAML::Node node = group[field]) {
      value = in.real(node, std::string("clearance.") + field, bound);
    }
  };
  set("stop_margin", clearance.stop_margin, common::Bound::NonNegative);
  set("deceleration", clearance.deceleration, common::Bound::Positive);
  set("slowdown_distance", clearance.slowdown_distance, common::Bound::NonNegative);
  set("slowdown_ratio", clearance.slowdown_ratio, common::Bound::NonNegative);
  set("time_before_collision", clearance.time_before_collision, common::Bound::NonNegative);
  if (clearance.slowdown_ratio > 1.0) {
    in.complain(group["slowdown_ratio"], "clearance.slowdown_ratio", "expected 0 to 1");
  }
  if (const YAML::Node node = group["min_points"]) {
    clearance.min_points = in.whole(node, "clearance.min_points");
  }
}

std::vector<Obstacle> readObstacles(const PartReader& in, const YAML::Node& list) {
  if (!list.IsSequence()) {
    in.complain(list, "obstacles", "expected a list of circles and boxes");
  }
  std::vector<Obstacle> obstacles;
  for (std::size_t i = 0; i < list.size(); ++i) {
    obstacles.push_back(obstacleOf(in, list[i], fmt::format("obstacles[{}]", i)));
  }
  return obstacles;
}

}  // namespace sim
