#pragma once

// Runs a program in a fresh process with exactly the environment given, and collects what it
// writes. Tests of process-wide state (the logging facade reads the environment once, on first
// use) run each case this way.

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace child_process {

struct Result {
  pid_t pid = -1;
  int waitStatus = 0;
  std::string out;  // standard output, byte for byte
  std::string err;  // standard error

  bool exitedCleanly() const { return WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0; }
};

inline std::vector<char*> pointersTo(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) {
    pointers.push_back(s.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

/// Runs argv[0] (a path) with `environment` ("NAME=value" entries, nothing inherited) and waits
/// for it. Standard input is left as it is; standard output and error are captured.
inline Result run(std::vector<std::string> argv, std::vector<std::string> environment) {
  int outPipe[2];
  int errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
    throw std::system_error(errno, std::generic_category(), "pipe");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) {
    posix_spawn_file_actions_addclose(&actions, fd);
  }
  Result result;
  const int spawnError = posix_spawn(&result.pid, argv[0].c_str(), &actions, nullptr,
                                     pointersTo(argv).data(), pointersTo(environment).data());
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  if (spawnError != 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    throw std::system_error(spawnError, std::generic_category(), "posix_spawn " + argv[0]);
  }

  // Both pipes are drained together so that neither can fill up and stall the child.
  std::array<pollfd, 2> fds = {pollfd{outPipe[0], POLLIN, 0}, pollfd{errPipe[0], POLLIN, 0}};
  std::array<std::string*, 2> sinks = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw std::system_error(errno, std::generic_category(), "poll");
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  while (waitpid(result.pid, &result.waitStatus, 0) < 0 && errno == EINTR) {
  }
  return result;
}

}  // namespace child_process
