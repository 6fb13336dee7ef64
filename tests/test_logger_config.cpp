// How the logging facade configures itself from "SPDLOG_STDOUT", "SPDLOG_SYSTEMD" and
// "SPDLOG_LEVEL", each case in a fresh process.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logger_probe.hpp"

namespace {

using namespace logger_probe;

struct Configured {
  std::string notices;
  std::string report;
};

Configured describe(const std::vector<std::string>& environment) {
  const child_process::Result probe = run({"describe"}, environment);
  EXPECT_TRUE(probe.exitedCleanly()) << probe.err;
  return {probe.out, probe.err};
}

TEST(LoggerEnvironment, NothingSetPrintsThreeNoticesInOrderAndLogsInfoToTheConsole) {
  const Configured facade = describe({});
  EXPECT_EQ(facade.notices, std::string(kStdoutNotSet) + kSystemdNotSet + kLevelNotSet);
  EXPECT_EQ(field(facade.report, "name"), "spdlog");
  EXPECT_EQ(field(facade.report, "sinks"), "console");
  EXPECT_EQ(field(facade.report, "level"), "2");
  EXPECT_EQ(field(facade.report, "loggerLevel"), "2");
  EXPECT_EQ(field(facade.report, "count"), "0");
}

TEST(LoggerEnvironment, AllThreeInvalidPrintNoticesInReadingOrder) {
  const Configured facade =
      describe({"SPDLOG_LEVEL=verbose", "SPDLOG_SYSTEMD=yes", "SPDLOG_STDOUT=no"});
  EXPECT_EQ(facade.notices, std::string(kStdoutInvalid) + kSystemdInvalid + kLevelInvalid);
  EXPECT_EQ(field(facade.report, "sinks"), "console");
  EXPECT_EQ(field(facade.report, "level"), "2");
}

TEST(LoggerEnvironment, ConsoleIsSwitchedOnlyByExactTrueOrFalse) {
  struct Case {
    const char* value;
    const char* sinks;
    std::string notices;
  };
  const std::vector<Case> cases = {
      {"true", "console", ""},
      {"false", "", ""},
      {"True", "console", kStdoutInvalid},
      {"FALSE", "console", kStdoutInvalid},
      {"1", "console", kStdoutInvalid},
      {"0", "console", kStdoutInvalid},
      {"", "console", kStdoutInvalid},
      {"false ", "console", kStdoutInvalid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("SPDLOG_STDOUT=\"") + c.value + "\"");
    const Configured facade = describe(
        {std::string("SPDLOG_STDOUT=") + c.value, "SPDLOG_SYSTEMD=false", "SPDLOG_LEVEL=info"});
    EXPECT_EQ(facade.notices, c.notices);
    EXPECT_EQ(field(facade.report, "sinks"), c.sinks);
  }
}

TEST(LoggerEnvironment, JournalIsSwitchedOnlyByExactTrueOrFalse) {
  struct Case {
    const char* value;
    const char* sinks;
    std::string notices;
  };
  const std::vector<Case> cases = {
      {"true", "journal", ""},    {"false", "", ""},         {"TRUE", "", kSystemdInvalid},
      {"1", "", kSystemdInvalid}, {"", "", kSystemdInvalid}, {" true", "", kSystemdInvalid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("SPDLOG_SYSTEMD=\"") + c.value + "\"");
    const Configured facade = describe(
        {"SPDLOG_STDOUT=false", std::string("SPDLOG_SYSTEMD=") + c.value, "SPDLOG_LEVEL=info"});
    EXPECT_EQ(facade.notices, c.notices);
    EXPECT_EQ(field(facade.report, "sinks"), c.sinks);
  }
}

TEST(LoggerEnvironment, ConsoleSinkComesBeforeJournalSink) {
  const Configured facade =
      describe({"SPDLOG_STDOUT=true", "SPDLOG_SYSTEMD=true", "SPDLOG_LEVEL=info"});
  EXPECT_EQ(facade.notices, "");
  EXPECT_EQ(field(facade.report, "sinks"), "console,journal");
}

TEST(LoggerEnvironment, EachOfTheSixLevelNamesSelectsItsSpdlogLevel) {
  const std::vector<std::string> names = {"trace", "debug", "info", "warning", "error", "critical"};
  for (std::size_t number = 0; number < names.size(); ++number) {
    SCOPED_TRACE("SPDLOG_LEVEL=" + names[number]);
    const Configured facade =
        describe({"SPDLOG_STDOUT=true", "SPDLOG_SYSTEMD=false", "SPDLOG_LEVEL=" + names[number]});
    EXPECT_EQ(facade.notices, "");
    EXPECT_EQ(field(facade.report, "level"), std::to_string(number));
    EXPECT_EQ(field(facade.report, "loggerLevel"), std::to_string(number));
  }
}

TEST(LoggerEnvironment, OffAbbreviationsAndOtherSpellingsFallBackToInfo) {
  for (const char* value : {"off", "warn", "err", "DEBUG", "Info", "", "debug "}) {
    SCOPED_TRACE(std::string("SPDLOG_LEVEL=\"") + value + "\"");
    const Configured facade = describe(
        {"SPDLOG_STDOUT=true", "SPDLOG_SYSTEMD=false", std::string("SPDLOG_LEVEL=") + value});
    EXPECT_EQ(facade.notices, kLevelInvalid);
    EXPECT_EQ(field(facade.report, "level"), "2");
    EXPECT_EQ(field(facade.report, "loggerLevel"), "2");
  }
}

}  // namespace
