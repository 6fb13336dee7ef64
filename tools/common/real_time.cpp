#include "common/real_time.hpp"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <ctime>

namespace common {
namespace {

std::atomic<bool> stopRequested{false};
std::atomic<int> stopSignal{0};

void requestStop(int signal) {
  stopSignal = signal;
  stopRequested = true;
}

}  // namespace

const std::atomic<bool>& stopOnSignals() {
  struct sigaction action {};
  action.sa_handler = requestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  return stopRequested;
}

const char* stopSignalName() {
  switch (stopSignal.load()) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    default:
      return "";
  }
}

void sleepUntil(std::chrono::steady_clock::time_point deadline) {
  const auto sinceEpoch = deadline.time_since_epoch();
  const auto whole = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
  const timespec until{static_cast<time_t>(whole.count()),
                       static_cast<long>(std::chrono::nanoseconds(sinceEpoch - whole).count())};
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
}

double processCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

std::optional<std::string> useRealtimeScheduling(int priority) {
  sched_param parameter{};
  parameter.sched_priority = priority;
  const int error = pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameter);
  if (error != 0) {
    return std::string(std::strerror(error));
  }
  return std::nullopt;
}

}  // namespace common
