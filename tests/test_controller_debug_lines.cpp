// Whole scripted runs at level debug: every line the controller writes, compared with lines
// worked out by hand. Orientations are chosen so that every yaw is exact (0, 90, 180 degrees).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_process.hpp"

namespace {

const std::vector<std::string> kDebugConsole = {"SPDLOG_STDOUT=true", "SPDLOG_SYSTEMD=false",
                                                "SPDLOG_LEVEL=debug"};

// Orientations about z as QZ,QW (not normalised; the yaw rule absorbs the length).
const std::string kYaw0 = "0,1";
const std::string kYaw90 = "1,1";
const std::string kYaw180 = "1,0";

std::string runTrace(const std::vector<std::string>& script,
                     const std::vector<std::string>& environment) {
  std::vector<std::string> argv = {TRELVO_CONTROLLER_TRACE};
  argv.insert(argv.end(), script.begin(), script.end());
  const auto result = child_process::run(argv, environment);
  EXPECT_TRUE(result.exitedCleanly()) << result.err;
  return result.out;
}

std::string lines(const std::vector<std::string>& text) {
  std::string joined;
  for (const auto& line : text) {
    joined += line + "\n";
  }
  return joined;
}

const std::string kPathLine =
    "pseCallback_startPointX: 0.000, startPointy: 0.000, endPointX: 2.000, endPointy: 0.000, "
    "goal_angle: 1.5707963267948966";

// Path (0, 0) -> (2, 0) with goal heading 90 degrees: a quarter turn, a 2 m line, a quarter turn
// back, then one cycle after the finish without init().
const std::vector<std::string> kWholeRun = {
    "0,0,2,0," + kYaw90, "0,0," + kYaw90, "0,0," + kYaw0,  "0,0," + kYaw0,
    "1,0," + kYaw0,      "2,0," + kYaw0,  "2,0," + kYaw0,  "2,0," + kYaw0,
    "2,0," + kYaw180,    "2,0," + kYaw90, "2,0," + kYaw90,
};

}  // namespace

TEST(ControllerDebugLines, WholeRunWritesTheNumberedLinesOfEveryState) {
  const std::string expected = lines({
      // first turn, start of the run
      "  1 [DEBUG] ####step: 0, coutt: 0",
      "  2 [DEBUG] " + kPathLine,
      "  3 [DEBUG] NO, near station-current pose: 0.000, 0.000, EndPoint: 2.000, 0.000, X_dis: "
      "2.000, Y_dis: 0.000",
      "  4 [DEBUG] AngleError_Rotate: 90, Angle_current: 90, nvgi-yaw_degree: 0, wc: -0.25, "
      "angle_error_current_last: 1.5707963267948966, 1.5707963267948966",
      // first turn done
      "  5 [DEBUG] ####step: 0, coutt: 1",
      "  6 [DEBUG] " + kPathLine,
      "  7 [DEBUG] AngleError_Rotate: 90, Angle_current: 0, nvgi-yaw_degree: 0, wc: -0.2, "
      "angle_error_current_last: 0, 1.5707963267948966",
      "  8 [DEBUG] step1urn successful, isNearPoint: false, dAngleErrorRotate_cerrent: 0",
      // line move
      "  9 [DEBUG] ####step: 1, coutt: 1",
      " 10 [DEBUG] " + kPathLine,
      " 11 [DEBUG] startPose_x: 0, startPose_Y: 0, endPointX: 2, endPointy: 0",
      " 12 [DEBUG] pDeltaX: -2, pDeltaY: -0, pDeltaR_degree: 0.000",
      " 13 [DEBUG] ####step: 1, coutt: 2",
      " 14 [DEBUG] " + kPathLine,
      " 15 [DEBUG] startPose_x: 0, startPose_Y: 0, endPointX: 2, endPointy: 0",
      " 16 [DEBUG] pDeltaX: -1, pDeltaY: -0, pDeltaR_degree: 0.000",
      " 17 [DEBUG] ####step: 1, coutt: 3",
      " 18 [DEBUG] " + kPathLine,
      " 19 [DEBUG] startPose_x: 0, startPose_Y: 0, endPointX: 2, endPointy: 0",
      " 20 [DEBUG] pDeltaX: 0, pDeltaY: -0, pDeltaR_degree: 0.000",
      // arrival on the previous cycle's deviation
      " 21 [DEBUG] ####step: 1, coutt: 4",
      " 22 [DEBUG] " + kPathLine,
      " 23 [DEBUG] line move successful, DeltaX: 0, DeltaY: -0, station resolution: 0, coutt: 4, "
      "isNearPoint: false",
      // final turn with its set-up
      " 24 [DEBUG] ####step: 2, coutt: 0",
      " 25 [DEBUG] " + kPathLine,
      " 26 [DEBUG] AngleError_Rotate: -90, Angle_current: 0, goal_angle_degree: 90, wc: 0.2, "
      "angle_error_current_last: -1.5707963267948966, -1.5707963267948966",
      // overshoot to 180 degrees: a sign change, but a quarter turn away
      " 27 [DEBUG] ####step: 2, coutt: 1",
      " 28 [DEBUG] " + kPathLine,
      " 29 [DEBUG] AngleError_Rotate: -90, Angle_current: 180, goal_angle_degree: 90, wc: 0.2, "
      "angle_error_current_last: 1.5707963267948966, -1.5707963267948966",
      " 30 [DEBUG] ####step: 2, coutt: 2",
      " 31 [DEBUG] " + kPathLine,
      " 32 [DEBUG] step2turn successful, angleError: 0, dgAngleErrorRotate_last: "
      "1.5707963267948966",
      "finished",
      // after the finish without init(): a first-turn cycle, no start-of-run set-up
      " 33 [DEBUG] ####step: 0, coutt: 1",
      " 34 [DEBUG] " + kPathLine,
      " 35 [DEBUG] AngleError_Rotate: -90, Angle_current: 90, nvgi-yaw_degree: 0, wc: 0.25, "
      "angle_error_current_last: 1.5707963267948966, 0",
  });
  EXPECT_EQ(runTrace(kWholeRun, kDebugConsole), expected);
}

TEST(ControllerDebugLines, StartNearTheStationGoesStraightToTheFinalTurn) {
  const std::string expected = lines({
      "  1 [DEBUG] ####step: 0, coutt: 0",
      "  2 [DEBUG] pseCallback_startPointX: 0.000, startPointy: 0.000, endPointX: 1.000, "
      "endPointy: 1.000, goal_angle: 0",
      "  3 [DEBUG] near station-current pose: 1.030, 0.951, EndPoint: 1.000, 1.000",
      "  4 [DEBUG] ####step: 2, coutt: 0",
      "  5 [DEBUG] pseCallback_startPointX: 0.000, startPointy: 0.000, endPointX: 1.000, "
      "endPointy: 1.000, goal_angle: 0",
      "  6 [DEBUG] step2turn successful, angleError: 0, dgAngleErrorRotate_last: 0",
      "finished",
  });
  EXPECT_EQ(
      runTrace({"0,0,1,1," + kYaw0, "1.03,0.951," + kYaw0, "1.03,0.951," + kYaw0}, kDebugConsole),
      expected);
}

TEST(ControllerDebugLines, LevelInfoWritesNothing) {
  EXPECT_EQ(
      runTrace(kWholeRun, {"SPDLOG_STDOUT=true", "SPDLOG_SYSTEMD=false", "SPDLOG_LEVEL=info"}),
      "finished\n");
}
