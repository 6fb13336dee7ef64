// Load values of the toolkit's globals and its set-up functions.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "trelvo/motion.hpp"

namespace {

struct GlobalBytes {
  const char* name;
  const void* address;
  std::size_t size;
};

#define TRELVO_GLOBAL(g) (GlobalBytes{#g, &(g), sizeof(g)})

std::vector<GlobalBytes> everyGlobal() {
  return {TRELVO_GLOBAL(gWheelDir),
          TRELVO_GLOBAL(gWheelDiameterLSet),
          TRELVO_GLOBAL(gWheelDiameterRSet),
          TRELVO_GLOBAL(gReductionRatioSet),
          TRELVO_GLOBAL(ansXYR),
          TRELVO_GLOBAL(gWheelOffsetAngleSet),
          TRELVO_GLOBAL(gWheelRotateMin),
          TRELVO_GLOBAL(gWheelRotateMax),
          TRELVO_GLOBAL(gMoveDirInWorld),
          TRELVO_GLOBAL(VxCtrlStru),
          TRELVO_GLOBAL(VyCtrlStru),
          TRELVO_GLOBAL(WCtrlStru),
          TRELVO_GLOBAL(VxMax),
          TRELVO_GLOBAL(pDeltaXYR),
          TRELVO_GLOBAL(m_struErrorX),
          TRELVO_GLOBAL(m_struErrorY),
          TRELVO_GLOBAL(m_struErrorTheta),
          TRELVO_GLOBAL(struPIDX),
          TRELVO_GLOBAL(struPIDY),
          TRELVO_GLOBAL(struPIDTheta),
          TRELVO_GLOBAL(struVxVyWlimit),
          TRELVO_GLOBAL(gAGVWidthSet),
          TRELVO_GLOBAL(gWheelYOffset),
          TRELVO_GLOBAL(gAGVDirInWorld),
          TRELVO_GLOBAL(gWheelDirInWorld),
          TRELVO_GLOBAL(Yerror_current),
          TRELVO_GLOBAL(Yerror_last_1),
          TRELVO_GLOBAL(Yerror_last_2),
          TRELVO_GLOBAL(Rerror_current),
          TRELVO_GLOBAL(Rerror_last_1),
          TRELVO_GLOBAL(Rerror_last_2),
          TRELVO_GLOBAL(Odom_x),
          TRELVO_GLOBAL(Odom_y),
          TRELVO_GLOBAL(Odom_theta)};
}

std::string snapshotOfEveryGlobal() {
  std::string bytes;
  for (const GlobalBytes& global : everyGlobal()) {
    bytes.append(static_cast<const char*>(global.address), global.size);
  }
  return bytes;
}

// Load values can only be seen before any test has changed a global, so these checks run in a
// freshly started copy of this program that runs nothing else first.
#define EXPECT_IN_FRESH_PROCESS(checks)                     \
  do {                                                      \
    GTEST_FLAG_SET(death_test_style, "threadsafe");         \
    EXPECT_EXIT(                                            \
        {                                                   \
          checks;                                           \
          std::exit(::testing::Test::HasFailure() ? 1 : 0); \
        },                                                  \
        ::testing::ExitedWithCode(0), "");                  \
  } while (false)

void expectLoadValues() {
  EXPECT_EQ(gWheelDir, 1);
  for (const GlobalBytes& global : everyGlobal()) {
    if (global.address == &gWheelDir) {
      continue;
    }
    const std::string zeros(global.size, '\0');
    EXPECT_EQ(std::memcmp(global.address, zeros.data(), global.size), 0) << global.name;
  }
}

void expectZeroCommandsWithoutGains() {
  for (const DeltaXYR& deviation : {DeltaXYR{-2.0, 0.4, 0.2}, DeltaXYR{5.0, -3.0, -3.0}}) {
    DeltaXYR input = deviation;
    AGV_VxVyW command{7.0, 7.0, 7.0};
    mvRun(input, command);
    EXPECT_EQ(command.vx, 0.0);
    EXPECT_EQ(command.vy, 0.0);
    EXPECT_EQ(command.w, 0.0);
  }
}

TEST(GlobalsAtLoad, WheelDirIsOneAndEveryOtherGlobalIsZero) {
  EXPECT_IN_FRESH_PROCESS(expectLoadValues());
}

TEST(GlobalsAtLoad, MvRunCommandsZeroBeforePIDInit0) {
  EXPECT_IN_FRESH_PROCESS(expectZeroCommandsWithoutGains());
}

TEST(PIDInit0, SetsSinglePrecisionGainsAndLimits) {
  PIDInit0();
  EXPECT_EQ(struPIDX.kp, 1.0f);
  EXPECT_EQ(struPIDY.kp, 0.5f);
  EXPECT_EQ(struPIDTheta.kp, 0.6f);
  EXPECT_NE(static_cast<double>(struPIDTheta.kp), 0.6);
  for (const PIDGainStru& gains : {struPIDX, struPIDY, struPIDTheta}) {
    EXPECT_EQ(gains.ki, 0.0f);
    EXPECT_EQ(gains.kd, 0.0f);
  }
  EXPECT_EQ(struVxVyWlimit.vxMax, 1.5f);
  EXPECT_EQ(struVxVyWlimit.vxMin, 0.1f);
  EXPECT_EQ(struVxVyWlimit.vyMax, 0.5f);
  EXPECT_EQ(struVxVyWlimit.vyMin, -0.5f);
  EXPECT_EQ(static_cast<double>(struVxVyWlimit.wMax), 1.0471975803375244);
  EXPECT_EQ(static_cast<double>(struVxVyWlimit.wMin), -1.0471975803375244);
}

TEST(PIDInit0, OverwritesClientTuningAndKeepsReservedSlots) {
  struPIDY.kd = 3.0f;
  struVxVyWlimit.vxMax = 9.0f;
  struVxVyWlimit.reserved1 = 4.0f;
  PIDInit0();
  EXPECT_EQ(struPIDY.kd, 0.0f);
  EXPECT_EQ(struVxVyWlimit.vxMax, 1.5f);
  EXPECT_EQ(struVxVyWlimit.reserved1, 4.0f);
}

TEST(PIDInit0, ClearsOnlyTheSumOfEachErrorRecord) {
  for (PIDErrorStru* record : {&m_struErrorX, &m_struErrorY, &m_struErrorTheta}) {
    *record = {1.0f, 2.0f, 3.0f, 4.0f};
  }
  PIDInit0();
  for (const PIDErrorStru* record : {&m_struErrorX, &m_struErrorY, &m_struErrorTheta}) {
    EXPECT_EQ(record->current, 1.0f);
    EXPECT_EQ(record->last, 2.0f);
    EXPECT_EQ(record->delta, 3.0f);
    EXPECT_EQ(record->sum, 0.0f);
  }
}

TEST(AGVMechanicParaConfig, StoresWidthAndNothingElse) {
  const double widthBefore = gAGVWidthSet;
  const std::string before = snapshotOfEveryGlobal();
  AGVMechanicParaConfig(AGVMechanicParameter{500.0, 150.0, 151.0, 30.0});
  EXPECT_EQ(gAGVWidthSet, 500.0);
  gAGVWidthSet = widthBefore;
  EXPECT_EQ(snapshotOfEveryGlobal(), before);
}

TEST(ParameterConfig, ChangesNoGlobal) {
  const std::string before = snapshotOfEveryGlobal();
  ParameterConfig(ParameterSet{42});
  EXPECT_EQ(snapshotOfEveryGlobal(), before);
}

}  // namespace
