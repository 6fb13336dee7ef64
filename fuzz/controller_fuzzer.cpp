// A Controller fed an arbitrary path and a long sequence of arbitrary poses, with init() and new
// paths at arbitrary points. Poses come from the input, or from a simulated vehicle that follows
// the commands handed out (so that runs reach the line move and the final turn), possibly
// disturbed by the input. After every call the controller must hold a finite command within
// +-0.5 with only linear.x and angular.z set, a valid state, finite process-wide PID records, and,
// at every change of state but the near-station shortcut, its five 2 ms pauses. On one input in
// sixteen, whatever came before, a fresh path then takes a vehicle that follows the commands to
// the end of a run (no permanent stall), and after init() a further run ends at its goal pose.

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
// Half a minute of driving at 20 Hz, a whole run of a few metres. Every cycle formats the
// controller's debug lines, most of a cycle's cost, so the cycles an input may take bound the
// executions per second, in long campaigns too, where inputs grow.
constexpr int kMostCyclesPerRun = 600;
// A run over at most 6 m with turns at 0.1 rad/s or more takes far less than this at 20 Hz.
constexpr int kMostCyclesToFinish = 20000;
// The line move stops 0.02 m short or a cycle past the goal and turns on the spot; a run that
// starts within the 0.05 m station box only turns.
constexpr double kGoalPositionTolerance = 0.1;  // m
// The final turn ends within 3 degrees or one 0.0225 rad step past the heading, and the command
// handed out on the finishing cycle turns the vehicle one more step.
constexpr double kGoalHeadingTolerance = 6.0 * M_PI / 180.0;  // rad

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

bool isFinite(const PIDErrorStru& record) {
  return std::isfinite(record.current) && std::isfinite(record.last) &&
         std::isfinite(record.delta) && std::isfinite(record.sum);
}

void checkState(const Controller& controller) {
  checkCommand(controller.cmdVel);
  check(isFinite(m_struErrorX) && isFinite(m_struErrorY) && isFinite(m_struErrorTheta),
        "the process-wide PID records stay finite");
  check(controller.step == Controller::kFirstTurn || controller.step == Controller::kLineMove ||
            controller.step == Controller::kFinalTurn,
        "step is one of the three states");
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

  const bool nearStationShortcut = stepBefore == Controller::kFirstTurn &&
                                   controller.step == Controller::kFinalTurn &&
                                   controller.isNearPoint && pauses == 0;
  if (controller.step != stepBefore && !nearStationShortcut) {
    check(pauses == kPausesPerStop && isZero(controller.cmdVel),
          "a change of state stores a zero command with five pauses");
  } else {
    check(pauses == 0, "a cycle that keeps its state does not pause");
  }
  if (finished) {
    check(stepBefore == Controller::kFinalTurn && controller.step == Controller::kFirstTurn &&
              controller.coutt == 1 && isZero(controller.cmdVel),
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

// A coordinate of a room's size, -2 to 1.97 m in 64ths, from one byte: runs of a few metres
// reach every state and end in a few hundred cycles.
double metres(Input& in) {
  return static_cast<std::int8_t>(in.byte()) / 64.0;
}

// A heading anywhere on the circle, in 256ths of a turn, from one byte.
double radians(Input& in) {
  return static_cast<std::int8_t>(in.byte()) * M_PI / 128.0;
}

PoseStamped everydayPose(double x, double y, double heading) {
  PoseStamped pose;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  setHeading(pose, heading);
  return pose;
}

// The closing check of an input: where the vehicle stands and the goals of two runs, read first
// so that the rest of the input cannot leave them to the zeros of an exhausted input. The start
// is never the origin, so that a path from it is never taken for no path.
struct ClosingRuns {
  PoseStamped vehicle;
  PoseStamped firstGoal;
  PoseStamped secondGoal;
};

ClosingRuns readClosingRuns(Input& in) {
  ClosingRuns runs;
  runs.vehicle = everydayPose(metres(in) + 1.0 / 128, metres(in), radians(in));
  runs.firstGoal = everydayPose(metres(in), metres(in), radians(in));
  runs.secondGoal = everydayPose(metres(in), metres(in), radians(in));
  return runs;
}

nav_msgs::msg::Path pathTo(const PoseStamped& start, const PoseStamped& goal) {
  nav_msgs::msg::Path path;
  path.poses.push_back(start);
  path.poses.push_back(goal);
  return path;
}

// Drives the vehicle by the controller's commands until the run finishes; false if it does not
// within kMostCyclesToFinish.
bool driveToTheEnd(Controller& controller, PoseStamped& vehicle, fuzz::CallTimer& timer) {
  Twist cmd;
  for (int i = 0; i < kMostCyclesToFinish; ++i) {
    bool finished = false;
    timer.time("getVelocityCommands",
               [&] { finished = controller.getVelocityCommands(vehicle, cmd); });
    checkCommand(cmd);
    checkState(controller);
    driveOnePeriod(vehicle, cmd);
    if (finished) {
      return true;
    }
  }
  return false;
}

// Whatever state the input left behind, a fresh path (without init(), as a host that simply
// sends the next path) ends in a finished run; after init() the next run ends at its goal.
void checkNoPermanentStall(Controller& controller, ClosingRuns runs, fuzz::CallTimer& timer) {
  PoseStamped& vehicle = runs.vehicle;
  timer.time("setStraightCB", [&] { controller.setStraightCB(pathTo(vehicle, runs.firstGoal)); });
  check(driveToTheEnd(controller, vehicle, timer),
        "a fresh path takes a vehicle that follows the commands to the end of a run");

  timer.time("init", [&] { controller.init(); });
  const PoseStamped& goal = runs.secondGoal;
  timer.time("setStraightCB", [&] { controller.setStraightCB(pathTo(vehicle, goal)); });
  if (controller.startPoint.x == 0.0 && controller.startPoint.y == 0.0 &&
      controller.endPoint.x == 0.0 && controller.endPoint.y == 0.0) {
    return;  // a path from the origin to the origin: no path, nothing to drive
  }
  check(driveToTheEnd(controller, vehicle, timer), "after init() a run ends");
  const double miss = std::hypot(vehicle.pose.position.x - goal.pose.position.x,
                                 vehicle.pose.position.y - goal.pose.position.y);
  const double headingMiss = std::remainder(headingOf(vehicle) - headingOf(goal), 2 * M_PI);
  check(miss <= kGoalPositionTolerance && std::fabs(headingMiss) <= kGoalHeadingTolerance,
        "after init() a run ends at its goal pose");
}

void runInput(Input& in, bool checksStall, fuzz::CallTimer& timer) {
  const ClosingRuns closingRuns = readClosingRuns(in);
  Controller controller;
  timer.time("setStraightCB", [&] { controller.setStraightCB(readPath(in)); });
  PoseStamped vehicle = readPose(in);
  Twist cmd;
  int cycles = 0;
  while (!in.empty() && cycles < kMostCyclesPerRun) {
    switch (in.choice(8)) {
      case 0:
        timer.time("init", [&] { controller.init(); });
        check(controller.step == Controller::kFirstTurn && controller.coutt == 0,
              "init re-arms the first turn");
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
        const int stretch = 1 + in.byte();
        for (int i = 0; i < stretch; ++i) {
          cycle(controller, vehicle, cmd, timer);
          driveOnePeriod(vehicle, cmd);
        }
        cycles += stretch;
        break;
      }
    }
  }
  if (checksStall) {
    checkNoPermanentStall(controller, closingRuns, timer);
  }
}

// The closing runs, two of a turn, a line and a turn each, take many times the cycles of a
// typical input; one input in kStallCheckOneIn runs them.
constexpr std::uint32_t kStallCheckOneIn = 16;

}  // namespace

// The logger has no sinks and runs at info, the level hosts and tests run at by default: the
// debug lines are formatted all the same (a format error still throws) but never numbered or
// handed on. Fails at once if the pauses are not counted: the state machine would then run at
// 10 ms a state change and the time budget would measure sleeping.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  setenv("SPDLOG_STDOUT", "false", 1);
  setenv("SPDLOG_SYSTEMD", "false", 1);
  setenv("SPDLOG_LEVEL", "info", 1);
  Controller controller;
  controller.PublishZeroVW();
  check(pauses == kPausesPerStop, "this program's usleep counts the controller's pauses");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bool checksStall = fuzz::oneIn(kStallCheckOneIn, data, size);
  fuzz::withinBudget([&](fuzz::CallTimer& timer) {
    // Every input starts from the process-wide PID state of a fresh load.
    m_struErrorX = m_struErrorY = m_struErrorTheta = {};
    Input in(data, size);
    runInput(in, checksStall, timer);
  });
  return 0;
}
