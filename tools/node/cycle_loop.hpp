#pragma once

// The node's control loop: once a period, the paths and poses that arrived go to the drive cycle
// and its command goes out, until a stop is asked for. Periods are kept on absolute deadlines, so
// that a slow cycle does not shift the ones after it.
//
// Commands go out only while a route is under way, its safety stops included; when it ends, the
// zero command goes out for kStopRepeats cycles (a lost datagram cannot leave the last speed
// standing), then nothing, as Nav2's controller server: other programs (Nav2's recoveries, a
// teleop) may then drive the vehicle on the same topic.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "node/drive/drive_cycle.hpp"
#include "node/drive/drive_frames.hpp"
#include "node/drive/progress_repeat.hpp"
#include "node/follow_path_server.hpp"
#include "node/node_monitor.hpp"
#include "node/node_topics.hpp"

namespace node {

inline constexpr int kStopRepeats = 3;

class CycleLoop {
 public:
  CycleLoop(NodeTopics& topics, DriveCycle& drive, DriveFrames& frames, NodeMonitor& monitor,
            std::chrono::nanoseconds period, const std::string& latencyLog);
  ~CycleLoop();
  CycleLoop(const CycleLoop&) = delete;
  CycleLoop& operator=(const CycleLoop&) = delete;

  /// Asked at the start of each cycle whether the node commands the vehicle now (a managed node
  /// only while active); without it, always. While it does not, paths are dropped and no command
  /// goes out; the route under way ends when it stops.
  void gateCommands(std::function<bool(Clock::time_point)> commanding) {
    commanding_ = std::move(commanding);
    commanded_ = false;  // no route yet to end, whatever the first answer
  }

  /// Drives the goals of `server`: their paths, their stops, and each cycle's outcome for them.
  /// While a goal runs, paths on the plan topic are dropped.
  void followGoals(FollowPathServer& server) { goals_ = &server; }

  /// Each cycle runs under `lock`, which the thread serving the node's services takes too.
  void shareWith(std::mutex& lock) { lock_ = &lock; }

  /// Called first among the inputs of each cycle: readers beside the topics' (the speed limit).
  void takeAlso(std::function<void()> take) { takeAlso_ = std::move(take); }

  /// Runs cycles until `stop` becomes true (a signal handler sets it).
  void run(const std::atomic<bool>& stop);

 private:
  void cycle();
  void takeGoals(Clock::time_point now);
  void takeInputs(Clock::time_point now);
  void handOver(Clock::time_point now);
  void publishCommand(const CycleOutput& output, bool commanding);
  void endGoalCycle(const CycleOutput& output, bool commanding, Clock::time_point now);
  void publishStatus(const CycleOutput& output, Clock::time_point now);

  NodeTopics& topics_;
  DriveCycle& drive_;
  DriveFrames& frames_;
  NodeMonitor& monitor_;
  std::chrono::nanoseconds period_;
  std::FILE* latencyLog_ = nullptr;
  ProgressRepeat progress_;
  std::function<bool(Clock::time_point)> commanding_;
  std::function<void()> takeAlso_;
  bool commanded_ = true;
  int stopsOwed_ = 0;  // zero commands still to send after the route ended
  std::mutex* lock_ = nullptr;
  FollowPathServer* goals_ = nullptr;
};

}  // namespace node
