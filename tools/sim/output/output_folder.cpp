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

// "a/b/" names the folder "a/b"; its parent is "a", not "a/b".
fs::path withoutTrailingSlash(const fs::path& path) {
  return path.has_filename() ? path : path.parent_path();
}

// Creates and removes a file in `folder`; the error when that fails.
std::error_code probeWrite(const fs::path& folder) {
  std::string probe = (folder / ".trelvo-sim-probe-XXXXXX").string();
  const int fd = mkstemp(probe.data());
  if (fd < 0) {
    return {errno, std::generic_category()};
  }
  close(fd);
  std::error_code ignored;
  fs::remove(probe, ignored);
  return {};
}

// A file a run writes into the output folder, finished or half-written (.NAME.partial).
bool isRunResult(std::string name) {
  const std::string partial = ".partial";
  if (name.size() > 1 + partial.size() && name.front() == '.' &&
      name.compare(name.size() - partial.size(), partial.size(), partial) == 0) {
    name = name.substr(1, name.size() - 1 - partial.size());
  }
  const fs::path path(name);
  const std::string stem = path.stem().string();
  const bool ownStem = stem == "run" || stem == "batch" || stem == "suite" ||
                       (stem.size() > 4 && stem.compare(0, 4, "run-") == 0);
  return ownStem && (path.extension() == ".csv" || path.extension() == ".png");
}

void removeEarlierResults(const fs::path& folder) {
  std::error_code error;
  for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    std::error_code ignored;
    if (it->is_regular_file(ignored) && isRunResult(it->path().filename().string()) &&
        !fs::remove(it->path(), error)) {
      break;
    }
  }
  if (error) {
    throw OutputError(describe(folder, error));
  }
}

}  // namespace

OutputFolder OutputFolder::prepare(const fs::path& folder) {
  // Create from the outermost missing folder inwards, remembering each so that a failure leaves
  // nothing behind.
  std::vector<fs::path> missing;
  for (fs::path p = withoutTrailingSlash(fs::absolute(folder).lexically_normal()); !p.empty();
       p = p.parent_path()) {
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
  if (const std::error_code probeError = probeWrite(folder)) {
    removeCreated(created);
    throw OutputError(describe(folder, probeError));
  }
  removeEarlierResults(folder);
  return OutputFolder(folder);
}

bool isInFolder(const fs::path& file, const fs::path& folder) {
  const auto normal = [](const fs::path& path) {
    return withoutTrailingSlash(fs::absolute(path).lexically_normal());
  };
  return normal(file).parent_path() == normal(folder);
}

void checkWritable(const fs::path& file) {
  std::error_code error;
  if (fs::is_directory(file, error)) {
    throw OutputError(describe(file, std::make_error_code(std::errc::is_a_directory)));
  }
  const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
  if (const std::error_code probeError = probeWrite(folder)) {
    throw OutputError(describe(file, probeError));
  }
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
