#include "sim/output/output_folder.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace sim {
namespace fs = std::filesystem;

namespace {

std::string describe(const fs::path& path, const std::error_code& error) {
  return "cannot write to " + path.string() + ": " + error.message();
}

void removeCreated(const std::vector<fs::path>& created) {
  for (auto it = created.rbegin(); it != created.rend(); ++it) {
    std::error_code ignored;
    fs::remove(*it, ignored);
  }
}

}  // namespace

OutputFolder OutputFolder::prepare(const fs::path& folder) {
  // Create from the outermost missing folder inwards, remembering each so that a failure leaves
  // nothing behind.
  std::vector<fs::path> missing;
  for (fs::path p = fs::absolute(folder).lexically_normal(); !p.empty(); p = p.parent_path()) {
    std::error_code error;
    if (fs::exists(fs::symlink_status(p, error)) || p == p.parent_path()) {
      break;
    }
    missing.push_back(p);
  }
  std::vector<fs::path> created;
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    std::error_code error;
    if (!fs::create_directory(*it, error)) {
      removeCreated(created);
      throw OutputError(
          describe(folder, error ? error : std::make_error_code(std::errc::file_exists)));
    }
    created.push_back(*it);
  }
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    removeCreated(created);
    throw OutputError(
        describe(folder, error ? error : std::make_error_code(std::errc::not_a_directory)));
  }
  std::string probe = (folder / ".trelvo-sim-probe-XXXXXX").string();
  const int fd = mkstemp(probe.data());
  if (fd < 0) {
    const std::error_code probeError(errno, std::generic_category());
    removeCreated(created);
    throw OutputError(describe(folder, probeError));
  }
  close(fd);
  fs::remove(probe, error);
  return OutputFolder(folder);
}

PendingFile::PendingFile(fs::path target)
    : target_(std::move(target)),
      partial_(target_.parent_path() / ("." + target_.filename().string() + ".partial")) {}

PendingFile::~PendingFile() {
  if (!committed_) {
    stream_.close();
    std::error_code ignored;
    fs::remove(partial_, ignored);
  }
}

std::ofstream& PendingFile::stream() {
  if (!stream_.is_open()) {
    stream_.open(partial_, std::ios::binary | std::ios::trunc);
    if (!stream_.is_open()) {
      throw OutputError("cannot write " + partial_.string() + ": " + std::strerror(errno));
    }
  }
  return stream_;
}

void PendingFile::commit() {
  if (stream_.is_open()) {
    stream_.close();
    if (stream_.fail()) {
      throw OutputError("cannot write " + target_.string());
    }
  }
  std::error_code error;
  fs::rename(partial_, target_, error);
  if (error) {
    throw OutputError("cannot write " + target_.string() + ": " + error.message());
  }
  committed_ = true;
}

}  // namespace sim
