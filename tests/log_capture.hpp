#pragma once

// Everything the process-wide logger writes during a test, as text.

#include <memory>
#include <sstream>
#include <string>

#include <spdlog/sinks/ostream_sink.h>

#include "trelvo/logger.hpp"

namespace log_capture {

/// What the logger writes from its construction on.
class LogCapture {
 public:
  LogCapture() : sink_(std::make_shared<spdlog::sinks::ostream_sink_st>(text_)) {
    sink_->set_pattern("%v");
    tovrek::Logger::Instance("spdlog").getLogger()->sinks().push_back(sink_);
  }
  ~LogCapture() { tovrek::Logger::Instance("spdlog").getLogger()->sinks().pop_back(); }
  int count(const std::string& phrase) const {
    int found = 0;
    const std::string all = text();
    for (auto at = all.find(phrase); at != std::string::npos; at = all.find(phrase, at + 1)) {
      ++found;
    }
    return found;
  }
  std::string text() const { return text_.str(); }

 private:
  std::ostringstream text_;
  std::shared_ptr<spdlog::sinks::ostream_sink_st> sink_;
};

}  // namespace log_capture
