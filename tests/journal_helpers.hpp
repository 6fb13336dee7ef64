#pragma once

// The systemd journal for tests: a journald to write to, and the entries a process wrote, read
// back with journalctl.
//
//   journal::Daemon daemon;                         // before the writer starts
//   auto child = child_process::run({...}, {"SPDLOG_SYSTEMD=true", ...});
//   auto entries = journal::entriesOf(child.pid, 2);  // waits until two entries have arrived
//   EXPECT_EQ(entries[0].at("MESSAGE"), "...");

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "child_process.hpp"

namespace journal {

using Entry = std::map<std::string, std::string>;

constexpr const char* kSocketPath = "/run/systemd/journal/socket";
constexpr const char* kJournaldPath = "/lib/systemd/systemd-journald";
constexpr const char* kJournalctlPath = "/usr/bin/journalctl";
// Serialises starting and stopping a journald among concurrent test processes.
constexpr const char* kStartLockPath = "/tmp/trelvo-test-journald.lock";
// Pid of a journald that a test started; every test process using the journal holds a shared
// lock on it, so the last one out knows it may stop that journald.
constexpr const char* kUsersPath = "/tmp/trelvo-test-journald.pid";
constexpr std::chrono::seconds kStartTimeout{5};
constexpr std::chrono::milliseconds kPollInterval{10};

/// True when a journald accepts datagrams on its socket (a socket file may outlive its daemon).
inline bool isListening() {
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, kSocketPath, sizeof address.sun_path - 1);
  const bool listening =
      connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return listening;
}

template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  return true;
}

/// Makes sure a journald is listening while the object lives. When none is, a standalone
/// systemd-journald is started; it is stopped again, by its pid, when the last Daemon of any
/// test process goes. A journald that the tests did not start is never touched.
class Daemon {
 public:
  Daemon() {
    startLock_ = openOrThrow(kStartLockPath);
    users_ = openOrThrow(kUsersPath);
    const Holding starting(startLock_, LOCK_EX);
    flock(users_, LOCK_SH);
    if (!isListening()) {
      start();
    }
  }

  ~Daemon() {
    {
      const Holding stopping(startLock_, LOCK_EX);
      if (flock(users_, LOCK_EX | LOCK_NB) == 0) {
        stopStartedJournald();
      }
    }
    close(users_);
    close(startLock_);
  }

  Daemon(const Daemon&) = delete;
  Daemon& operator=(const Daemon&) = delete;

 private:
  struct Holding {
    Holding(int fd, int operation) : fd(fd) { flock(fd, operation); }
    ~Holding() { flock(fd, LOCK_UN); }
    int fd;
  };

  static int openOrThrow(const char* path) {
    const int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
      throw std::system_error(errno, std::generic_category(), path);
    }
    return fd;
  }

  // The socket accepts datagrams as soon as it is bound, but journald attaches the sender's
  // credentials (_PID) only once it has finished setting up; it says so with READY=1 on the
  // notification socket it is given, so the start waits for that.
  void start() {
    const std::string notifyName = "trelvo-test-journald-" + std::to_string(getpid());
    const int notify = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;  // abstract name: sun_path starts with a zero byte
    std::memcpy(address.sun_path + 1, notifyName.data(), notifyName.size());
    const socklen_t addressSize =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + notifyName.size());
    if (bind(notify, reinterpret_cast<const sockaddr*>(&address), addressSize) != 0) {
      const int bindError = errno;
      close(notify);
      throw std::system_error(bindError, std::generic_category(), "notification socket");
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
      posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
    }
    std::string notifyVariable = "NOTIFY_SOCKET=@" + notifyName;
    char* argv[] = {const_cast<char*>(kJournaldPath), nullptr};
    char* environment[] = {notifyVariable.data(), nullptr};
    pid_t pid = -1;
    const int error = posix_spawn(&pid, kJournaldPath, &actions, nullptr, argv, environment);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
      close(notify);
      throw std::system_error(error, std::generic_category(), kJournaldPath);
    }
    const std::string text = std::to_string(pid);
    if (ftruncate(users_, 0) != 0 ||
        pwrite(users_, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
      close(notify);
      throw std::system_error(errno, std::generic_category(), kUsersPath);
    }
    const bool ready = waitFor(
        [notify] {
          char message[512] = {};
          return recv(notify, message, sizeof message - 1, MSG_DONTWAIT) > 0 &&
                 std::strstr(message, "READY=1") != nullptr;
        },
        kStartTimeout);
    close(notify);
    if (!ready) {
      throw std::runtime_error("systemd-journald did not report ready");
    }
  }

  void stopStartedJournald() {
    char text[32] = {};
    if (pread(users_, text, sizeof text - 1, 0) <= 0) {
      return;
    }
    const pid_t pid = static_cast<pid_t>(std::atol(text));
    // The recorded pid may be stale and since reused: only a journald is stopped.
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    if (pid > 0 && std::getline(comm, name) && name.rfind("systemd-journal", 0) == 0) {
      kill(pid, SIGTERM);
      // Reaped here if this process started it; otherwise its new parent reaps it.
      waitpid(pid, nullptr, WNOHANG);
      waitFor([] { return !isListening(); }, kStartTimeout);
      waitpid(pid, nullptr, WNOHANG);
    }
    if (ftruncate(users_, 0) != 0) {
      throw std::system_error(errno, std::generic_category(), kUsersPath);
    }
  }

  int startLock_ = -1;
  int users_ = -1;
};

inline void appendUtf8(std::string& out, unsigned codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

/// Reads a JSON string starting at the quote at `pos`; leaves `pos` after the closing quote.
inline std::string parseString(const std::string& json, std::size_t& pos) {
  std::string out;
  for (++pos; pos < json.size() && json[pos] != '"'; ++pos) {
    if (json[pos] != '\\') {
      out += json[pos];
      continue;
    }
    switch (json[++pos]) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'u':
        appendUtf8(out, static_cast<unsigned>(std::stoul(json.substr(pos + 1, 4), nullptr, 16)));
        pos += 4;
        break;
      default:
        out += json[pos];
        break;  // \" \\ \/
    }
  }
  ++pos;
  return out;
}

/// One line of `journalctl -o json`. String values are unescaped; any other value (an array,
/// as journalctl writes a field that occurs more than once) is kept as its JSON text.
inline Entry parseEntry(const std::string& json) {
  Entry entry;
  std::size_t pos = json.find('"');
  while (pos != std::string::npos) {
    const std::string key = parseString(json, pos);
    pos = json.find(':', pos) + 1;
    if (json[pos] == '"') {
      entry[key] = parseString(json, pos);
    } else {
      const std::size_t start = pos;
      int depth = 0;
      for (; pos < json.size(); ++pos) {
        const char c = json[pos];
        if (c == '"') {
          parseString(json, pos);
          --pos;
        } else if (c == '[') {
          ++depth;
        } else if (c == ']') {
          --depth;
        } else if ((c == ',' || c == '}') && depth == 0) {
          break;
        }
      }
      entry[key] = json.substr(start, pos - start);
    }
    pos = json.find('"', pos);
  }
  return entry;
}

/// The journal entries that process `pid` wrote, oldest first. Journald stores entries a moment
/// after they are sent, so this polls until at least `count` are there or `timeout` passes.
inline std::vector<Entry> entriesOf(pid_t pid, std::size_t count,
                                    std::chrono::milliseconds timeout = std::chrono::seconds{5}) {
  // A pid recurs after reboots and wrap-arounds; only recent entries can be this process's.
  const std::time_t since = std::time(nullptr) - 60;
  std::vector<Entry> entries;
  waitFor(
      [&] {
        const child_process::Result reader =
            child_process::run({kJournalctlPath, "--no-pager", "-o", "json",
                                "--since=@" + std::to_string(since), "_PID=" + std::to_string(pid)},
                               {});
        entries.clear();
        std::istringstream lines(reader.out);
        for (std::string line; std::getline(lines, line);) {
          if (!line.empty() && line.front() == '{') {
            entries.push_back(parseEntry(line));
          }
        }
        return entries.size() >= count;
      },
      timeout);
  return entries;
}

}  // namespace journal
