#pragma once

// The node's services answered as their requests arrive, on a thread of their own: a client does
// not wait for the next control cycle (Nav2's behaviour tree fails a goal whose acceptance takes
// longer than 20 ms, a whole cycle at 50 Hz). The thread and the control cycle take turns under
// one lock, so that what the services change (the lifecycle's state, the goals) is never seen
// half-changed by a cycle.

#include <dds/dds.h>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "node/drive/pose_watch.hpp"
#include "wire/participant.hpp"
#include "wire/service_server.hpp"

namespace node {

class ServiceThread {
 public:
  /// Calls `serve` under `lock` whenever a request reaches one of `servers`, every few
  /// milliseconds while one of them holds a reply for a client not yet matched, and a few times a
  /// second otherwise.
  ServiceThread(const wire::Participant& participant, std::mutex& lock,
                std::vector<wire::ServiceServer*> servers,
                std::function<void(Clock::time_point)> serve);
  /// Stops the thread; a request being answered is answered first.
  ~ServiceThread();
  ServiceThread(const ServiceThread&) = delete;
  ServiceThread& operator=(const ServiceThread&) = delete;

 private:
  void run();
  bool repliesWaiting() const;

  std::mutex& lock_;
  std::vector<wire::ServiceServer*> servers_;
  std::function<void(Clock::time_point)> serve_;
  dds_entity_t waitset_ = 0;
  dds_entity_t stopCondition_ = 0;
  std::thread thread_;
};

}  // namespace node
