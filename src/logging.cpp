// Makes libtrelvo the home of the logging facade.
//
// Logger::Instance is inline, so its static object and guard are emitted only where Instance is
// used. Taking its address here puts them into the library as exported data, so the host and
// every other module of the process share one facade even before any library code has logged.

#include "trelvo/logger.hpp"

namespace {

__attribute__((used))
tovrek::Logger& (*const facadeAnchor)(const std::string&) = &tovrek::Logger::Instance;

}  // namespace
