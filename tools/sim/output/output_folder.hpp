#pragma once

// The folder trelvo-sim writes into, and files that appear there only when complete.

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace sim {

/// The output could not be written or drawn; the message is one line.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class OutputFolder {
 public:
  /// Creates the folder (and missing parents) and proves it writable. On failure removes the
  /// folders it created and throws OutputError.
  static OutputFolder prepare(const std::filesystem::path& folder);

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path file(const std::string& name) const { return path_ / name; }

 private:
  explicit OutputFolder(std::filesystem::path path) : path_(std::move(path)) {}
  std::filesystem::path path_;
};

/// A file written under a temporary name beside its final one and renamed into place by
/// commit(). Uncommitted, it is removed, so a reader never finds a half-written file.
class PendingFile {
 public:
  explicit PendingFile(std::filesystem::path target);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  /// The temporary name, for writers that open the file themselves.
  const std::filesystem::path& partialPath() const { return partial_; }
  /// A stream on the temporary file, opened on first use.
  std::ofstream& stream();
  /// Flushes and renames into place; throws OutputError when the data did not all get written.
  void commit();

 private:
  std::filesystem::path target_;
  std::filesystem::path partial_;
  std::ofstream stream_;
  bool committed_ = false;
};

}  // namespace sim
