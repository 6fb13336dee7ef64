#pragma once

// Replies held until the asking client's reply reader has matched, as both ROS 2 middlewares
// check before they reply: each is written once its client's reader matched, dropped silently when
// the client is gone, and dropped with a line in the log when kReplyReaderWait passes first.
// `Address` is how a server knows the asking client (rmw_cyclonedds's request writer,
// rmw_fastrtps's related sample identity).

#include <fmt/format.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "wire/rate_limited_log.hpp"
#include "wire/service_server.hpp"
#include "wire/topic_names.hpp"

namespace wire {

/// Where the asking client's reply reader stands.
enum class ClientReader { Matched, NotYet, Gone };

template <typename Address>
class PendingReplies {
 public:
  using Clock = ServiceServer::Clock;

  bool empty() const { return replies_.empty(); }
  /// Holds `bytes` for the client at `address` from `now`.
  void add(std::vector<std::uint8_t> bytes, Address address, Clock::time_point now) {
    replies_.push_back(
        {std::move(bytes), std::move(address), now + ServiceServer::kReplyReaderWait});
  }
  /// Writes, with `write(bytes, address)`, each reply whose client's reader `readerOf(address)`
  /// finds matched; keeps those still waiting; drops the others, those whose wait ran out with a
  /// line in `dropped` naming the service of `spec`.
  template <typename ReaderOf, typename Write>
  void send(Clock::time_point now, ReaderOf readerOf, Write write, const ServiceSpec& spec,
            RateLimitedLog& dropped) {
    for (auto reply = replies_.begin(); reply != replies_.end();) {
      const ClientReader reader = readerOf(reply->address);
      if (reader == ClientReader::NotYet && now < reply->deadline) {
        ++reply;
        continue;
      }
      if (reader == ClientReader::Matched) {
        write(reply->bytes, reply->address);
      } else if (reader == ClientReader::NotYet) {
        dropped.note(
            fmt::format("{}: dropped a reply: the client's reply reader did not match "
                        "within {} s",
                        rosServiceName(spec.requestTopic), ServiceServer::kReplyReaderWait.count()),
            now);
      }
      reply = replies_.erase(reply);
    }
  }

 private:
  struct Reply {
    std::vector<std::uint8_t> bytes;
    Address address;
    Clock::time_point deadline;
  };
  std::vector<Reply> replies_;
};

}  // namespace wire
