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
  /// Creates the folder (and missing parents) and proves it writable, then removes what an earlier
  /// run wrote there (run.csv and run.png, batch.csv and batch.png, suite.csv, each failed
  /// scenario's run-NAME.csv and run-NAME.png, and half-written ones of these), so that no result
  /// of an earlier run can be taken for this one's. On failure removes the folders it created and
  /// throws OutputError.
  static OutputFolder prepare(const std::filesystem::path& folder);

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path file(const std::string& name) const { return path_ / name; }

 private:
  explicit OutputFolder(std::filesystem::path path) : path_(std::move(path)) {}
  std::filesystem::path path_;
};

/// Proves that `file` can be written (its folder exists and takes a new file, and it is not a
/// folder itself) without touching it; throws OutputError otherwise. For outputs outside the
/// output folder, checked before any run so that a long run does not end in an unwritable file.
void checkWritable(const std::filesystem::path& file);

/// Whether `file` names a file directly in `folder`, however either is spelled.
bool isInFolder(const std::filesystem::path& file, const std::filesystem::path& folder);

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
