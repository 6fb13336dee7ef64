#include "common/real_time.hpp"

#include <csignal>
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

}  // namespace common
