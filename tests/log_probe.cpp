// Drives the logging facade in a process of its own, for tests that need a fresh facade built from
// a chosen environment. Standard output carries only what the facade writes there (notices and
// console lines); the probe reports the facade's state on standard error as
//   name=<logger name> level=<level field> loggerLevel=<logger's level> sinks=<kinds> count=<n>
//
//   log_probe describe               build the facade and report
//   log_probe info <text>            log <text> at info level, then report
//   log_probe debug <n>              n debug lines "line 1" ... "line n", then report
//   log_probe journal <marker>       a debug and an info line carrying <marker>, then report
//   log_probe names <first> <second> Instance(<first>), then Instance(<second>), then report
//   log_probe race <threads>         first Instance calls from several threads at once; reports
//                                    "objects=<distinct objects seen>" before the usual report

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "trelvo/logger.hpp"

namespace {

using ConsoleSink = spdlog::sinks::ansicolor_stdout_sink<spdlog::details::console_mutex>;
using JournalSink = spdlog::sinks::systemd_sink<std::mutex>;

std::string sinkKinds(const spdlog::logger& logger) {
  std::string kinds;
  for (const spdlog::sink_ptr& sink : logger.sinks()) {
    kinds += kinds.empty() ? "" : ",";
    if (dynamic_cast<ConsoleSink*>(sink.get()) != nullptr) {
      kinds += "console";
    } else if (dynamic_cast<JournalSink*>(sink.get()) != nullptr) {
      kinds += "journal";
    } else {
      kinds += "other";
    }
  }
  return kinds;
}

void report(tovrek::Logger& facade) {
  const std::shared_ptr<spdlog::logger> logger = facade.getLogger();
  if (!logger) {
    std::fprintf(stderr, "logger=none level=%d count=%u\n", facade.level,
                 unsigned{facade.debugCount});
    return;
  }
  std::fprintf(stderr, "name=%s level=%d loggerLevel=%d sinks=%s count=%u\n",
               logger->name().c_str(), facade.level, static_cast<int>(logger->level()),
               sinkKinds(*logger).c_str(), unsigned{facade.debugCount});
}

// The journal test expects these two lines from this function, the debug line carrying the line
// number of its own call.
void logJournalLines(const std::string& marker) {
  LOG_DEBUG("{} debug line at {}", marker, __LINE__);
  tovrek::Logger::Instance("spdlog").getLogger()->info("{} info line", marker);
}

void race(int threads) {
  std::atomic<bool> go{false};
  std::vector<tovrek::Logger*> seen(static_cast<std::size_t>(threads), nullptr);
  std::vector<std::thread> workers;
  for (int i = 0; i < threads; ++i) {
    workers.emplace_back([&, i] {
      while (!go.load()) {
      }
      seen[static_cast<std::size_t>(i)] = &tovrek::Logger::Instance("thread" + std::to_string(i));
    });
  }
  go.store(true);
  for (std::thread& worker : workers) {
    worker.join();
  }
  std::fprintf(stderr, "objects=%zu\n", std::set<tovrek::Logger*>(seen.begin(), seen.end()).size());
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  const std::string argument = argc > 2 ? argv[2] : "";
  if (command == "describe") {
    tovrek::Logger::Instance("spdlog");
  } else if (command == "info") {
    tovrek::Logger::Instance("spdlog").getLogger()->info(argument);
  } else if (command == "debug") {
    const int lines = std::atoi(argument.c_str());
    for (int i = 1; i <= lines; ++i) {
      LOG_DEBUG("line {}", i);
    }
  } else if (command == "journal") {
    logJournalLines(argument);
  } else if (command == "names" && argc > 3) {
    tovrek::Logger::Instance(argument);
    tovrek::Logger::Instance(argv[3]);
  } else if (command == "race") {
    race(std::atoi(argument.c_str()));
  } else {
    std::fprintf(stderr, "log_probe: unknown command\n");
    return 2;
  }
  report(tovrek::Logger::Instance("spdlog"));
  return 0;
}
