// The controller's debug lines in the systemd journal, with their source location in the library.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "child_process.hpp"
#include "journal_helpers.hpp"

namespace {

std::string sourceLine(int number) {
  std::ifstream source(TRELVO_SOURCE_DIR "/src/control.cpp");
  std::string line;
  for (int i = 0; i < number && std::getline(source, line); ++i) {
  }
  return line;
}

}  // namespace

TEST(ControllerJournal, DebugLinesCarryTheLibrarySourceLocation) {
  const journal::Daemon daemon;
  // Start of a run and one first-turn cycle: four lines.
  const auto result =
      child_process::run({TRELVO_CONTROLLER_TRACE, "0,0,2,0,0,1", "0,0,1,1"},
                         {"SPDLOG_STDOUT=false", "SPDLOG_SYSTEMD=true", "SPDLOG_LEVEL=debug"});
  ASSERT_TRUE(result.exitedCleanly()) << result.err;
  EXPECT_EQ(result.out, "");

  const auto entries = journal::entriesOf(result.pid, 4);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].at("MESSAGE"), "  1 [DEBUG] ####step: 0, coutt: 0");
  for (const auto& entry : entries) {
    EXPECT_EQ(entry.at("PRIORITY"), "7");
    EXPECT_EQ(entry.at("SYSLOG_IDENTIFIER"), "spdlog");
    EXPECT_EQ(entry.at("CODE_FILE"), "./src/control.cpp");
    EXPECT_EQ(entry.at("CODE_FUNC"), "compulateVel");
    const int line = std::stoi(entry.at("CODE_LINE"));
    EXPECT_NE(sourceLine(line).find("LOG_DEBUG("), std::string::npos)
        << "line " << line << ": " << sourceLine(line);
  }
}
