#include "sim/output/plotter.hpp"

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "sim/output/output_folder.hpp"

extern char** environ;

namespace sim {
namespace fs = std::filesystem;

namespace {

// The exit status by which the scripts say that matplotlib cannot be imported.
constexpr int kMissingMatplotlib = 4;

struct ScriptResult {
  int exitStatus;  // -1 when the script did not exit normally
  std::string errorOutput;
};

// Runs the Python interpreter on argv, with this process's environment and standard output;
// its standard error is collected.
ScriptResult runPython(const std::vector<std::string>& argv) {
  int errPipe[2];
  if (pipe(errPipe) != 0) {
    throw OutputError(std::string("cannot start ") + kPython + ": " + std::strerror(errno));
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, errPipe[0]);
  posix_spawn_file_actions_addclose(&actions, errPipe[1]);
  std::vector<char*> args;
  for (const std::string& arg : argv) {
    args.push_back(const_cast<char*>(arg.c_str()));
  }
  args.push_back(nullptr);
  pid_t pid = -1;
  const int spawnError = posix_spawn(&pid, kPython, &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(errPipe[1]);
  if (spawnError != 0) {
    close(errPipe[0]);
    throw OutputError(std::string("cannot run ") + kPython + ": " + std::strerror(spawnError) +
                      " (install python3-matplotlib; scripts/bootstrap.sh does)");
  }
  ScriptResult result{-1, {}};
  std::array<char, 4096> buffer;
  for (;;) {
    const ssize_t n = read(errPipe[0], buffer.data(), buffer.size());
    if (n > 0) {
      result.errorOutput.append(buffer.data(), static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(errPipe[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    result.exitStatus = WEXITSTATUS(status);
  }
  return result;
}

std::string lastLine(const std::string& text) {
  std::size_t end = text.find_last_not_of("\n");
  if (end == std::string::npos) {
    return {};
  }
  const std::size_t start = text.rfind('\n', end);
  return text.substr(start == std::string::npos ? 0 : start + 1, end - start);
}

fs::path executableFolder() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : self.parent_path();
}

}  // namespace

fs::path findPlotScript(const std::string& name) {
  const fs::path here = executableFolder();
  const std::array<fs::path, 3> candidates = {here / name,
                                              here / ".." / TRELVO_SIM_INSTALLED_SCRIPTS / name,
                                              fs::path(TRELVO_SIM_SOURCE_SCRIPTS) / name};
  for (const fs::path& candidate : candidates) {
    std::error_code error;
    if (!candidate.empty() && fs::is_regular_file(candidate, error)) {
      return candidate.lexically_normal();
    }
  }
  throw OutputError("cannot find the plotting script " + name + " beside " + here.string() +
                    ", in ../" + TRELVO_SIM_INSTALLED_SCRIPTS + " or in " +
                    TRELVO_SIM_SOURCE_SCRIPTS);
}

void drawPicture(const std::string& script, std::vector<std::string> arguments,
                 const fs::path& png) {
  PendingFile pending(png);
  std::vector<std::string> argv = {kPython, findPlotScript(script).string()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  argv.push_back("--png");
  argv.push_back(pending.partialPath().string());
  const ScriptResult result = runPython(argv);
  if (result.exitStatus == kMissingMatplotlib) {
    throw OutputError(
        "python3-matplotlib is missing, so no picture was drawn: install it with "
        "'apt-get install python3-matplotlib' (scripts/bootstrap.sh does)");
  }
  if (result.exitStatus != 0) {
    const std::string why = lastLine(result.errorOutput);
    throw OutputError(script + " failed" + (why.empty() ? std::string() : ": " + why));
  }
  pending.commit();
}

}  // namespace sim
