// A Controller fed an arbitrary path and a long sequence of arbitrary poses, with init() and new
// paths at arbitrary points. Poses come from the input, or from a simulated vehicle that follows
// the commands handed out (so that runs reach the line move and the final turn), possibly
// disturbed by the input. After every call the controller must hold a finite command within
// +-0.5 with only linear.x and angular.z set, a valid state, and, at every change of state but the
// near-station shortcut, its five 2 ms pauses.

#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.hpp"
#include "trelvo/controller.hpp"

namespace {

using fuzz::check;
using fuzz::Input;

int pauses = 0;

}  // namespace

// The controller pauses 10 ms at each change of state. This program's usleep takes the place of
// libc's for the library too: it counts the pauses instead of sleeping, so that the fuzzer
// explores the state machine at full speed and the time budget measures the controller's work.
// Visible, although the project builds with hidden visibility, so that it can be exported.
extern "C" __attribute__((visibility("default"))) int usleep(useconds_t microseconds) {
  constexpr useconds_t kZeroCommandPause = 2000;
  check(microseconds == kZeroCommandPause, "the controller pauses 2 ms at a time");
  ++pauses;
  return 0;
}

namespace {

using PoseStamped = geometry_msgs::msg::PoseStamped;
using Twist = geometry_msgs::msg::Twist;

constexpr double kCommandLimit = 0.5;  // m/s and rad/s
constexpr double kCyclePeriod = 0.05;  // s, of the simulated vehicle
constexpr int kPausesPerStop = 5;
constexpr int kMostCyclesPerRun = 10000;  // over eight minutes of driving at 20 Hz

void setHeading(PoseStamped& pose, double heading) {
  pose.pose.orientation.x = 0.0;
  pose.pose.orientation.y = 0.0;
  pose.pose.orientation.z = std::sin(heading / 2);
  pose.pose.orientation.w = std::cos(heading / 2);
}

double headingOf(const PoseStamped& pose) {
  return 2 * std::atan2(pose.pose.orientation.z, pose.pose.orientation.w);
}

// Position, then either a heading or a raw (possibly unnormalised or zero) quaternion.
PoseStamped readPose(Input& in) {
  PoseStamped pose;
  pose.pose.position.x = in.real();
  pose.pose.position.y = in.real();
  if (in.choice(4) == 0) {
    pose.pose.orientation.x = in.real();
    pose.pose.orientation.y = in.real();
    pose.pose.orientation.z = in.real();
    pose.pose.orientation.w = in.real();
  } else {
    setHeading(pose, in.real());
  }
  return pose;
}

nav_msgs::msg::Path readPath(Input& in) {
  nav_msgs::msg::Path path;
  const unsigned count = in.choice(4);  // an empty path too
  for (unsigned i = 0; i < count; ++i) {
    path.poses.push_back(readPose(in));
  }
  return path;
}

bool withinLimit(double value) {
  return std::isfinite(value) && std::fabs(value) <= kCommandLimit;
}

void checkCommand(const Twist& cmd) {
  check(withinLimit(cmd.linear.x) && withinLimit(cmd.angular.z), "command finite and within +-0.5");
  check(cmd.linear.y == 0.0 && cmd.linear.z == 0.0 && cmd.angular.x == 0.0 && cmd.angular.y == 0.0,
        "only linear.x and angular.z are ever set");
}

bool isZero(const Twist& cmd) {
  return cmd.linear.x == 0.0 && cmd.angular.z == 0.0;
}

void checkState(const Controller& controller) {
  checkCommand(controller.cmdVel);
  check(controller.step >= 0 && controller.step <= 2, "step is 0, 1 or 2");
  check(controller.coutt >= 0, "coutt is never negative");
  check(controller.rotateDir == 1 || controller.rotateDir == -1, "rotateDir is +1 or -1");
}

// One cycle: the command handed out is the one stored before; state changes pause.
void cycle(Controller& controller, const PoseStamped& pose, Twist& cmd, fuzz::CallTimer& timer) {
  const Twist stored = controller.cmdVel;
  const int stepBefore = controller.step;
  pauses = 0;
  bool finished = false;
  timer.time("getVelocityCommands", [&] { finished = controller.getVelocityCommands(pose, cmd); });
  check(cmd == stored, "a cycle hands out the command stored before it");
  checkCommand(cmd);
  checkState(controller);

  const bool nearStationShortcut =
      stepBefore == 0 && controller.step == 2 && controller.isNearPoint && pauses == 0;
  if (controller.step != stepBefore && !nearStationShortcut) {
    check(pauses == kPausesPerStop && isZero(controller.cmdVel),
          "a change of state stores a zero command with five pauses");
  } else {
    check(pauses == 0, "a cycle that keeps its state does not pause");
  }
  if (finished) {
    check(stepBefore == 2 && controller.step == 0 && controller.coutt == 1 &&
              isZero(controller.cmdVel),
          "a finished run leaves the first turn armed with a zero command");
  }
}

// The vehicle follows the command for one period: a unicycle, exact arc.
void driveOnePeriod(PoseStamped& vehicle, const Twist& cmd) {
  const double heading = headingOf(vehicle);
  const double v = cmd.linear.x;
  const double w = cmd.angular.z;
  const double next = heading + w * kCyclePeriod;
  if (std::fabs(w) < 1e-9) {
    vehicle.pose.position.x += v * kCyclePeriod * std::cos(heading);
    vehicle.pose.position.y += v * kCyclePeriod * std::sin(heading);
  } else {
    vehicle.pose.position.x += v / w * (std::sin(next) - std::sin(heading));
    vehicle.pose.position.y -= v / w * (std::cos(next) - std::cos(heading));
  }
  setHeading(vehicle, next);
}

void runInput(Input& in, fuzz::CallTimer& timer) {
  Controller controller;
  timer.time("setStraightCB", [&] { controller.setStraightCB(readPath(in)); });
  PoseStamped vehicle = readPose(in);
  Twist cmd;
  int cycles = 0;
  while (!in.empty() && cycles < kMostCyclesPerRun) {
    switch (in.choice(8)) {
      case 0:
        timer.time("init", [&] { controller.init(); });
        check(controller.step == 0 && controller.coutt == 0, "init re-arms the first turn");
        break;
      case 1: {
        const nav_msgs::msg::Path path = readPath(in);
        timer.time("setStraightCB", [&] { controller.setStraightCB(path); });
        break;
      }
      case 2: {
        const nav_msgs::msg::Path path = readPath(in);
        timer.time("getstraightCB", [&] { controller.getstraightCB(path); });
        break;
      }
      case 3:
        vehicle = readPose(in);
        cycle(controller, vehicle, cmd, timer);
        ++cycles;
        break;
      case 4: {
        // A disturbance: the vehicle slips by an amount from the input.
        vehicle.pose.position.x += in.real();
        vehicle.pose.position.y += in.real();
        setHeading(vehicle, headingOf(vehicle) + in.real());
        break;
      }
      default: {
        // Follow the commands for a stretch of cycles.
        const int stretch = 1 + in.byte() * 4;
        for (int i = 0; i < stretch; ++i) {
          cycle(controller, vehicle, cmd, timer);
          driveOnePeriod(vehicle, cmd);
        }
        cycles += stretch;
        break;
      }
    }
  }
}

}  // namespace

// The debug lines are formatted, numbered and handed to a logger without sinks, whatever the
// environment. Fails at once if the pauses are not counted: the state machine would then run at
// 10 ms a state change and the time budget would measure sleeping.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  setenv("SPDLOG_STDOUT", "false", 1);
  setenv("SPDLOG_SYSTEMD", "false", 1);
  setenv("SPDLOG_LEVEL", "debug", 1);
  Controller controller;
  controller.PublishZeroVW();
  check(pauses == kPausesPerStop, "this program's usleep counts the controller's pauses");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::withinBudget([&](fuzz::CallTimer& timer) {
    // Every input starts from the process-wide PID state of a fresh load.
    m_struErrorX = m_struErrorY = m_struErrorTheta = {};
    Input in(data, size);
    runInput(in, timer);
  });
  return 0;
}
