// trelvo-sim as a user runs it: the default run, small batches in both vehicle modes, bad input,
// unwritable output, a missing matplotlib, the replay of a failed batch scenario, the controller's
// pauses in simulated time, batches in worker processes, and suites.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.hpp"
#include "dds_loopback.hpp"

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

constexpr const char* kTraceHeader =
    "time_s,x_m,y_m,heading_rad,state,cmd_linear_x_mps,cmd_angular_z_radps,lookahead_x_m,"
    "lookahead_y_m,heading_error_rad,cross_track_m,clearance_action,clearance_m";
constexpr const char* kBatchHeader =
    "index,start_x_m,start_y_m,start_heading_deg,goal_x_m,goal_y_m,goal_heading_deg,noise_seed,"
    "outcome,cycles,simulated_time_s,position_error_m,heading_error_deg,obstacles,"
    "min_clearance_m,waits,wait_time_s";

int exitStatus(const child_process::Result& result) {
  return WIFEXITED(result.waitStatus) ? WEXITSTATUS(result.waitStatus) : -1;
}

std::vector<std::string> linesOf(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> fieldsOf(const std::string& line, char separator = ',') {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, separator);) {
    fields.push_back(field);
  }
  if (!line.empty() && line.back() == separator) {
    fields.emplace_back();
  }
  return fields;
}

// The number after `label` in the program's output.
double figureAfter(const std::string& text, const std::string& label) {
  const std::size_t at = text.find(label);
  EXPECT_NE(at, std::string::npos) << label;
  return at == std::string::npos ? NAN : std::stod(text.substr(at + label.size()));
}

class SimProgram : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "trelvo-sim-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fs::create_directories(work());
    fs::create_directories(root_ / "home");
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path work() const { return root_ / "work"; }

  // Runs trelvo-sim in the work folder with a clean environment (matplotlib keeps its cache in
  // the home folder, outside the work folder).
  child_process::Result sim(const std::vector<std::string>& arguments,
                            const std::vector<std::string>& extraEnvironment = {}) {
    std::vector<std::string> argv = {
        "/bin/sh",         "-c", "cd \"$1\" && shift && exec \"$@\"", "sh", work().string(),
        TRELVO_SIM_PROGRAM};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = {"PATH=/usr/bin:/bin",
                                            "HOME=" + (root_ / "home").string(),
                                            "MPLCONFIGDIR=" + (root_ / "home").string()};
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    return child_process::run(argv, environment);
  }

  std::vector<fs::path> filesIn(const fs::path& folder) const {
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      found.push_back(fs::relative(entry.path(), folder));
    }
    return found;
  }

  static bool isPng(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char signature[8] = {};
    in.read(signature, sizeof signature);
    return std::string(signature, sizeof signature) == "\x89PNG\r\n\x1a\n";
  }

  fs::path root_;
};

}  // namespace

TEST_F(SimProgram, DefaultRunShowsItsThreePhasesAndSummaryAndWritesTraceAndPicture) {
  const auto result = sim({});
  ASSERT_EQ(exitStatus(result), 0) << result.out << result.err;
  EXPECT_EQ(result.err, "");
  // The controller's logging notices do not get in the way of the report.
  EXPECT_THAT(result.out, StartsWith("trelvo-sim: unicycle vehicle, period 0.05 s, noise off\n"));
  const std::size_t first = result.out.find("\nfirst turn:");
  const std::size_t line = result.out.find("\nline move:");
  const std::size_t last = result.out.find("\nfinal turn:");
  const std::size_t summary = result.out.find("\nsummary\n");
  ASSERT_NE(summary, std::string::npos) << result.out;
  EXPECT_LT(first, line);
  EXPECT_LT(line, last);
  EXPECT_LT(last, summary);
  EXPECT_THAT(result.out, HasSubstr("  finished              yes"));
  EXPECT_LT(figureAfter(result.out, "final position error  "), 0.05);
  EXPECT_LT(std::fabs(figureAfter(result.out, "final heading error   ")), 5.0);

  const fs::path folder = work() / "out" / "trelvo-sim";
  const std::vector<std::string> rows = linesOf(folder / "run.csv");
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0], kTraceHeader);
  EXPECT_EQ(rows.size() - 1, static_cast<std::size_t>(figureAfter(result.out, "  cycles ")));
  int lookAheads = 0;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const std::vector<std::string> fields = fieldsOf(rows[i]);
    ASSERT_EQ(fields.size(), 13u) << rows[i];
    EXPECT_THAT(fields[4], testing::AnyOf("first_turn", "line_move", "final_turn"));
    for (const std::size_t command : {5u, 6u}) {
      const double value = std::stod(fields[command]);
      ASSERT_TRUE(std::isfinite(value)) << rows[i];
      ASSERT_LE(std::fabs(value), 0.5) << rows[i];
    }
    // The look-ahead point is published only during the line move.
    if (fields[4] == "line_move") {
      lookAheads += fields[7].empty() ? 0 : 1;
    } else {
      EXPECT_EQ(fields[7], "") << rows[i];
    }
  }
  EXPECT_GT(lookAheads, 100);
  EXPECT_TRUE(isPng(folder / "run.png"));
  EXPECT_EQ(filesIn(folder), (std::vector<fs::path>{"run.csv", "run.png"}))
      << "no partial files left behind";
}

TEST_F(SimProgram, BatchOfFiftyUnicycleScenariosReachesEveryGoalAndDrawsTheHistogram) {
  const auto result = sim({"--batch", "50", "--out", "b"});
  ASSERT_EQ(exitStatus(result), 0) << result.out << result.err;
  EXPECT_THAT(result.out, HasSubstr("  success rate              50/50 (100.0 %)\n"));
  EXPECT_THAT(result.out, HasSubstr("final position error  m"));
  EXPECT_THAT(result.out, HasSubstr("cycles per second"));
  const std::vector<std::string> rows = linesOf(work() / "b" / "batch.csv");
  ASSERT_EQ(rows.size(), 51u);
  EXPECT_EQ(rows[0], kBatchHeader);
  for (std::size_t i = 1; i < rows.size(); ++i) {
    EXPECT_EQ(fieldsOf(rows[i])[8], "reached") << rows[i];
  }
  EXPECT_TRUE(isPng(work() / "b" / "batch.png"));
}

TEST_F(SimProgram, BatchOfFiftyDifferentialScenariosWithNoiseReachesEveryGoal) {
  const auto result = sim({"--batch", "50", "--mode", "differential", "--noise-xy", "0.005",
                           "--noise-heading", "0.5", "--seed", "7", "--out", "b", "--no-plot"});
  ASSERT_EQ(exitStatus(result), 0) << result.out << result.err;
  EXPECT_THAT(result.out, HasSubstr("differential vehicle (wheels 0.5 m apart)"));
  EXPECT_THAT(result.out, HasSubstr("  success rate              50/50 (100.0 %)\n"));
  EXPECT_EQ(linesOf(work() / "b" / "batch.csv").size(), 51u);
  EXPECT_FALSE(fs::exists(work() / "b" / "batch.png"));
}

TEST_F(SimProgram, BadInputIsRefusedInOneLineWithStatusTwoAndWritesNothing) {
  // Should a refusal under --dds fail, the vehicle stays on loopback, on a domain of its own.
  const int kDomain = dds_loopback::freeDomain();
  const std::vector<std::string> dds = {std::string("CYCLONEDDS_URI=") + dds_loopback::kConfig,
                                        "ROS_DOMAIN_ID=" + std::to_string(kDomain)};
  const std::string rosName =
      ": its parts between '/' hold only letters, digits and '_', and none is empty or starts "
      "with a digit";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--period", "abc"}, "--period: 'abc' is not a number"},
      {{"--period", "0.05s"}, "--period: '0.05s' is not a number"},
      {{"--period", "0"}, "--period: must be positive, got '0'"},
      {{"--period", "-0.1"}, "--period: must be positive, got '-0.1'"},
      {{"--period", "nan"}, "--period: 'nan' is not a finite number"},
      {{"--time-limit", "inf"}, "--time-limit: 'inf' is not a finite number"},
      {{"--period", "1e999"}, "--period: '1e999' is out of range"},
      {{"--period"}, "--period: 1 required S missing"},
      {{"--goal", "1,2"}, "--goal: needs one pose X,Y,DEG, got 2 numbers"},
      {{"--start", "0,0,0", "1,0,0"}, "--start: needs one pose X,Y,DEG, got 2 poses"},
      {{"--goal", "1", "2", "3", "4"}, "--goal: needs one pose X,Y,DEG, got 4 numbers"},
      {{"--waypoints", "1,0,0"}, "--waypoints: needs at least 2 poses (X,Y,DEG each), got 1"},
      {{"--waypoints", "1", "0", "0"}, "--waypoints: needs at least 2 poses (X,Y,DEG each), got 1"},
      {{"--waypoints", "0,0,0", "1"}, "--waypoints: expected X,Y,DEG for each pose, got 4 numbers"},
      {{"--start", "1,y,0"}, "--start: 'y' is not a number"},
      {{"--mode", "tricycle"}, "--mode: unknown mode 'tricycle' (use unicycle or differential)"},
      {{"--batch", "0"}, "--batch: must be a whole number from 1 to 1000000, got '0'"},
      {{"--batch", "2.5"}, "--batch: '2.5' is not a whole number"},
      {{"--noise-xy", "-1"}, "--noise-xy: must not be negative, got '-1'"},
      {{"--seed", "-3"}, "--seed: must be a whole number from 0 to 18446744073709551615, got '-3'"},
      {{"--batch", "3", "--start", "0,0,0"}, "--start excludes --batch"},
      {{"--start", "0,0,0", "--goal", "0,0,90"},
       "--goal: start and goal both at the origin give the controller no path"},
      {{"--period", "5", "--time-limit", "1"},
       "--period, --time-limit: the control period is longer than the time limit"},
      {{"--period", "0.0001", "--time-limit", "1000"},
       "--period, --time-limit: 10000000 cycles of 0.0001 s fit in the time limit of 1000 s, "
       "more than the 1000000 a run may take; shorten the time limit or lengthen the period"},
      {{"--goal", "1e10,0,0"},
       "--goal: 1e+10 m lies beyond the 1e9 m from the origin that the controller takes"},
      {{"--waypoints", "0,0,0", "0,-2e9,0"},
       "--waypoints: -2e+09 m lies beyond the 1e9 m from the origin that the controller takes"},
      {{"--batch", "3", "--radius", "1.5e9"},
       "--radius: 1.5e+09 m lies beyond the 1e9 m from the origin that the controller takes"},
      {{"--out", ""}, "--out: the output folder name is empty"},
      {{"extra"},
       "The following argument was not expected: extra (trelvo-sim --help lists the "
       "options)"},
      {{"--jobs", "0"}, "--jobs: must be a whole number from 1 to 1024, got '0'"},
      {{"--junit", "j.xml"}, "--junit: needs --batch or --suite"},
      {{"--suite", "s.yaml", "--mode", "differential"},
       "--mode: not with --suite, whose file sets it for each scenario"},
      {{"--suite", "missing.yaml"}, "--suite: cannot read missing.yaml: No such file or directory"},
      {{"--suite", "."}, "--suite: cannot read .: it is a folder"},
      {{"--waypoints", "0,0,0", "1,0,0", "2"},
       "--waypoints: expected X,Y,DEG for each pose, got 7 numbers"},
      {{"--waypoints", "0,0,0,1,0,0", "--batch", "3"}, "--waypoints excludes --batch"},
      // The vehicle on DDS. Each case ends after a second should its refusal fail.
      {{"--dds", "--duration", "1", "--namespace", "robot-1"},
       "--namespace: 'robot-1' is not a valid ROS namespace" + rosName},
      {{"--dds", "--duration", "1", "--namespace", "1x"},
       "--namespace: '1x' is not a valid ROS namespace" + rosName},
      {{"--dds", "--duration", "1", "--namespace", "a//b"},
       "--namespace: 'a//b' is not a valid ROS namespace" + rosName},
      {{"--dds", "--duration", "1", "--time-limit", "3"},
       "--time-limit: with --dds, needs --waypoints; without a route the vehicle runs until "
       "stopped"},
      {{"--dds", "--duration", "1", "--position-tolerance", "0.1"},
       "--position-tolerance: with --dds, needs --waypoints; without a route the vehicle runs "
       "until stopped"},
      {{"--dds", "--duration", "1", "--heading-tolerance", "3"},
       "--heading-tolerance: with --dds, needs --waypoints; without a route the vehicle runs "
       "until stopped"},
      {{"--dds", "--duration", "1", "--period", "0.1"},
       "--period: not with --dds, whose vehicle is driven from outside in real time"},
      {{"--dds", "--duration", "1", "--odom-rate", "5000"},
       "--odom-rate: must be at most 1000 Hz, got '5000'"},
      {{"--dds", "--duration", "1", "--domain", "233"},
       "--domain: must be a whole number from 0 to 232, got '233'"},
      {{"--dds", "--duration", "x"}, "--duration: 'x' is not a number"},
      {{"--dds", "--waypoints", "0,0,0", "1,0,0", "--duration", "1"},
       "--duration: not with --waypoints, which end at the goal or the time limit"},
      {{"--stamped"}, "--stamped: needs --dds"},
  };
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(message);
    const auto result = sim(arguments, dds);
    EXPECT_EQ(exitStatus(result), 2);
    EXPECT_EQ(result.err, "trelvo-sim: " + message + "\n");
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(filesIn(work()).empty());
  }
}

TEST_F(SimProgram, OutputThatCannotBeWrittenIsRefusedWithStatusThreeBeforeAnyRun) {
  std::ofstream(work() / "plain-file") << "not a folder";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--out", "plain-file/run"}, "cannot write to plain-file/run: Not a directory"},
      {{"--batch", "3", "--junit", "missing/x.xml"},
       "cannot write to missing/x.xml: No such file or directory"},
      {{"--batch", "3", "--junit", "."}, "cannot write to .: Is a directory"},
  };
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(message);
    const auto result = sim(arguments);
    EXPECT_EQ(exitStatus(result), 3);
    EXPECT_EQ(result.err, "trelvo-sim: " + message + "\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(filesIn(work()), (std::vector<fs::path>{"plain-file"}));
  }
}

TEST_F(SimProgram, ARunReplacesTheResultsOfTheRunBeforeItInTheSameFolder) {
  std::ofstream(work() / "slow.yaml")
      << "scenarios:\n  - name: slow\n    start: [0, 0, 0]\n    goal: [3, 0, 0]\n"
         "    pass: {time_limit: 5}\n";
  ASSERT_EQ(exitStatus(sim({"--suite", "slow.yaml", "--out", "o"})), 1);
  ASSERT_TRUE(fs::exists(work() / "o" / "run-slow.png"));
  std::ofstream(work() / "o" / "notes.txt") << "the user's own";
  ASSERT_EQ(exitStatus(sim({"--batch", "2", "--out", "o", "--no-plot"})), 0);
  std::vector<fs::path> files = filesIn(work() / "o");
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<fs::path>{"batch.csv", "notes.txt"}));
}

TEST_F(SimProgram, MissingMatplotlibIsNamedAndNoPictureIsLeft) {
  // A matplotlib that cannot be imported shadows Debian's.
  const fs::path fake = root_ / "fake-python" / "matplotlib";
  fs::create_directories(fake);
  std::ofstream(fake / "__init__.py") << "raise ImportError('no matplotlib here')\n";
  const auto result = sim({"--out", "o"}, {"PYTHONPATH=" + fake.parent_path().string()});
  EXPECT_EQ(exitStatus(result), 3);
  EXPECT_THAT(result.err, StartsWith("trelvo-sim: python3-matplotlib is missing"));
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  EXPECT_EQ(filesIn(work() / "o"), (std::vector<fs::path>{"run.csv"}));
}

TEST_F(SimProgram, RunCutOffByTheTimeLimitFailsWithStatusOne) {
  const auto result = sim({"--time-limit", "10", "--out", "o", "--no-plot"});
  EXPECT_EQ(exitStatus(result), 1);
  EXPECT_THAT(result.out, HasSubstr("(stopped before it ended)"));
  EXPECT_THAT(result.out,
              HasSubstr("  finished              no: not finished within the time limit of 10 s"));
  // Cycles every 0.05 s up to 10 s, the ones after the end of the first turn 10 ms later.
  EXPECT_EQ(linesOf(work() / "o" / "run.csv").size(), 201u);
}

TEST_F(SimProgram, HelpListsTheOptionsAndExitsCleanly) {
  const auto result = sim({"--help"});
  EXPECT_EQ(exitStatus(result), 0);
  for (const char* option : {"--mode", "--start", "--goal", "--period", "--batch", "--radius",
                             "--noise-xy", "--max-accel", "--width", "--out", "--no-plot"}) {
    EXPECT_THAT(result.out, HasSubstr(option));
  }
  for (const char* status : {"\nExit status:\n", "\n  0  every run reached its goal",
                             "\n  1  a run failed", "\n  2  bad command-line input or suite file",
                             "\n  3  the output could not be written", "or DDS failed"}) {
    EXPECT_THAT(result.out, HasSubstr(status));
  }
  EXPECT_TRUE(filesIn(work()).empty());
}

TEST_F(SimProgram, FailedBatchScenarioIsListedWithACommandThatRepeatsIt) {
  const auto batch = sim({"--batch", "6", "--seed", "3", "--noise-xy", "0.003", "--time-limit",
                          "12", "--out", "b", "--no-plot"});
  ASSERT_EQ(exitStatus(batch), 1) << batch.out;
  // The replay names the program as it was invoked, so that it runs as printed.
  const std::string marker = std::string("    replay: ") + TRELVO_SIM_PROGRAM + " ";
  const std::size_t at = batch.out.find(marker);
  ASSERT_NE(at, std::string::npos) << batch.out;
  const std::string replayLine =
      batch.out.substr(at + marker.size(), batch.out.find('\n', at) - at - marker.size());
  const std::size_t index = std::stoul(batch.out.substr(batch.out.rfind("failed #", at) + 8));

  std::vector<std::string> arguments = fieldsOf(replayLine, ' ');
  arguments.insert(arguments.end(), {"--out", "r", "--no-plot"});
  const auto replay = sim(arguments);
  EXPECT_EQ(exitStatus(replay), 1) << replay.out;
  const std::vector<std::string> row = fieldsOf(linesOf(work() / "b" / "batch.csv")[index + 1]);
  EXPECT_EQ(row[9], std::to_string(static_cast<int>(figureAfter(replay.out, "  cycles "))));
  EXPECT_NEAR(std::stod(row[11]), figureAfter(replay.out, "final position error  "), 1e-4);
}

TEST_F(SimProgram, ControllerPausesLengthenTheCyclesThatChangeStateInSimulatedTime) {
  const auto result = sim({"--out", "o", "--no-plot"});
  ASSERT_EQ(exitStatus(result), 0) << result.out << result.err;
  const std::vector<std::string> rows = linesOf(work() / "o" / "run.csv");
  // The cycle before each change of state (first turn to line move, line move to final turn)
  // lasted its period plus the controller's 10 ms pause; every other cycle, its period.
  std::vector<std::string> lengthened;
  for (std::size_t i = 2; i < rows.size(); ++i) {
    const std::vector<std::string> before = fieldsOf(rows[i - 1]);
    const std::vector<std::string> now = fieldsOf(rows[i]);
    const double step = std::stod(now[0]) - std::stod(before[0]);
    if (std::fabs(step - 0.05) > 1e-6) {
      EXPECT_NEAR(step, 0.06, 1e-6) << rows[i];
      lengthened.push_back(before[4] + ">" + now[4]);
    }
  }
  EXPECT_EQ(lengthened, (std::vector<std::string>{"first_turn>line_move", "line_move>final_turn"}));
}

TEST_F(SimProgram, BatchResultsTablesFilesAndStatusAreTheSameForAnyNumberOfJobs) {
  // Noise, acceleration limits and a short time limit: some runs fail, so the failure list and
  // the exit status are compared too.
  const std::vector<std::string> batch = {
      "--batch", "24",           "--mode", "differential", "--noise-xy", "0.004",    "--max-accel",
      "0.4",     "--time-limit", "20",     "--seed",       "5",          "--no-plot"};
  // The table without its timing lines and the file names, which differ by folder.
  const auto table = [](const std::string& out) {
    std::string kept;
    std::stringstream in(out);
    for (std::string line; std::getline(in, line);) {
      if (line.find(" wall") == std::string::npos && line.find(" CPU ") == std::string::npos &&
          line.find("results  ") != 0 && line.find("junit  ") != 0) {
        kept += line + "\n";
      }
    }
    return kept;
  };
  std::vector<std::string> tables;
  std::vector<std::string> csvs;
  std::vector<std::string> junits;
  for (const char* jobs : {"1", "2", "5"}) {
    SCOPED_TRACE(jobs);
    std::vector<std::string> arguments = batch;
    const std::string folder = std::string("jobs") + jobs;
    arguments.insert(arguments.end(),
                     {"--jobs", jobs, "--out", folder, "--junit", folder + "/junit.xml"});
    const auto result = sim(arguments);
    EXPECT_EQ(exitStatus(result), 1) << result.out << result.err;
    EXPECT_THAT(result.out, HasSubstr("failed #"));
    tables.push_back(table(result.out));
    std::ifstream csv(work() / folder / "batch.csv");
    std::ifstream junit(work() / folder / "junit.xml");
    csvs.push_back(std::string(std::istreambuf_iterator<char>(csv), {}));
    junits.push_back(std::string(std::istreambuf_iterator<char>(junit), {}));
  }
  EXPECT_EQ(linesOf(work() / "jobs1" / "batch.csv").size(), 25u);
  for (std::size_t i = 1; i < tables.size(); ++i) {
    EXPECT_EQ(tables[i], tables[0]);
    EXPECT_EQ(csvs[i], csvs[0]);
    EXPECT_EQ(junits[i], junits[0]);
  }
}

TEST_F(SimProgram, SuiteJudgesEachScenarioByItsCriteriaAndDrawsOnlyTheFailedOnes) {
  std::ofstream(work() / "site.yaml") << R"(defaults:
  pass: {time_limit: 60}
scenarios:
  - name: straight
    start: [0, 0, 0]
    goal: [3, 0, 0]
    pass: {max_cross_track: 0.01, max_distance_ratio: 1.01, first_turn_on_the_spot: true}
  - name: off-the-line
    start: [0, 0, 0]
    vehicle_start: [0, 0.2, 0]
    goal: [4, 0, 0]
    pass: {max_cross_track: 0.1}
  - name: too-slow
    start: [0, 0, 0]
    goal: [4, 0, 0]
    vehicle: {mode: differential, max_accel: 0.2}
    pass: {time_limit: 5}
)";
  const auto result = sim({"--suite", "site.yaml", "--out", "s", "--jobs", "2"});
  ASSERT_EQ(exitStatus(result), 1) << result.out << result.err;
  EXPECT_THAT(result.out, HasSubstr("\n  straight     pass "));
  EXPECT_THAT(result.out, HasSubstr("\n  off-the-line FAIL "));
  EXPECT_THAT(result.out, HasSubstr("\n  too-slow     FAIL "));
  EXPECT_THAT(result.out, HasSubstr("  off-the-line failed:\n    largest cross-track error of the "
                                    "line move 0.2000 m, over 0.1 m\n"));
  EXPECT_THAT(result.out,
              HasSubstr("  too-slow failed:\n    not finished within the time limit of 5 s\n"));
  EXPECT_THAT(result.out, HasSubstr("suite: 1/3 scenarios passed\n"));
  const std::vector<std::string> rows = linesOf(work() / "s" / "suite.csv");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_THAT(rows[1], StartsWith("straight,pass,"));
  EXPECT_THAT(rows[2], StartsWith("off-the-line,fail,"));
  EXPECT_TRUE(isPng(work() / "s" / "run-off-the-line.png"));
  std::vector<fs::path> files = filesIn(work() / "s");
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<fs::path>{"run-off-the-line.csv", "run-off-the-line.png",
                                          "run-too-slow.csv", "run-too-slow.png", "suite.csv"}));
}

TEST_F(SimProgram, SuiteRouteOfWaypointsIsFilledEverySpacingAndListedWithTheLegsItBecame) {
  std::ofstream(work() / "site.yaml") << R"(scenarios:
  - name: corner
    waypoints: [[0, 0, 0], [2, 0, 0], [2, 1, 90]]
    spacing: 0.1
    pass: {max_cross_track: 0.05, max_distance_ratio: 1.02, first_turn_on_the_spot: true}
)";
  const auto result = sim({"--suite", "site.yaml", "--out", "s"});
  ASSERT_EQ(exitStatus(result), 0) << result.out << result.err;
  EXPECT_THAT(result.out, HasSubstr("\n  corner   pass "));
  EXPECT_THAT(result.out, HasSubstr("\n  corner: 2 legs: (0, 0) -> (2, 0) -> (2, 1)\n"));
}

TEST_F(SimProgram, BadSuiteFileIsRefusedInOneLineNamingFileScenarioAndField) {
  const std::string hop = "  - name: hop\n    start: [0, 0, 0]\n    goal: [1, 0, 0]\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"scenarios:\n" + hop + "    pass: {max_cross_trak: 0.1}\n",
       "bad.yaml:5: scenario 'hop': pass.max_cross_trak: unknown field (expected "
       "position_tolerance, heading_tolerance, time_limit, max_cross_track, max_distance_ratio, "
       "first_turn_on_the_spot, min_clearance, ends_blocked, waits, undisturbed)"},
      {"scenarios:\n" + hop + "    obstacles: [{shape: cone, at: [1, 1]}]\n",
       "bad.yaml:5: scenario 'hop': obstacles[0].shape: expected circle or box"},
      {"scenarios:\n" + hop + "    obstacles: [{shape: box, at: [1, 1, 0], radius: 1}]\n",
       "bad.yaml:5: scenario 'hop': obstacles[0].radius: not for a box"},
      {"scenarios:\n" + hop +
           "    obstacles: [{shape: circle, at: [1, 1], radius: 1, to: [2, 2]}]\n",
       "bad.yaml:5: scenario 'hop': obstacles[0]: a walk needs to and speed (and from, 0 unless "
       "given)"},
      {"scenarios:\n" + hop + "    footprint: {radius: 0}\n",
       "bad.yaml:5: scenario 'hop': footprint: expected a polygon, a radius above 0, or both"},
      {"defaults:\n  obstacles: []\nscenarios:\n" + hop,
       "bad.yaml:2: defaults: obstacles: belongs to a scenario, not to the defaults"},
      {"scenarios:\n" + hop + "    pass: {max_cross_track: -1}\n",
       "bad.yaml:5: scenario 'hop': pass.max_cross_track: must not be negative, got '-1'"},
      {"scenarios:\n" + hop + "    period: fast\n",
       "bad.yaml:5: scenario 'hop': period: 'fast' is not a number"},
      {"scenarios:\n" + hop + "    vehicle: {mode: tricycle}\n",
       "bad.yaml:5: scenario 'hop': vehicle.mode: unknown mode 'tricycle' (use unicycle or "
       "differential)"},
      {"scenarios:\n" + hop + "    pass: {first_turn_on_the_spot: yes}\n",
       "bad.yaml:5: scenario 'hop': pass.first_turn_on_the_spot: expected true or false"},
      {"scenarios:\n  - name: hop\n    start: [0, 0]\n    goal: [1, 0, 0]\n",
       "bad.yaml:3: scenario 'hop': start: expected [x, y, heading in degrees]"},
      {"scenarios:\n  - name: hop\n    start: [0, 0, 0]\n",
       "bad.yaml:2: scenario 'hop': goal: missing"},
      {"scenarios:\n" + hop + "  - start: [0, 0, 0]\n    goal: [1, 0, 0]\n",
       "bad.yaml:5: scenario 2: name: missing"},
      {"scenarios:\n" + hop + hop,
       "bad.yaml:5: scenario 'hop': name: a scenario of that name comes earlier in the file"},
      {"scenarios:\n  - name: a/b\n    start: [0, 0, 0]\n    goal: [1, 0, 0]\n",
       "bad.yaml:2: scenario 1: name: 'a/b' may hold only letters, digits, '-' and '_'"},
      {"defaults:\n  goal: [1, 0, 0]\nscenarios:\n" + hop,
       "bad.yaml:2: defaults: goal: belongs to a scenario, not to the defaults"},
      {"scenarios:\n" + hop + "    vehicle_start: [1, 0, 0]\n    pass: {max_distance_ratio: 2}\n",
       "bad.yaml:4: scenario 'hop': pass.max_distance_ratio: the vehicle starts at the goal "
       "position, so there is no straight-line distance"},
      {"scenarios:\n" + hop + "    waypoints: [[0, 0, 0], [1, 0, 0]]\n",
       "bad.yaml:5: scenario 'hop': waypoints: not with start or goal: the first waypoint is the "
       "start, the last the goal"},
      {"scenarios:\n  - name: hop\n    waypoints: [[0, 0, 0]]\n",
       "bad.yaml:3: scenario 'hop': waypoints: expected a list of two or more [x, y, heading in "
       "degrees]"},
      {"scenarios:\n  - name: far\n    start: [0, 0, 0]\n    goal: [0, 1e10, 0]\n",
       "bad.yaml:4: scenario 'far': goal: a coordinate beyond the 1e9 m from the origin that the "
       "controller takes"},
      {"scenarios: []\n", "bad.yaml:1: scenarios: expected a list of one or more scenarios"},
      {"scenarios:\n  - name: [hop\n", "bad.yaml:3: end of sequence flow not found"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(message);
    std::ofstream(work() / "bad.yaml") << text;
    const auto result = sim({"--suite", "bad.yaml", "--junit", "junit.xml"});
    EXPECT_EQ(exitStatus(result), 2);
    EXPECT_EQ(result.err, "trelvo-sim: " + message + "\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(filesIn(work()), (std::vector<fs::path>{"bad.yaml"}));
  }
}
