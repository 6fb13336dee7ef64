// The facade is one object per process, shared by the library and every module using the header.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "logger_probe.hpp"
#include "trelvo/logger.hpp"

namespace {

using namespace logger_probe;

constexpr const char* kInstanceObject =
    "_ZZN6tovrek6Logger8InstanceERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEE8instance";
constexpr const char* kInstanceGuard =
    "_ZGVZN6tovrek6Logger8InstanceERKNSt7__cxx1112basic_stringIcSt11char_"
    "traitsIcESaIcEEEE8instance";

TEST(LoggerInstance, LibraryExportsTheFacadeObjectThisProgramUses) {
  void* library = dlopen("libtrelvo.so.1", RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr) << dlerror();
  const void* exportedObject = dlsym(library, kInstanceObject);
  EXPECT_NE(dlsym(library, kInstanceGuard), nullptr);
  dlclose(library);
  EXPECT_EQ(exportedObject, &tovrek::Logger::Instance("spdlog"));
}

TEST(LoggerInstance, ConcurrentFirstCallsBuildOneObject) {
  const child_process::Result probe = run({"race", "8"}, {});
  ASSERT_TRUE(probe.exitedCleanly()) << probe.err;
  EXPECT_EQ(field(probe.err, "objects"), "1");
  // Each construction would print the notices again.
  EXPECT_EQ(probe.out, std::string(kStdoutNotSet) + kSystemdNotSet + kLevelNotSet);
}

TEST(LoggerInstance, LaterCallsReturnTheSameObjectAndKeepTheFirstName) {
  const child_process::Result probe =
      run({"names", "a", "b"}, {"SPDLOG_STDOUT=true", "SPDLOG_SYSTEMD=false", "SPDLOG_LEVEL=info"});
  ASSERT_TRUE(probe.exitedCleanly()) << probe.err;
  EXPECT_EQ(field(probe.err, "name"), "a");
  EXPECT_EQ(&tovrek::Logger::Instance("x"), &tovrek::Logger::Instance("y"));
}

}  // namespace
