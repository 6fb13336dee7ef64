// trelvo-sim's usleep: the controller's pauses pass in simulated time instead of real time.
//
// libtrelvo.so calls usleep through its dynamic symbol table. The dynamic linker looks a symbol
// up in the executable before the shared libraries it loads, so this definition, exported from
// the program (default visibility; the linker puts it in the dynamic symbol table because a
// linked library refers to it), takes the place of the C library's for every caller in this
// process. The other programs that link the library keep the real usleep.

#include <unistd.h>

#include "sim/run/pause_clock.hpp"

extern "C" __attribute__((visibility("default"))) int usleep(useconds_t microseconds) noexcept {
  sim::addPause(microseconds);
  return 0;
}
