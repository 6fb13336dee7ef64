// Debug and info lines in the systemd journal, read back with journalctl. A standalone journald
// is started for the tests when none is running.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "journal_helpers.hpp"
#include "logger_probe.hpp"

namespace {

using namespace logger_probe;

class LoggerJournal : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { daemon_ = std::make_unique<journal::Daemon>(); }
  static void TearDownTestSuite() { daemon_.reset(); }

  // A text of this run only, to tell its lines from anything else in the journal.
  static std::string uniqueMarker() {
    return "marker-" + std::to_string(getpid()) + "-" +
           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  }

  static inline std::unique_ptr<journal::Daemon> daemon_;
};

const journal::Entry* withMessage(const std::vector<journal::Entry>& entries,
                                  const std::string& start) {
  for (const journal::Entry& entry : entries) {
    const auto message = entry.find("MESSAGE");
    if (message != entry.end() && message->second.rfind(start, 0) == 0) {
      return &entry;
    }
  }
  return nullptr;
}

TEST_F(LoggerJournal, DebugLineArrivesWithPriority7AndItsCallSite) {
  const std::string marker = uniqueMarker();
  const child_process::Result probe = run(
      {"journal", marker}, {"SPDLOG_STDOUT=false", "SPDLOG_SYSTEMD=true", "SPDLOG_LEVEL=debug"});
  ASSERT_TRUE(probe.exitedCleanly()) << probe.err;
  EXPECT_EQ(probe.out, "");  // journal only: nothing on the console

  const std::vector<journal::Entry> entries = journal::entriesOf(probe.pid, 2);
  const std::string debugStart = "  1 [DEBUG] " + marker + " debug line at ";
  const journal::Entry* debug = withMessage(entries, debugStart);
  ASSERT_NE(debug, nullptr) << "no debug entry among " << entries.size();
  // The probe writes the line number of its LOG_DEBUG call into the message itself.
  const std::string callLine = debug->at("MESSAGE").substr(debugStart.size());
  EXPECT_NE(callLine, "");
  EXPECT_EQ(debug->at("PRIORITY"), "7");
  EXPECT_EQ(debug->at("SYSLOG_IDENTIFIER"), "spdlog");
  EXPECT_EQ(debug->at("CODE_FILE"), "./tests/log_probe.cpp");
  EXPECT_EQ(debug->at("CODE_LINE"), callLine);
  EXPECT_EQ(debug->at("CODE_FUNC"), "logJournalLines");

  const journal::Entry* info = withMessage(entries, marker + " info line");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->at("MESSAGE"), marker + " info line");
  EXPECT_EQ(info->at("PRIORITY"), "6");
  EXPECT_EQ(info->at("SYSLOG_IDENTIFIER"), "spdlog");
  EXPECT_EQ(info->count("CODE_LINE"), 0u);  // logged without a source location
}

TEST_F(LoggerJournal, AtInfoLevelOnlyTheInfoLineArrives) {
  const std::string marker = uniqueMarker();
  const child_process::Result probe =
      run({"journal", marker}, {"SPDLOG_STDOUT=false", "SPDLOG_SYSTEMD=true", "SPDLOG_LEVEL=info"});
  ASSERT_TRUE(probe.exitedCleanly()) << probe.err;
  // Both lines leave the probe in order, so once the info line is in, a debug line would be too.
  const std::vector<journal::Entry> entries = journal::entriesOf(probe.pid, 1);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].at("MESSAGE"), marker + " info line");
  EXPECT_EQ(field(probe.err, "count"), "0");
}

TEST_F(LoggerJournal, ConsoleAndJournalReceiveTheSameLines) {
  const std::string marker = uniqueMarker();
  const child_process::Result probe =
      run({"journal", marker}, {"SPDLOG_STDOUT=true", "SPDLOG_SYSTEMD=true", "SPDLOG_LEVEL=trace"});
  ASSERT_TRUE(probe.exitedCleanly()) << probe.err;
  const std::vector<journal::Entry> entries = journal::entriesOf(probe.pid, 2);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(probe.out, entries[0].at("MESSAGE") + "\n" + entries[1].at("MESSAGE") + "\n");
  EXPECT_EQ(entries[1].at("MESSAGE"), marker + " info line");
}

}  // namespace
