#include "sim/workers/result_wire.hpp"

#include <cstring>
#include <type_traits>

namespace sim {
namespace {

class Writer {
 public:
  template <typename T>
  void put(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void putText(const std::string& text) {
    put(static_cast<std::uint32_t>(text.size()));
    bytes_ += text;
  }
  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
};

class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}
  template <typename T>
  T get() {
    T value;
    std::memcpy(&value, bytes_.data() + at_, sizeof value);
    at_ += sizeof value;
    return value;
  }
  std::string getText() {
    const auto size = get<std::uint32_t>();
    std::string text = bytes_.substr(at_, size);
    at_ += size;
    return text;
  }

 private:
  const std::string& bytes_;
  std::size_t at_ = 0;
};

// Each message starts with the length of the rest of it.
using Length = std::uint32_t;

}  // namespace

std::string encodeResult(std::uint32_t index, const RunResult& result) {
  Writer out;
  out.put(Length{0});
  out.put(index);
  out.put(result.outcome);
  out.put(result.finished);
  out.put(result.cycles);
  out.put(result.simulatedTime);
  out.put(result.positionError);
  out.put(result.headingError);
  out.put(static_cast<std::uint32_t>(result.phases.size()));
  for (const PhaseStats& phase : result.phases) {
    out.put(phase);
  }
  out.putText(result.badCommand);
  out.put(result.minClearance);
  out.put(result.waits);
  out.put(result.waitTime);
  out.put(result.slowTime);
  out.put(result.blockedAtEnd);
  out.put(result.contactTime);
  const Length length = static_cast<Length>(out.bytes().size() - sizeof(Length));
  std::memcpy(out.bytes().data(), &length, sizeof length);
  return std::move(out.bytes());
}

bool takeResult(std::string& bytes, std::uint32_t& index, RunResult& result) {
  Length length = 0;
  if (bytes.size() < sizeof length) {
    return false;
  }
  std::memcpy(&length, bytes.data(), sizeof length);
  if (bytes.size() < sizeof length + length) {
    return false;
  }
  const std::string message = bytes.substr(sizeof length, length);
  bytes.erase(0, sizeof length + length);
  Reader in(message);
  index = in.get<std::uint32_t>();
  result.outcome = in.get<Outcome>();
  result.finished = in.get<bool>();
  result.cycles = in.get<int>();
  result.simulatedTime = in.get<double>();
  result.positionError = in.get<double>();
  result.headingError = in.get<double>();
  result.phases.resize(in.get<std::uint32_t>());
  for (PhaseStats& phase : result.phases) {
    phase = in.get<PhaseStats>();
  }
  result.badCommand = in.getText();
  result.minClearance = in.get<double>();
  result.waits = in.get<int>();
  result.waitTime = in.get<double>();
  result.slowTime = in.get<double>();
  result.blockedAtEnd = in.get<bool>();
  result.contactTime = in.get<double>();
  return true;
}

}  // namespace sim
