// One controller cycle in each state, each beside its floor: formatting that cycle's debug
// messages with fmt into strings, which every cycle does whatever the level.
//
// The controller pauses 10 ms at every change of state, so each benchmark drives the controller
// into its state once, outside the timed loop, and then feeds it a pose that never completes the
// state. The logging facade reads SPDLOG_LEVEL once per process: ControllerCycle/* need level info,
// ControllerCycleAtDebug/* level debug (scripts/bench.sh runs the binary once for each).

#include <cmath>
#include <string>
#include <utility>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "control_messages.hpp"
#include "trelvo/controller.hpp"
#include "trelvo/logger.hpp"

namespace {

using PoseStamped = geometry_msgs::msg::PoseStamped;
using Twist = geometry_msgs::msg::Twist;

constexpr double kGoalX = 10.0;          // m, on the x axis; the path starts at the origin
constexpr double kGoalHeading = M_PI_2;  // rad

PoseStamped poseAt(double x, double y, double heading) {
  PoseStamped pose;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.z = std::sin(heading / 2);
  pose.pose.orientation.w = std::cos(heading / 2);
  return pose;
}

nav_msgs::msg::Path straightPath() {
  nav_msgs::msg::Path path;
  path.poses.push_back(poseAt(0.0, 0.0, 0.0));
  path.poses.push_back(poseAt(kGoalX, 0.0, kGoalHeading));
  return path;
}

double degrees(double radians) {
  return radians / M_PI * 180;
}

// A controller brought into one state, and the pose that keeps it there.
struct CycleInState {
  Controller controller;
  PoseStamped stay;
};

// First turn: the run starts facing 1 rad away from the goal and the vehicle stays at 0.6 rad,
// beyond the 5 degree tolerance and without crossing the target heading.
void enterFirstTurn(CycleInState& cycle) {
  cycle.controller.setStraightCB(straightPath());
  Twist cmd;
  cycle.controller.getVelocityCommands(poseAt(0.0, 0.0, 1.0), cmd);
  cycle.stay = poseAt(0.0, 0.0, 0.6);
}

// Line move: the run starts facing the goal, so the first turn ends at once; the vehicle then
// stays 6 m before the goal, 0.1 m left of the line.
void enterLineMove(CycleInState& cycle) {
  cycle.controller.setStraightCB(straightPath());
  Twist cmd;
  cycle.controller.getVelocityCommands(poseAt(0.0, 0.0, 0.0), cmd);
  cycle.controller.getVelocityCommands(poseAt(0.0, 0.0, 0.0), cmd);
  cycle.stay = poseAt(4.0, 0.1, 0.05);
}

// Final turn: the run starts at the goal point (no first turn, no line move) facing along x; the
// vehicle stays 1.27 rad short of the goal heading.
void enterFinalTurn(CycleInState& cycle) {
  cycle.controller.setStraightCB(straightPath());
  Twist cmd;
  cycle.controller.getVelocityCommands(poseAt(kGoalX, 0.0, 0.0), cmd);
  cycle.controller.getVelocityCommands(poseAt(kGoalX, 0.0, 0.0), cmd);
  cycle.stay = poseAt(kGoalX, 0.0, 0.3);
}

template <void (*enter)(CycleInState&)>
void controllerCycle(benchmark::State& state, int wantedState, spdlog::level::level_enum level) {
  if (tovrek::Logger::Instance("spdlog").level != level) {
    state.SkipWithError("the logging facade runs at another level: see bench/run.sh");
    return;
  }
  CycleInState cycle;
  enter(cycle);
  Twist cmd;
  cycle.controller.getVelocityCommands(cycle.stay, cmd);
  const int coutt = cycle.controller.coutt;
  for (auto _ : state) {
    // Keeps the cycle counter from growing without end; the state itself never changes.
    cycle.controller.coutt = coutt;
    benchmark::DoNotOptimize(cycle.controller.getVelocityCommands(cycle.stay, cmd));
    benchmark::DoNotOptimize(cmd);
  }
  if (cycle.controller.step != wantedState) {
    state.SkipWithError("the controller left the state under test");
  }
}

void ControllerCycleFirstTurn(benchmark::State& state) {
  controllerCycle<enterFirstTurn>(state, Controller::kFirstTurn, spdlog::level::info);
}
void ControllerCycleLineMove(benchmark::State& state) {
  controllerCycle<enterLineMove>(state, Controller::kLineMove, spdlog::level::info);
}
void ControllerCycleFinalTurn(benchmark::State& state) {
  controllerCycle<enterFinalTurn>(state, Controller::kFinalTurn, spdlog::level::info);
}
void ControllerCycleAtDebugLineMove(benchmark::State& state) {
  controllerCycle<enterLineMove>(state, Controller::kLineMove, spdlog::level::debug);
}
BENCHMARK(ControllerCycleFirstTurn)->Name("ControllerCycle/FirstTurn");
BENCHMARK(ControllerCycleLineMove)->Name("ControllerCycle/LineMove");
BENCHMARK(ControllerCycleFinalTurn)->Name("ControllerCycle/FinalTurn");
BENCHMARK(ControllerCycleAtDebugLineMove)->Name("ControllerCycleAtDebug/LineMove");

// ---- Floors: the same messages with the same values, formatted and nothing else --------------
// The texts are the controller's own (control_messages.hpp), so the floor cannot drift from what
// a cycle formats. Each message is built the plain way: body and prefix as two strings, joined.

// A controller in its state after one cycle on the pose that keeps it there: the values that
// cycle formats.
template <void (*enter)(CycleInState&)>
Controller steadyController() {
  CycleInState cycle;
  enter(cycle);
  Twist cmd;
  cycle.controller.getVelocityCommands(cycle.stay, cmd);
  return cycle.controller;
}

// A debug message as the logging macro must build it whatever the level: the body, the
// twelve-character numbered prefix, and the two joined.
template <typename... Args>
std::string formatMessage(fmt::format_string<Args...> format, Args&&... args) {
  constexpr unsigned kLineNumber = 1;
  const std::string body = fmt::format(format, std::forward<Args>(args)...);
  return fmt::format("{0:3d} [DEBUG] ", kLineNumber) + body;
}

std::string formatStepMessage(const Controller& c) {
  return formatMessage(kStepMessage, c.step, c.coutt);
}

std::string formatPathMessage(const Controller& c) {
  return formatMessage(kPathMessage, c.startPoint.x, c.startPoint.y, c.endPoint.x, c.endPoint.y,
                       c.goal_angle);
}

// A turn cycle formats the two every-cycle messages and its progress towards `target` (rad).
void formatTurnMessages(benchmark::State& state, const Controller& c,
                        fmt::format_string<double, double, double, double, double, double> progress,
                        double target) {
  // The turn rate stored is half the profile speed wc; e equals the previous cycle's error.
  const double wc = 2 * c.cmdVel.angular.z;
  for (auto _ : state) {
    std::string step = formatStepMessage(c);
    std::string path = formatPathMessage(c);
    std::string turn =
        formatMessage(progress, degrees(c.angleErrorRotate), degrees(c.currentPose.theta),
                      degrees(target), wc, c.angleErrorRotateLast, c.angleErrorRotateLast);
    benchmark::DoNotOptimize(step);
    benchmark::DoNotOptimize(path);
    benchmark::DoNotOptimize(turn);
  }
}

void MessageFormattingFirstTurn(benchmark::State& state) {
  const Controller c = steadyController<enterFirstTurn>();
  formatTurnMessages(state, c, kFirstTurnProgressMessage, c.lineYaw);
}

void MessageFormattingLineMove(benchmark::State& state) {
  const Controller c = steadyController<enterLineMove>();
  for (auto _ : state) {
    std::string step = formatStepMessage(c);
    std::string path = formatPathMessage(c);
    std::string line =
        formatMessage(kLineMessage, c.startPose.x, c.startPose.y, c.endPoint.x, c.endPoint.y);
    std::string delta =
        formatMessage(kDeviationMessage, c.lineDelta.x, c.lineDelta.y, degrees(c.lineDelta.r));
    benchmark::DoNotOptimize(step);
    benchmark::DoNotOptimize(path);
    benchmark::DoNotOptimize(line);
    benchmark::DoNotOptimize(delta);
  }
}

void MessageFormattingFinalTurn(benchmark::State& state) {
  const Controller c = steadyController<enterFinalTurn>();
  formatTurnMessages(state, c, kFinalTurnProgressMessage, c.goal_angle);
}

BENCHMARK(MessageFormattingFirstTurn)->Name("MessageFormatting/FirstTurn");
BENCHMARK(MessageFormattingLineMove)->Name("MessageFormatting/LineMove");
BENCHMARK(MessageFormattingFinalTurn)->Name("MessageFormatting/FinalTurn");

}  // namespace
