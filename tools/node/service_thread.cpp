#include "node/service_thread.hpp"

#include <chrono>

#include "wire/dds_error.hpp"

namespace node {
namespace {

// How often replies held for a client's reply reader are tried again; and, without any, how long
// the thread sleeps at most: a reply given between requests (a goal's result) that found its
// client's reader not yet matched waits no longer than this.
constexpr dds_duration_t kReplyRetry = DDS_MSECS(5);
constexpr dds_duration_t kIdleWait = DDS_MSECS(200);

}  // namespace

ServiceThread::ServiceThread(const wire::Participant& participant, std::mutex& lock,
                             std::vector<wire::ServiceServer*> servers,
                             std::function<void(Clock::time_point)> serve)
    : lock_(lock), servers_(std::move(servers)), serve_(std::move(serve)) {
  try {
    waitset_ = wire::checked(dds_create_waitset(participant.handle()), "creating a waitset");
    stopCondition_ = wire::checked(dds_create_guardcondition(participant.handle()),
                                   "creating a guard condition");
    wire::checked(dds_waitset_attach(waitset_, stopCondition_, 0), "attaching a guard condition");
    for (auto* server : servers_) {
      server->wakeOnRequests(waitset_);
    }
  } catch (...) {
    dds_delete(waitset_);
    dds_delete(stopCondition_);
    throw;
  }
  thread_ = std::thread([this] { run(); });
}

ServiceThread::~ServiceThread() {
  dds_set_guardcondition(stopCondition_, true);
  thread_.join();
  dds_delete(waitset_);
  dds_delete(stopCondition_);
}

bool ServiceThread::repliesWaiting() const {
  for (const auto* server : servers_) {
    if (server->repliesWaiting()) {
      return true;
    }
  }
  return false;
}

void ServiceThread::run() {
  bool retry = false;
  for (;;) {
    dds_waitset_wait(waitset_, nullptr, 0, retry ? kReplyRetry : kIdleWait);
    bool stopping = false;
    dds_read_guardcondition(stopCondition_, &stopping);
    if (stopping) {
      return;
    }
    const std::lock_guard<std::mutex> held(lock_);
    serve_(Clock::now());
    retry = repliesWaiting();
  }
}

}  // namespace node
