#include "node/cycle_loop.hpp"

#include <cmath>
#include <stdexcept>

#include "common/real_time.hpp"
#include "node/drive/path_handover.hpp"

namespace node {

CycleLoop::CycleLoop(NodeTopics& topics, DriveCycle& drive, DriveFrames& frames,
                     NodeMonitor& monitor, std::chrono::nanoseconds period,
                     const std::string& latencyLog)
    : topics_(topics), drive_(drive), frames_(frames), monitor_(monitor), period_(period) {
  if (!latencyLog.empty()) {
    latencyLog_ = std::fopen(latencyLog.c_str(), "w");
    if (latencyLog_ == nullptr) {
      throw std::runtime_error("--latency-log: cannot write " + latencyLog);
    }
    std::fprintf(latencyLog_, "latency_us,progress_changed\n");
  }
}

CycleLoop::~CycleLoop() {
  if (latencyLog_ != nullptr) {
    std::fclose(latencyLog_);
  }
}

void CycleLoop::run(const std::atomic<bool>& stop) {
  const auto started = Clock::now();
  const double cpuStarted = common::processCpuSeconds();
  auto deadline = started;
  while (!stop) {
    if (lock_ != nullptr) {
      const std::lock_guard<std::mutex> held(*lock_);
      cycle();
    } else {
      cycle();
    }
    deadline += period_;
    if (!stop) {  // a signal during the cycle must not wait out a whole period
      common::sleepUntil(deadline);
    }
  }
  if (latencyLog_ != nullptr) {
    const std::chrono::duration<double> wall = Clock::now() - started;
    std::fprintf(latencyLog_, "# cpu_s %.6f wall_s %.6f\n",
                 common::processCpuSeconds() - cpuStarted, wall.count());
  }
}

void CycleLoop::cycle() {
  const auto taken = Clock::now();
  const bool commanding = !commanding_ || commanding_(taken);
  if (commanded_ && !commanding) {
    frames_.receivePath(nav_msgs::msg::Path{}, taken);  // an empty path ends the route
  }
  commanded_ = commanding;
  if (goals_ != nullptr) {
    takeGoals(taken);
  }
  takeInputs(taken);
  const std::string before = progress_.sent();
  const CycleOutput output = drive_.cycle(taken);
  publishCommand(output, commanding);
  const auto written = Clock::now();
  if (goals_ != nullptr) {
    endGoalCycle(output, commanding, written);
  }
  publishStatus(output, written);
  monitor_.cycle(drive_, frames_, written);
  if (latencyLog_ != nullptr) {
    // A change of state or leg blocks the controller for its own pauses: marked, so that the
    // benchmark can tell those cycles apart. Microseconds are written from whole nanoseconds:
    // the C library's formatting of a double took a few per cent of the node's CPU.
    const long long nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(written - taken).count();
    std::fprintf(latencyLog_, "%lld.%03lld,%d\n", nanoseconds / 1000, nanoseconds % 1000,
                 before != progress_.sent() ? 1 : 0);
  }
}

// A node that stops commanding (deactivated, its bond broken) sent its stop as it did.
void CycleLoop::publishCommand(const CycleOutput& output, bool commanding) {
  if (!commanding) {
    stopsOwed_ = 0;
  } else if (output.routeUnderWay) {
    stopsOwed_ = kStopRepeats;
    topics_.publishCommand(output.command);
  } else if (stopsOwed_ > 0) {
    --stopsOwed_;
    topics_.publishCommand(geometry_msgs::msg::Twist{});
  }
}

// The clock first, whose jump back clears the transforms; then transforms, then paths, whose frame
// the poses are moved into, then the poses.
void CycleLoop::takeInputs(Clock::time_point now) {
  if (takeAlso_) {
    takeAlso_();
  }
  if (const auto back = topics_.advanceClock()) {
    frames_.clockJumpedBack(*back, now);
  }
  for (const auto& transforms : topics_.takeTransforms()) {
    frames_.addTransforms(transforms, false, now);
  }
  for (const auto& transforms : topics_.takeStaticTransforms()) {
    frames_.addTransforms(transforms, true, now);
  }
  auto poses = topics_.takePoses();
  if (auto pose = frames_.poseFromTf()) {
    poses.push_back({std::move(*pose), std::string()});
  }
  const bool goalRuns = goals_ != nullptr && goals_->goals().executing() != nullptr;
  for (const auto& path : topics_.takePaths()) {
    if (commanded_ && !goalRuns) {
      frames_.receivePath(path, now);
    }
  }
  handOver(now);
  for (const auto& [pose, writer] : poses) {
    if (const auto moved = frames_.toDriveFrame(pose)) {
      drive_.receivePose(*moved, now, writer);
    }
  }
  topics_.setDriveFrame(frames_.driveFrame());
}

// A goal that ended stops the route before the path of the goal accepted after it, if any, takes
// its place.
void CycleLoop::takeGoals(Clock::time_point now) {
  FollowPathGoals& goals = goals_->goals();
  if (goals.takeStop()) {
    frames_.receivePath(nav_msgs::msg::Path{}, now);
  }
  if (auto path = goals.takePath()) {
    frames_.receivePath(*path, now);
  }
}

// A goal whose path is refused ends, and its stop reaches the drive in the same cycle.
void CycleLoop::handOver(Clock::time_point now) {
  const auto handover = handOverPath(frames_, drive_, now);
  if (goals_ == nullptr || !handover) {
    return;
  }
  FollowPathGoals& goals = goals_->goals();
  goals.pathOutcome(*handover, now);
  if (goals.takeStop()) {
    frames_.receivePath(nav_msgs::msg::Path{}, now);
    handOverPath(frames_, drive_, now);
  }
}

// A goal that ends by this cycle (no progress) stops the vehicle at once, its route at the next
// cycle.
void CycleLoop::endGoalCycle(const CycleOutput& output, bool commanding, Clock::time_point now) {
  goals_->cycleEnded({output.routeFinished, output.stall, output.distanceToGoal,
                      std::hypot(output.command.linear.x, output.command.linear.y), output.poseLost,
                      output.blocked},
                     now);
  if (goals_->goals().takeStop()) {
    if (commanding) {
      topics_.publishCommand(geometry_msgs::msg::Twist{});
    }
    frames_.receivePath(nav_msgs::msg::Path{}, now);
  }
}

void CycleLoop::publishStatus(const CycleOutput& output, Clock::time_point now) {
  if (output.lookAhead) {
    topics_.publishLookAhead(output.lookAhead->x, output.lookAhead->y);
  }
  if (progress_.due(output.progress, now)) {
    topics_.publishProgress(output.progress);
  }
}

}  // namespace node
