// Routes of arbitrary poses: a list read from the input (non-finite and huge values too), a dense
// planner-like path through corners with jitter and repeated poses, or up to 5 000 poses going
// back and forth. makeLegs must refuse exactly the paths the controller cannot drive; otherwise
// its legs are finite, no more than the poses, joined end to start, none shorter than the corner
// tolerance unless it is the only one, ending at the goal heading, and every pose lies within the
// corner tolerance of the legs, in order. One route of everyday size in sixteen is then driven in a
// closed loop (a unicycle follows the commands) with resent and refused paths on the way: a resent
// path never restarts a leg, and the route finishes at its goal within a bounded number of cycles.

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "common/pose_messages.hpp"
#include "fuzz_support.hpp"
#include "trelvo/route.hpp"

namespace {

using fuzz::check;
using fuzz::Input;

}  // namespace

// The controller pauses 10 ms at each change of state; here the pauses take no time, so that the
// fuzzer drives routes at full speed and the time budget measures work, not sleep.
extern "C" __attribute__((visibility("default"))) int usleep(useconds_t /*microseconds*/) {
  return 0;
}

namespace {

using geometry_msgs::msg::PoseStamped;
using geometry_msgs::msg::Twist;
using nav_msgs::msg::Path;
using trelvo::Leg;
using trelvo::PathReception;
using trelvo::RouteEvent;

constexpr std::size_t kMostPoses = 5000;
// Paths of thousands of poses cost milliseconds each; one input in kLongPathOneIn asks for one.
constexpr unsigned kLongPathOneIn = 32;
constexpr std::size_t kLongPathScale = 10;
constexpr double kCommandLimit = 0.5;  // m/s and rad/s
constexpr double kCyclePeriod = 0.05;  // s, of the simulated vehicle
// Driven in a closed loop: routes of at most this many legs and metres. Every cycle formats the
// controller's debug lines; short routes keep the harness at thousands of inputs a second, and
// longer ones drive the same legs, only more of them.
constexpr std::size_t kMostDrivenLegs = 3;
constexpr double kMostDrivenMetres = 1.5;
// A leg takes at most two turns of half a turn at 0.1 rad/s or more (some 630 cycles each at
// 20 Hz) and its line at 0.1 m/s or more.
constexpr int kCyclesPerLeg = 1500;
constexpr double kCyclesPerMetre = 250.0;
// Where a driven route ends: the controller's line stops 0.02 m short or a cycle past its end,
// a run that starts within the 0.05 m station box only turns, and the final turn ends within
// 3 degrees or one step past the heading.
constexpr double kGoalPositionTolerance = 0.1;                // m
constexpr double kGoalHeadingTolerance = 6.0 * M_PI / 180.0;  // rad
// Rounding in the corridor's bearings, relative to the coordinates' size.
constexpr double kRelativeSlack = 1e-12;

double headingOf(const PoseStamped& pose) {
  return 2 * std::atan2(pose.pose.orientation.z, pose.pose.orientation.w);
}

// A coordinate of everyday size, -16 to 15.875 m in eighths, from one byte.
double metres(Input& in) {
  return static_cast<std::int8_t>(in.byte()) / 8.0;
}

// A pose at (x, y) with heading 0, the message's default orientation.
void addPose(Path& path, double x, double y) {
  auto& position = path.poses.emplace_back().pose.position;
  position.x = x;
  position.y = y;
}

void readListedPoses(Input& in, Path& path) {
  const unsigned count = in.byte();
  for (unsigned i = 0; i < count; ++i) {
    PoseStamped pose = common::stampedPose({in.real(), in.real(), 0.0});
    if (in.choice(8) == 0) {
      pose.pose.position.z = in.real();
    }
    path.poses.push_back(pose);
  }
}

// A planner's path: a pose every few millimetres to metres along straight runs between
// corners, with a sideways jitter and poses given up to three times.
void readDensePoses(Input& in, Path& path) {
  std::vector<std::pair<double, double>> corners(1 + in.choice(8));
  for (auto& [x, y] : corners) {
    x = metres(in);
    y = metres(in);
  }
  // Millimetre spacing for one input in kLongPathOneIn.
  const double unit = in.choice(kLongPathOneIn) == 0 ? 0.002 : 0.1;  // m
  const double spacing = (1 + in.byte()) * unit;
  const double jitter = in.byte() * 0.0005;  // m
  const unsigned copies = 1 + in.choice(3);
  auto add = [&](double x, double y) {
    const double side = jitter * std::sin(path.poses.size() * 1.7);
    for (unsigned c = 0; c < copies && path.poses.size() < kMostPoses; ++c) {
      addPose(path, x + side, y - side);
    }
  };
  add(corners[0].first, corners[0].second);
  for (std::size_t i = 1; i < corners.size(); ++i) {
    const auto [x0, y0] = corners[i - 1];
    const auto [x1, y1] = corners[i];
    const double length = std::hypot(x1 - x0, y1 - y0);
    const std::size_t steps = std::min<std::size_t>(kMostPoses, std::ceil(length / spacing));
    for (std::size_t k = 1; k <= steps; ++k) {
      add(x0 + (x1 - x0) * k / steps, y0 + (y1 - y0) * k / steps);
    }
  }
}

// Up to 5 000 poses swinging back and forth along one step, drifting by another: counted in
// steps of 20 by one input in kLongPathOneIn, in steps of 2 by the others.
void readSwingingPoses(Input& in, Path& path) {
  const std::size_t scale = in.choice(kLongPathOneIn) == 0 ? kLongPathScale : 1;
  const std::size_t half = in.byte() * scale;
  const std::size_t count = std::min<std::size_t>(kMostPoses, 1 + 2 * half);
  const unsigned period = 1 + in.byte();
  const double stepX = in.real();
  const double stepY = in.real();
  const double driftX = metres(in) / 64;
  const double driftY = metres(in) / 64;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned phase = i % (2 * period);
    const double swing = phase < period ? phase : 2 * period - phase;
    addPose(path, swing * stepX + i * driftX, swing * stepY + i * driftY);
  }
}

// Fills `path`, which comes cleared: one path kept for the whole run keeps its memory, so that an
// input of thousands of poses costs no fresh pages.
void readPath(Input& in, Path& path) {
  switch (in.choice(3)) {
    case 0:
      readListedPoses(in, path);
      break;
    case 1:
      readDensePoses(in, path);
      break;
    default:
      readSwingingPoses(in, path);
      break;
  }
  if (path.poses.empty()) {
    return;
  }
  auto& goal = path.poses.back().pose.orientation;
  if (in.choice(4) == 0) {
    goal.x = in.real();
    goal.y = in.real();
    goal.z = in.real();
    goal.w = in.real();
  } else {
    goal = common::stampedPose({0, 0, in.real()}).pose.orientation;
  }
}

bool isUsable(const geometry_msgs::msg::Point& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && std::fabs(p.x) <= 1e9 &&
         std::fabs(p.y) <= 1e9;
}

bool isFinite(const common::Pose2D& pose) {
  return std::isfinite(pose.x) && std::isfinite(pose.y) && std::isfinite(pose.heading);
}

// The controller, handed the path's first and last pose, takes it exactly when makeLegs does
// (given usable poses in between) and reads the same goal heading.
void checkRefusalAgainstController(const Path& path, const std::optional<std::vector<Leg>>& legs) {
  Path ends;
  ends.poses = {path.poses.front(), path.poses.back()};
  static Controller controller;  // setStraightCB sets all it reads
  controller.endPoint.x = std::numeric_limits<double>::quiet_NaN();  // marks "not taken"
  controller.setStraightCB(ends);
  const bool controllerTakes = !std::isnan(controller.endPoint.x);
  const bool middleUsable =
      std::all_of(path.poses.begin(), path.poses.end(),
                  [](const PoseStamped& p) { return isUsable(p.pose.position); });
  check(legs.has_value() == (controllerTakes && middleUsable),
        "a path is refused exactly when the controller would refuse a pose of it");
  if (legs) {
    check(fuzz::same(legs->back().end.heading, controller.goal_angle),
          "the last leg ends at the goal heading the controller reads");
  }
}

// A leg ready to measure every pose of a path against: its direction and squared length are
// computed once, and distances are compared squared, without a square root per pose.
class LegSpan {
 public:
  explicit LegSpan(const Leg& leg)
      : x_(leg.start.x),
        y_(leg.start.y),
        dx_(leg.end.x - leg.start.x),
        dy_(leg.end.y - leg.start.y),
        lengthSquared_(dx_ * dx_ + dy_ * dy_) {}

  // Coordinates of taken paths are at most 1e9 m: their squares are far from overflowing.
  double squaredDistance(double x, double y) const {
    const double along =
        lengthSquared_ == 0.0 ? 0.0 : ((x - x_) * dx_ + (y - y_) * dy_) / lengthSquared_;
    const double t = std::clamp(along, 0.0, 1.0);
    const double ex = x - (x_ + t * dx_);
    const double ey = y - (y_ + t * dy_);
    return ex * ex + ey * ey;
  }

 private:
  double x_;
  double y_;
  double dx_;
  double dy_;
  double lengthSquared_;
};

void checkLegShapes(const Path& path, const std::vector<Leg>& legs) {
  check(!legs.empty() && legs.size() <= path.poses.size(),
        "one leg at least, never more than poses");
  const auto& first = path.poses.front().pose.position;
  const auto& last = path.poses.back().pose.position;
  const bool startsAtTheFirstPose =
      legs.front().start.x == first.x && legs.front().start.y == first.y;
  const double jogAtTheStart =
      std::hypot(legs.front().start.x - first.x, legs.front().start.y - first.y);
  check(startsAtTheFirstPose || jogAtTheStart < 2 * trelvo::kCornerTolerance,
        "the first leg starts at the first pose, or at the end of a jog shorter than twice the "
        "tolerance");
  check(std::hypot(legs.back().end.x - last.x, legs.back().end.y - last.y) <= trelvo::kSamePosition,
        "the last leg ends within 1 mm of the last pose");
  for (std::size_t i = 0; i < legs.size(); ++i) {
    const Leg& leg = legs[i];
    check(isFinite(leg.start) && isFinite(leg.end), "legs are finite");
    const double length = common::distanceBetween(leg.start, leg.end);
    check(length >= trelvo::kCornerTolerance || legs.size() == 1,
          "no leg is shorter than the corner tolerance unless it is the only one");
    if (i + 1 < legs.size()) {
      check(leg.end.x == legs[i + 1].start.x && leg.end.y == legs[i + 1].start.y &&
                leg.end.heading == legs[i + 1].start.heading,
            "a leg ends where the next starts, facing along it");
    }
  }
}

// Walks the poses and the legs together: each pose lies within the tolerance of the leg it is
// on, and the legs follow the poses in order. A skipped repeat lies up to 1 mm further.
void checkPosesAlongLegs(const Path& path, const std::vector<Leg>& legs) {
  const std::vector<LegSpan> spans(legs.begin(), legs.end());
  std::size_t leg = 0;
  for (const auto& pose : path.poses) {
    const double x = pose.pose.position.x;
    const double y = pose.pose.position.y;
    const double slack = trelvo::kSamePosition + kRelativeSlack * (std::fabs(x) + std::fabs(y));
    const double tolerance = trelvo::kCornerTolerance + slack;
    while (leg < spans.size() && spans[leg].squaredDistance(x, y) > tolerance * tolerance) {
      ++leg;
    }
    check(leg < spans.size(), "every pose lies within the corner tolerance of its leg, in order");
  }
}

struct RouteDrive {
  trelvo::RouteFollower follower;
  PoseStamped vehicle;
  Twist cmd;
  int cycles = 0;
  std::size_t legsReached = 0;
  bool finished = false;
};

// The vehicle follows the command for one period: a unicycle, exact arc.
void driveOnePeriod(PoseStamped& vehicle, const Twist& cmd) {
  const double heading = headingOf(vehicle);
  const double next = heading + cmd.angular.z * kCyclePeriod;
  auto& p = vehicle.pose.position;
  if (std::fabs(cmd.angular.z) < 1e-9) {
    p.x += cmd.linear.x * kCyclePeriod * std::cos(heading);
    p.y += cmd.linear.x * kCyclePeriod * std::sin(heading);
  } else {
    p.x += cmd.linear.x / cmd.angular.z * (std::sin(next) - std::sin(heading));
    p.y -= cmd.linear.x / cmd.angular.z * (std::cos(next) - std::cos(heading));
  }
  vehicle.pose.orientation = common::stampedPose({0, 0, next}).pose.orientation;
}

void cycle(RouteDrive& d, fuzz::CallTimer& timer) {
  const std::size_t legBefore = d.follower.legIndex();
  RouteEvent event = RouteEvent::None;
  timer.time("cycle", [&] { event = d.follower.cycle(d.vehicle, d.cmd); });
  check(std::isfinite(d.cmd.linear.x) && std::isfinite(d.cmd.angular.z) &&
            std::fabs(d.cmd.linear.x) <= kCommandLimit &&
            std::fabs(d.cmd.angular.z) <= kCommandLimit,
        "commands are finite and within +-0.5");
  if (event == RouteEvent::LegReached || event == RouteEvent::RouteFinished) {
    check(d.follower.legIndex() == legBefore + 1 && d.cmd == Twist{},
          "a leg ends with the zero command and the next leg");
    ++d.legsReached;
    d.finished = event == RouteEvent::RouteFinished;
  } else {
    check(d.follower.legIndex() == legBefore && event == RouteEvent::None,
          "a cycle without a leg's end keeps the leg");
  }
  if (!d.follower.driving()) {
    check(d.cmd == Twist{}, "a route no longer driven hands out zero commands");
  }
  driveOnePeriod(d.vehicle, d.cmd);
  ++d.cycles;
}

// The same path again: taken as unchanged, and the next cycle neither starts the route again nor
// leaves the leg under way (cycle() checks both).
void resend(RouteDrive& d, const Path& path, fuzz::CallTimer& timer) {
  PathReception reception = PathReception::Taken;
  timer.time("receivePath", [&] { reception = d.follower.receivePath(path); });
  check(reception == PathReception::Unchanged, "a resent path is taken as unchanged");
  cycle(d, timer);
}

void refuse(RouteDrive& d, Path path, fuzz::CallTimer& timer) {
  path.poses[path.poses.size() / 2].pose.position.y = std::numeric_limits<double>::infinity();
  PathReception reception = PathReception::Taken;
  timer.time("receivePath", [&] { reception = d.follower.receivePath(path); });
  check(reception == PathReception::Refused, "a path with an infinite pose is refused");
}

void drive(const Path& path, const std::vector<Leg>& legs, double startHeading, Input& in,
           fuzz::CallTimer& timer) {
  int cycleLimit = 0;
  for (const Leg& leg : legs) {
    cycleLimit += kCyclesPerLeg +
                  static_cast<int>(kCyclesPerMetre * common::distanceBetween(leg.start, leg.end));
  }
  RouteDrive d;
  const auto& start = path.poses.front().pose.position;
  d.vehicle = common::stampedPose({start.x, start.y, startHeading});
  PathReception reception = PathReception::Refused;
  timer.time("receivePath", [&] { reception = d.follower.receivePath(path); });
  check(reception == PathReception::Taken, "a route that makes legs is taken");
  RouteEvent first = RouteEvent::None;
  timer.time("cycle", [&] { first = d.follower.cycle(d.vehicle, d.cmd); });
  check(first == RouteEvent::RouteStarted && d.follower.legs().size() == legs.size(),
        "the route starts at the next cycle");
  while (!d.finished && d.cycles < cycleLimit) {
    const unsigned action = in.empty() ? 3 : in.choice(4);
    if (action == 0) {
      resend(d, path, timer);
    } else if (action == 1) {
      refuse(d, path, timer);
    } else {
      const int stretch = in.empty() ? cycleLimit : 1 + in.byte() * 4;
      for (int i = 0; i < stretch && !d.finished && d.cycles < cycleLimit; ++i) {
        cycle(d, timer);
      }
    }
  }
  check(d.finished && d.legsReached == legs.size(), "a route finishes within its cycle budget");
  const auto& goal = path.poses.back().pose;
  const double miss = std::hypot(d.vehicle.pose.position.x - goal.position.x,
                                 d.vehicle.pose.position.y - goal.position.y);
  const double headingMiss =
      std::remainder(headingOf(d.vehicle) - legs.back().end.heading, 2 * M_PI);
  check(miss <= kGoalPositionTolerance && std::fabs(headingMiss) <= kGoalHeadingTolerance,
        "a route ends at its goal pose");
  cycle(d, timer);
  resend(d, path, timer);
}

bool isDrivable(const std::vector<Leg>& legs) {
  double metres = 0.0;
  for (const Leg& leg : legs) {
    metres += common::distanceBetween(leg.start, leg.end);
  }
  return legs.size() <= kMostDrivenLegs && metres <= kMostDrivenMetres;
}

void runInput(Input& in, bool drives, fuzz::CallTimer& timer) {
  const double startHeading = metres(in);
  static Path path;
  path.poses.clear();
  readPath(in, path);
  std::optional<std::vector<Leg>> legs;
  timer.time("makeLegs", [&] { legs = trelvo::makeLegs(path); });
  if (path.poses.empty()) {
    check(legs && legs->empty(), "an empty path has no legs");
    return;
  }
  checkRefusalAgainstController(path, legs);
  if (!legs) {
    return;
  }
  checkLegShapes(path, *legs);
  checkPosesAlongLegs(path, *legs);
  if (drives && isDrivable(*legs)) {
    drive(path, *legs, startHeading, in, timer);
  }
}

// One drivable input in kDriveOneIn is driven, so that the mutants of a driving input do not all
// drive: a drive of a few hundred cycles costs as much as a hundred inputs that only make legs,
// and the fuzzer still drives more routes a second than when it drove every one.
constexpr std::uint32_t kDriveOneIn = 16;

}  // namespace

// The controller's debug lines reach no sink (info level): the harness drives whole routes, and
// the controller's own harness exercises the lines. They are formatted all the same, whatever the
// level, which is what a drive cycle costs most.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  setenv("SPDLOG_STDOUT", "false", 1);
  setenv("SPDLOG_SYSTEMD", "false", 1);
  setenv("SPDLOG_LEVEL", "info", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bool drives = fuzz::oneIn(kDriveOneIn, data, size);
  fuzz::withinBudget([&](fuzz::CallTimer& timer) {
    Input in(data, size);
    runInput(in, drives, timer);
  });
  return 0;
}
