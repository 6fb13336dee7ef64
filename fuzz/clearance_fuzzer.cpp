// The clearance decision with arbitrary footprints, routes ahead, commands, settings and points
// (non-finite and huge values too). The speed it allows is finite, never above the command's and
// zero on a stop. Then, with min_points 1, a point placed inside the footprint where the vehicle
// passes within its stopping distance (on a leg or part way through the turn before it) must stop
// it, whatever else the inputs hold.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "clearance_poses.hpp"
#include "fuzz_support.hpp"
#include "trelvo/clearance.hpp"

namespace {

using fuzz::check;
using fuzz::Input;
using trelvo::ClearanceAction;
using trelvo::ClearanceDecision;
using trelvo::Point2D;

constexpr unsigned kMostVertices = 8;
constexpr unsigned kMostCorners = 5;
constexpr unsigned kMostPoints = 64;
// Where the placed point's arithmetic stays well inside the shapes' micrometre of slack.
constexpr double kEverydaySize = 1e4;  // m

Point2D point(Input& in) {
  return {in.real(), in.real()};
}

bool isEveryday(double value) {
  return std::fabs(value) <= kEverydaySize;
}

void checkSpeed(const ClearanceDecision& decision, const trelvo::VelocityCommand& command) {
  check(std::isfinite(decision.speed), "the speed is finite");
  check(decision.speed >= 0.0, "the speed is not negative");
  check(!std::isfinite(command.speed) || decision.speed <= std::fabs(command.speed),
        "the speed is never above the command's");
  check(decision.action != ClearanceAction::Stop || decision.speed == 0.0, "a stop has speed 0");
  const trelvo::VelocityCommand limited = trelvo::limitCommand(decision, command);
  check(std::isfinite(limited.speed) && std::isfinite(limited.turnRate),
        "the limited command is finite");
  check(std::fabs(limited.speed) <= decision.speed, "the limited command keeps the speed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::withinBudget([&](fuzz::CallTimer& timer) {
    Input in(data, size);
    trelvo::Footprint footprint;
    for (unsigned i = in.choice(kMostVertices + 1); i > 0; --i) {
      footprint.polygon.push_back(point(in));
    }
    footprint.radius = in.real();
    trelvo::RouteAhead route;
    for (unsigned i = in.choice(kMostCorners + 1); i > 0; --i) {
      route.corners.push_back(point(in));
    }
    if (in.choice(2) == 1) {
      route.finalHeading = in.real();
    }
    const trelvo::VelocityCommand command{in.real(), in.real()};
    trelvo::ClearanceSettings settings;
    settings.stop_margin = in.real();
    settings.deceleration = in.real();
    settings.slowdown_distance = in.real();
    settings.slowdown_ratio = in.real();
    settings.time_before_collision = in.real();
    settings.min_points = in.byte();
    std::vector<Point2D> points;
    for (unsigned i = in.choice(kMostPoints + 1); i > 0; --i) {
      points.push_back(point(in));
    }

    ClearanceDecision decision;
    timer.time("decideClearance", [&] {
      decision = trelvo::decideClearance(footprint, route, command, points, settings);
    });
    checkSpeed(decision, command);

    // A point of the footprint: a mix of its vertices, or within its radius of the origin.
    const double pickLeg = in.choice(256) / 256.0, pickPart = in.choice(256) / 256.0;
    Point2D local{footprint.radius * (in.choice(256) / 256.0), 0.0};
    if (!footprint.polygon.empty()) {
      local = footprint.polygon.back();
      for (std::size_t i = 0; i + 1 < footprint.polygon.size(); ++i) {
        const double weight = in.choice(256) / 255.0;
        const Point2D vertex = footprint.polygon[i];
        local = {local.x + weight * (vertex.x - local.x), local.y + weight * (vertex.y - local.y)};
      }
    }
    const double speed = std::fabs(command.speed);
    const double stopping = speed * speed / (2.0 * settings.deceleration) + settings.stop_margin;
    const trelvo_test::PassedPose pose =
        trelvo_test::poseWithin(route, stopping, pickLeg, pickPart);
    const Point2D placed = trelvo_test::placedAt(pose, local);
    if (!isEveryday(placed.x) || !isEveryday(placed.y) || !isEveryday(pose.x) ||
        !isEveryday(pose.y) || !isEveryday(local.x) || !isEveryday(local.y)) {
      return;
    }
    points.push_back(placed);
    settings.min_points = 1;
    timer.time("decideClearance", [&] {
      decision = trelvo::decideClearance(footprint, route, command, points, settings);
    });
    checkSpeed(decision, command);
    check(decision.action == ClearanceAction::Stop,
          "a point in the footprint within the stopping distance stops the vehicle");
  });
  return 0;
}
