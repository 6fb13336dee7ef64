#include "node/drive/progress_repeat.hpp"

namespace node {

bool ProgressRepeat::due(const std::string& progress, Clock::time_point now) {
  if (sentAt_ && progress == sent_ && now - *sentAt_ < kProgressRepeat) {
    return false;
  }
  sent_ = progress;
  sentAt_ = now;
  return true;
}

}  // namespace node
