#include "sim/workers/workers.hpp"

#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fmt/format.h>

#include "sim/workers/result_wire.hpp"

namespace sim {
namespace {

struct Worker {
  pid_t pid = -1;
  int fd = -1;          // read end of its result pipe, -1 once it reached its end
  std::string pending;  // received bytes not yet decoded
  int delivered = 0;
  int expected = 0;
};

bool writeAll(int fd, const std::string& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno != EINTR) {
      return false;
    }
    written += n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  return true;
}

// The body of worker `first`: runs first, first + jobs, ... and never returns.
[[noreturn]] void serve(int first, int jobs, int count, const std::function<RunResult(int)>& runOne,
                        int fd) {
  int status = 0;
  try {
    for (int i = first; i < count && status == 0; i += jobs) {
      status = writeAll(fd, encodeResult(static_cast<std::uint32_t>(i), runOne(i))) ? 0 : 1;
    }
  } catch (...) {
    status = 1;
  }
  // Without running this process's exit handlers or flushing the buffers it shares with its
  // parent.
  _exit(status);
}

std::string describeEnd(int status) {
  if (WIFSIGNALED(status)) {
    return fmt::format("was killed by signal {} ({})", WTERMSIG(status),
                       strsignal(WTERMSIG(status)));
  }
  return fmt::format("exited with status {}", WEXITSTATUS(status));
}

// The workers of one batch; whatever happens, none outlives it.
class WorkerGroup {
 public:
  ~WorkerGroup() {
    for (Worker& worker : workers_) {
      if (worker.fd >= 0) {
        close(worker.fd);
      }
      if (worker.pid > 0) {
        kill(worker.pid, SIGKILL);
        waitFor(worker);
      }
    }
  }

  void start(int jobs, int count, const std::function<RunResult(int)>& runOne) {
    // The workers inherit this process's buffers: empty them first so nothing is written twice.
    std::fflush(stdout);
    std::fflush(stderr);
    workers_.resize(jobs);
    for (int w = 0; w < jobs; ++w) {
      int ends[2];
      if (pipe(ends) != 0) {
        throw WorkerError(std::string("cannot start a worker process: ") + std::strerror(errno));
      }
      const pid_t pid = fork();
      if (pid < 0) {
        close(ends[0]);
        close(ends[1]);
        throw WorkerError(std::string("cannot start a worker process: ") + std::strerror(errno));
      }
      if (pid == 0) {
        close(ends[0]);
        serve(w, jobs, count, runOne, ends[1]);
      }
      close(ends[1]);
      workers_[w].pid = pid;
      workers_[w].fd = ends[0];
      workers_[w].expected = (count - w + jobs - 1) / jobs;
    }
  }

  void collect(std::vector<RunResult>& results, const std::function<void()>& onRunDone) {
    for (;;) {
      std::vector<pollfd> open;
      std::vector<Worker*> owners;
      for (Worker& worker : workers_) {
        if (worker.fd >= 0) {
          open.push_back({worker.fd, POLLIN, 0});
          owners.push_back(&worker);
        }
      }
      if (open.empty()) {
        break;
      }
      if (poll(open.data(), open.size(), -1) < 0) {
        if (errno == EINTR) {
          continue;
        }
        throw WorkerError(std::string("cannot wait for the worker processes: ") +
                          std::strerror(errno));
      }
      for (std::size_t k = 0; k < open.size(); ++k) {
        if (open[k].revents != 0) {
          receive(*owners[k], results, onRunDone);
        }
      }
    }
    for (std::size_t w = 0; w < workers_.size(); ++w) {
      Worker& worker = workers_[w];
      const int status = waitFor(worker);
      if (worker.delivered != worker.expected || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw WorkerError(fmt::format(
            "worker process {} of {} {} after {} of its {} runs; --jobs 1 runs every scenario in "
            "this process",
            w + 1, workers_.size(), describeEnd(status), worker.delivered, worker.expected));
      }
    }
  }

 private:
  static int waitFor(Worker& worker) {
    int status = 0;
    while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
    }
    worker.pid = -1;
    return status;
  }

  static void receive(Worker& worker, std::vector<RunResult>& results,
                      const std::function<void()>& onRunDone) {
    std::array<char, 65536> buffer;
    const ssize_t n = read(worker.fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) {
      return;
    }
    if (n <= 0) {
      close(worker.fd);
      worker.fd = -1;
      return;
    }
    worker.pending.append(buffer.data(), static_cast<std::size_t>(n));
    std::uint32_t index = 0;
    RunResult result;
    while (takeResult(worker.pending, index, result)) {
      results.at(index) = std::move(result);
      ++worker.delivered;
      if (onRunDone) {
        onRunDone();
      }
    }
  }

  std::vector<Worker> workers_;
};

}  // namespace

int availableCores() {
  cpu_set_t cores;
  if (sched_getaffinity(0, sizeof cores, &cores) == 0) {
    return std::max(1, CPU_COUNT(&cores));
  }
  return static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
}

double cpuSecondsWithWorkers() {
  double seconds = 0.0;
  for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage usage{};
    getrusage(who, &usage);
    for (const timeval& t : {usage.ru_utime, usage.ru_stime}) {
      seconds += static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    }
  }
  return seconds;
}

std::vector<RunResult> runEach(int count, int jobs, const std::function<RunResult(int)>& runOne,
                               const std::function<void()>& onRunDone) {
  std::vector<RunResult> results(static_cast<std::size_t>(count));
  if (jobs <= 1 || count <= 1) {
    for (int i = 0; i < count; ++i) {
      results[i] = runOne(i);
      if (onRunDone) {
        onRunDone();
      }
    }
    return results;
  }
  WorkerGroup group;
  group.start(std::min(jobs, count), count, runOne);
  group.collect(results, onRunDone);
  return results;
}

}  // namespace sim
