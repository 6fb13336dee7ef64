#include "sim/output/progress_bar.hpp"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace sim {
namespace {

constexpr int kBarWidth = 40;  // characters

}  // namespace

ProgressBar::ProgressBar(int total)
    : total_(total),
      enabled_(isatty(STDERR_FILENO) == 1),
      started_(std::chrono::steady_clock::now()) {
  draw();
}

ProgressBar::~ProgressBar() {
  if (enabled_) {
    std::fputs("\r\033[K", stderr);  // clear the bar's line
    std::fflush(stderr);
  }
}

void ProgressBar::advance() {
  ++done_;
  draw();
}

void ProgressBar::draw() {
  // Redraw only when the bar visibly moves: at most a thousand times per batch.
  const int permille = total_ > 0 ? done_ * 1000 / total_ : 1000;
  if (!enabled_ || permille == drawnPermille_) {
    return;
  }
  drawnPermille_ = permille;
  const int filled = permille * kBarWidth / 1000;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  std::fprintf(stderr, "\r[%s%s] %d/%d runs  %.1f s", std::string(filled, '#').c_str(),
               std::string(kBarWidth - filled, '.').c_str(), done_, total_, seconds);
  std::fflush(stderr);
}

}  // namespace sim
