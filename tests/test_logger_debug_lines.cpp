// Console output of the facade and the numbered debug lines of LOG_DEBUG.

#include <gtest/gtest.h>

#include <fmt/format.h>
#include <spdlog/sinks/ostream_sink.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "logger_probe.hpp"
#include "trelvo/logger.hpp"

namespace {

using namespace logger_probe;

const std::vector<std::string> kConsoleAt = {"SPDLOG_STDOUT=true", "SPDLOG_SYSTEMD=false"};

std::vector<std::string> consoleAt(const std::string& level) {
  std::vector<std::string> environment = kConsoleAt;
  environment.push_back("SPDLOG_LEVEL=" + level);
  return environment;
}

TEST(LoggerConsole, InfoMessageIsItsBareTextAndNewline) {
  const child_process::Result probe = run({"info", "plain {} 100% text"}, consoleAt("info"));
  ASSERT_TRUE(probe.exitedCleanly()) << probe.err;
  EXPECT_EQ(probe.out, "plain {} 100% text\n");
}

TEST(LoggerConsole, DebugLinesAreNumberedFromOneRightAlignedAndWrapAt128) {
  const child_process::Result probe = run({"debug", "130"}, consoleAt("debug"));
  ASSERT_TRUE(probe.exitedCleanly()) << probe.err;
  const std::vector<std::string> written = lines(probe.out);
  ASSERT_EQ(written.size(), 130u);
  EXPECT_EQ(probe.out.substr(0, 38), "  1 [DEBUG] line 1\n  2 [DEBUG] line 2\n");
  EXPECT_EQ(written[8], "  9 [DEBUG] line 9");
  EXPECT_EQ(written[9], " 10 [DEBUG] line 10");
  EXPECT_EQ(written[98], " 99 [DEBUG] line 99");
  EXPECT_EQ(written[99], "100 [DEBUG] line 100");
  EXPECT_EQ(written[126], "127 [DEBUG] line 127");
  EXPECT_EQ(written[127], "  0 [DEBUG] line 128");
  EXPECT_EQ(written[128], "  1 [DEBUG] line 129");
  EXPECT_EQ(field(probe.err, "count"), "130");
}

TEST(LoggerConsole, CounterWrapsAsAnEightBitNumber) {
  const child_process::Result probe = run({"debug", "257"}, consoleAt("debug"));
  ASSERT_TRUE(probe.exitedCleanly()) << probe.err;
  const std::vector<std::string> written = lines(probe.out);
  ASSERT_EQ(written.size(), 257u);
  EXPECT_EQ(written[254], "127 [DEBUG] line 255");
  EXPECT_EQ(written[255], "  0 [DEBUG] line 256");
  EXPECT_EQ(written[256], "  1 [DEBUG] line 257");
  EXPECT_EQ(field(probe.err, "count"), "1");
}

TEST(LoggerConsole, TraceLevelNumbersDebugLinesLikeDebugLevel) {
  const child_process::Result probe = run({"debug", "2"}, consoleAt("trace"));
  ASSERT_TRUE(probe.exitedCleanly()) << probe.err;
  EXPECT_EQ(probe.out, "  1 [DEBUG] line 1\n  2 [DEBUG] line 2\n");
}

TEST(LoggerConsole, AboveDebugNothingIsWrittenAndTheCounterStays) {
  for (const char* level : {"info", "warning", "critical"}) {
    SCOPED_TRACE(level);
    const child_process::Result probe = run({"debug", "5"}, consoleAt(level));
    ASSERT_TRUE(probe.exitedCleanly()) << probe.err;
    EXPECT_EQ(probe.out, "");
    EXPECT_EQ(field(probe.err, "count"), "0");
  }
}

TEST(LoggerConsole, DefaultLevelWritesOnlyTheNotice) {
  const child_process::Result probe = run({"debug", "5"}, kConsoleAt);
  ASSERT_TRUE(probe.exitedCleanly()) << probe.err;
  EXPECT_EQ(probe.out, kLevelNotSet);
  EXPECT_EQ(field(probe.err, "count"), "0");
}

TEST(LoggerConsole, WithoutSinksNothingIsWrittenButLinesAreStillCounted) {
  const child_process::Result probe =
      run({"debug", "3"}, {"SPDLOG_STDOUT=false", "SPDLOG_SYSTEMD=false", "SPDLOG_LEVEL=debug"});
  ASSERT_TRUE(probe.exitedCleanly()) << probe.err;
  EXPECT_EQ(probe.out, "");
  EXPECT_EQ(field(probe.err, "sinks"), "");
  EXPECT_EQ(field(probe.err, "count"), "3");
}

// The in-process cases below give the shared facade a logger of their own, with a pattern that
// shows the source location, and put everything back afterwards.
class DebugLine : public ::testing::Test {
 protected:
  DebugLine()
      : facade_(tovrek::Logger::Instance("spdlog")),
        savedLogger_(facade_.logger),
        savedCount_(facade_.debugCount),
        savedLevel_(facade_.level) {
    facade_.logger = std::make_shared<spdlog::logger>(
        "capture", std::make_shared<spdlog::sinks::ostream_sink_st>(captured_));
    facade_.logger->set_pattern("%g:%# %! |%v");
    setLevel(spdlog::level::debug);
    facade_.debugCount = 0;
  }
  ~DebugLine() override {
    facade_.logger = savedLogger_;
    facade_.debugCount = savedCount_;
    facade_.level = savedLevel_;
  }

  void setLevel(spdlog::level::level_enum level) {
    facade_.level = level;
    facade_.logger->set_level(level);
  }

  tovrek::Logger& facade_;
  std::ostringstream captured_;

 private:
  std::shared_ptr<spdlog::logger> savedLogger_;
  std::uint8_t savedCount_;
  std::int32_t savedLevel_;
};

int firstCallLine = 0;
int secondCallLine = 0;

void firstCallSite() {
  firstCallLine = __LINE__ + 1;
  LOG_DEBUG("first {:.3f} {}", 0.5, true);
}

void secondCallSite() {
  secondCallLine = __LINE__ + 1;
  LOG_DEBUG("second {}", -7);
}

TEST_F(DebugLine, CallSitesShareOneNumberingAndCarryTheirSourceLocation) {
  firstCallSite();
  secondCallSite();
  EXPECT_EQ(captured_.str(), fmt::format("{0}:{1} firstCallSite |  1 [DEBUG] first 0.500 true\n"
                                         "{0}:{2} secondCallSite |  2 [DEBUG] second -7\n",
                                         __FILE__, firstCallLine, secondCallLine));
}

TEST_F(DebugLine, PrefixIsTwelveCharactersWithTheNumberModulo128) {
  EXPECT_EQ(facade_.debugPrefix(), "  1 [DEBUG] ");
  facade_.debugCount = 98;
  EXPECT_EQ(facade_.debugPrefix(), " 99 [DEBUG] ");
  EXPECT_EQ(facade_.debugPrefix(), "100 [DEBUG] ");
  facade_.debugCount = 126;
  EXPECT_EQ(facade_.debugPrefix(), "127 [DEBUG] ");
  EXPECT_EQ(facade_.debugPrefix(), "  0 [DEBUG] ");
  facade_.debugCount = 255;
  EXPECT_EQ(facade_.debugPrefix(), "  0 [DEBUG] ");
  EXPECT_EQ(facade_.debugCount, 0);
}

TEST_F(DebugLine, PrefixAdvancesAtTraceButNotAboveDebug) {
  setLevel(spdlog::level::trace);
  EXPECT_EQ(facade_.debugPrefix(), "  1 [DEBUG] ");
  setLevel(spdlog::level::info);
  EXPECT_EQ(facade_.debugPrefix(), "  1 [DEBUG] ");
  EXPECT_EQ(facade_.debugPrefix(), "  1 [DEBUG] ");
  EXPECT_EQ(facade_.debugCount, 1);
}

TEST_F(DebugLine, FacadeLevelGatesTheNumberEvenWhenTheLoggerWouldWrite) {
  facade_.level = spdlog::level::info;
  LOG_DEBUG("passes the logger");
  EXPECT_EQ(captured_.str().substr(captured_.str().find('|')), "|  0 [DEBUG] passes the logger\n");
  EXPECT_EQ(facade_.debugCount, 0);
}

TEST_F(DebugLine, MismatchedFormatThrowsEvenWhenTheLevelDiscardsTheLine) {
  setLevel(spdlog::level::info);
  EXPECT_THROW(LOG_DEBUG("{} and {}", 1), fmt::format_error);
}

TEST_F(DebugLine, LineIsDroppedWhenTheFacadeHasNoLogger) {
  facade_.logger.reset();
  LOG_DEBUG("nowhere to go {}", 1);
  EXPECT_EQ(facade_.debugCount, 1);
}

}  // namespace
