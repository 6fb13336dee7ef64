#pragma once

// A program running beside the test, as a node runs beside others on a robot: started with the
// environment given, its output kept in a file for when a test fails, stopped by signals.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "child_process.hpp"

class BackgroundProcess {
 public:
  BackgroundProcess(std::vector<std::string> argv, std::vector<std::string> environment,
                    const std::string& logFile)
      : logFile_(logFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int error = posix_spawn(&pid_, argv[0].c_str(), &actions, nullptr,
                                  child_process::pointersTo(argv).data(),
                                  child_process::pointersTo(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
      throw std::system_error(error, std::generic_category(), "posix_spawn " + argv[0]);
    }
  }
  ~BackgroundProcess() {
    if (!exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  void signal(int number) { kill(pid_, number); }
  pid_t pid() const { return pid_; }
  bool running() {
    if (!exited_) {
      exited_ = waitpid(pid_, &status_, WNOHANG) == pid_;
    }
    return !exited_;
  }
  /// The wait status once the process ended within `limit`, nothing otherwise.
  std::optional<int> exitWithin(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (running()) {
      if (std::chrono::steady_clock::now() > deadline) {
        return std::nullopt;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status_;
  }
  std::string output() const {
    std::ifstream in(logFile_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::string logFile_;
  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = 0;
};
