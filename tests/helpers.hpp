#pragma once

// Small helpers shared by the test programs.

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "trelvo/motion.hpp"

namespace trelvo_test {

// The straight-line tracking state the tests start from: a forward ramp of slope 100 and -100,
// no lateral or heading gain, and no running maximum or deviation left from an earlier test.
inline void resetLineTracking() {
  VxCtrlStru = {};
  VyCtrlStru = {};
  WCtrlStru = {};
  VxCtrlStru.value[0] = 100.0;
  VxCtrlStru.value[1] = -100.0;
  VxMax = 0.0;
  pDeltaXYR = {};
}

// Runs `call` on a thread of its own and reports whether it returned within `limit`. A call that
// hangs is left running detached (the test fails, and the process ends it on exit), so `call` must
// own what it uses: capture by value or through shared pointers.
template <typename Call>
bool finishesWithin(std::chrono::milliseconds limit, Call call) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  std::thread([done, call]() mutable {
    call();
    done->set_value();
  }).detach();
  return finished.wait_for(limit) == std::future_status::ready;
}

}  // namespace trelvo_test
