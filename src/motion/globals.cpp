// The toolkit's process-wide state and its set-up functions.

#include <cmath>

#include "angle_constants.hpp"
#include "trelvo/motion.hpp"

int gWheelDir = 1;
double gWheelDiameterLSet = 0.0;
double gWheelDiameterRSet = 0.0;
double gReductionRatioSet = 0.0;
DeltaXYR ansXYR = {};
double gWheelOffsetAngleSet = 0.0;
double gWheelRotateMin = 0.0;
double gWheelRotateMax = 0.0;
double gMoveDirInWorld = 0.0;
CtrlStru VxCtrlStru = {};
CtrlStru VyCtrlStru = {};
CtrlStru WCtrlStru = {};
double VxMax = 0.0;
DeltaXYR pDeltaXYR = {};
PIDErrorStru m_struErrorX = {};
PIDErrorStru m_struErrorY = {};
PIDErrorStru m_struErrorTheta = {};
PIDGainStru struPIDX = {};
PIDGainStru struPIDY = {};
PIDGainStru struPIDTheta = {};
VxVyWLimitStru struVxVyWlimit = {};
double gAGVWidthSet = 0.0;
double gWheelYOffset = 0.0;
double gAGVDirInWorld = 0.0;
double gWheelDirInWorld = 0.0;
double Yerror_current = 0.0;
double Yerror_last_1 = 0.0;
double Yerror_last_2 = 0.0;
double Rerror_current = 0.0;
double Rerror_last_1 = 0.0;
double Rerror_last_2 = 0.0;
double Odom_x = 0.0;
double Odom_y = 0.0;
double Odom_theta = 0.0;

void PIDInit0() {
  struPIDX = {1.0f, 0.0f, 0.0f};
  struPIDY = {0.5f, 0.0f, 0.0f};
  struPIDTheta = {0.6f, 0.0f, 0.0f};

  constexpr float kTurnRateLimit = static_cast<float>(kThirdPi);  // rad/s
  struVxVyWlimit.vxMax = 1.5f;
  struVxVyWlimit.vxMin = 0.1f;
  struVxVyWlimit.vyMax = 0.5f;
  struVxVyWlimit.vyMin = -0.5f;
  struVxVyWlimit.wMax = kTurnRateLimit;
  struVxVyWlimit.wMin = -kTurnRateLimit;

  m_struErrorX.sum = 0.0f;
  m_struErrorY.sum = 0.0f;
  m_struErrorTheta.sum = 0.0f;
}

void ParameterConfig(ParameterSet /*parameters*/) {}

void AGVMechanicParaConfig(AGVMechanicParameter parameters) {
  gAGVWidthSet = parameters.width;
}
