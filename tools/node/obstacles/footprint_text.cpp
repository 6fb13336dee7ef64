#include "node/obstacles/footprint_text.hpp"

#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace node {
namespace {

// Reads the text one character at a time, blanks skipped.
class FootprintReader {
 public:
  explicit FootprintReader(const std::string& text) : text_(text) {}

  void expect(char wanted) {
    skipBlanks();
    if (position_ >= text_.size() || text_[position_] != wanted) {
      fail(std::string("'") + wanted + "' expected");
    }
    ++position_;
  }

  // Takes `wanted` when it comes next.
  bool take(char wanted) {
    skipBlanks();
    if (position_ < text_.size() && text_[position_] == wanted) {
      ++position_;
      return true;
    }
    return false;
  }

  double number() {
    skipBlanks();
    const char* begin = text_.c_str() + position_;
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value)) {
      fail("a finite number expected");
    }
    position_ += static_cast<std::size_t>(end - begin);
    return value;
  }

  void end() {
    skipBlanks();
    if (position_ != text_.size()) {
      fail("nothing expected after the last ']'");
    }
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw std::invalid_argument("footprint \"" + text_ + "\": " + what + " at character " +
                                std::to_string(position_ + 1));
  }

 private:
  void skipBlanks() {
    while (position_ < text_.size() && (text_[position_] == ' ' || text_[position_] == '\t')) {
      ++position_;
    }
  }

  const std::string& text_;
  std::size_t position_ = 0;
};

}  // namespace

trelvo::Footprint parseFootprint(const std::string& text) {
  FootprintReader reader(text);
  trelvo::Footprint footprint;
  reader.expect('[');
  do {
    reader.expect('[');
    const double x = reader.number();
    reader.expect(',');
    const double y = reader.number();
    reader.expect(']');
    footprint.polygon.push_back({x, y});
  } while (reader.take(','));
  reader.expect(']');
  reader.end();
  if (footprint.polygon.size() < 3) {
    reader.fail("at least three corners expected");
  }
  return footprint;
}

}  // namespace node
