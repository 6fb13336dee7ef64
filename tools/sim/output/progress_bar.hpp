#pragma once

// A progress bar on standard error for long batches, redrawn in place; drawn only when standard
// error is a terminal, so that logs and pipes stay clean.

#include <chrono>

namespace sim {

class ProgressBar {
 public:
  explicit ProgressBar(int total);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void advance();

 private:
  void draw();

  int total_;
  int done_ = 0;
  int drawnPermille_ = -1;
  bool enabled_;
  std::chrono::steady_clock::time_point started_;
};

}  // namespace sim
