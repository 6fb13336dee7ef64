#pragma once

// Flat motion-control toolkit: value records, process-wide tuning and state records, and the free
// functions that turn poses into body and wheel commands.
//
// State lives in the exported globals below and is shared by every caller in the process; the
// functions are meant for one control thread. Angles are radians. The Controller feeds metres and
// m/s; the line-tracking and wheel functions carry constants sized for millimetres and mm/s.

#include "trelvo/export.hpp"

// ---- Value records --------------------------------------------------------------------------

/// A pose (x, y, heading), or a wheel's mounting position in the vehicle frame (theta unused).
struct AGV_Pos {
  double x;
  double y;
  double theta;
};

/// Body velocity command: forward, lateral (a correction term on differential vehicles), angular.
struct AGV_VxVyW {
  double vx;
  double vy;
  double w;
};

/// One steerable wheel's speed and steering angle; on a differential vehicle the two wheel speeds
/// (first wheel in v, second in r).
struct WheelVROut {
  double v;
  double r;
};

/// Deviation of a pose from a directed line: x along the line to its end (negative before the
/// end), y across it (positive to the left), r the heading error in [-pi, pi].
struct DeltaXYR {
  double x;
  double y;
  double r;
};

/// Opaque parameter set accepted (and ignored) by ParameterConfig.
struct ParameterSet {
  int reserved;
};

/// Mechanical description of a vehicle; only width is read.
struct AGVMechanicParameter {
  double width;
  double wheelDiameterLeft;
  double wheelDiameterRight;
  double reductionRatio;
};

// ---- Global record types --------------------------------------------------------------------

/// Error history of one PID axis, single precision.
struct PIDErrorStru {
  float current;
  float last;
  float delta;
  float sum;
};

struct PIDGainStru {
  float kp;
  float ki;
  float kd;
};

/// Output bounds of mvRun; each maximum stands before its minimum.
struct VxVyWLimitStru {
  float reserved0;
  float reserved1;
  float reserved2;
  float vxMax;
  float vxMin;
  float vyMax;
  float vyMin;
  float wMax;
  float wMin;
};

/// Tuning slots of the line-tracking functions.
struct CtrlStru {
  double value[14];
};

// ---- Exported globals (zero at load except gWheelDir) -----------------------------------------

extern TRELVO_API int gWheelDir;
extern TRELVO_API double gWheelDiameterLSet;
extern TRELVO_API double gWheelDiameterRSet;
extern TRELVO_API double gReductionRatioSet;
extern TRELVO_API DeltaXYR ansXYR;
extern TRELVO_API double gWheelOffsetAngleSet;
extern TRELVO_API double gWheelRotateMin;
extern TRELVO_API double gWheelRotateMax;
extern TRELVO_API double gMoveDirInWorld;
extern TRELVO_API CtrlStru VxCtrlStru;
extern TRELVO_API CtrlStru VyCtrlStru;
extern TRELVO_API CtrlStru WCtrlStru;
extern TRELVO_API double VxMax;
extern TRELVO_API DeltaXYR pDeltaXYR;
extern TRELVO_API PIDErrorStru m_struErrorX;
extern TRELVO_API PIDErrorStru m_struErrorY;
extern TRELVO_API PIDErrorStru m_struErrorTheta;
extern TRELVO_API PIDGainStru struPIDX;
extern TRELVO_API PIDGainStru struPIDY;
extern TRELVO_API PIDGainStru struPIDTheta;
extern TRELVO_API VxVyWLimitStru struVxVyWlimit;
extern TRELVO_API double gAGVWidthSet;
extern TRELVO_API double gWheelYOffset;
extern TRELVO_API double gAGVDirInWorld;
extern TRELVO_API double gWheelDirInWorld;
extern TRELVO_API double Yerror_current;
extern TRELVO_API double Yerror_last_1;
extern TRELVO_API double Yerror_last_2;
extern TRELVO_API double Rerror_current;
extern TRELVO_API double Rerror_last_1;
extern TRELVO_API double Rerror_last_2;
extern TRELVO_API double Odom_x;
extern TRELVO_API double Odom_y;
extern TRELVO_API double Odom_theta;

// ---- Set-up ---------------------------------------------------------------------------------

/// Sets the gains and limits of the mvRun PID records and clears their integral sums.
TRELVO_API void PIDInit0();
/// Accepts a parameter set and does nothing with it.
TRELVO_API void ParameterConfig(ParameterSet parameters);
/// Stores parameters.width into gAGVWidthSet.
TRELVO_API void AGVMechanicParaConfig(AGVMechanicParameter parameters);

// ---- Angles and limits ----------------------------------------------------------------------

/// Clamp, upper bound tested first (value >= upper gives upper). NaN value passes through.
TRELVO_API double fSat(double value, double lower, double upper);
/// Clamp, lower bound tested first (lower > value gives lower). NaN value passes through.
TRELVO_API double SetLimit(double value, double upper, double lower);
/// a if a > b, else b (ties and NaN give b).
TRELVO_API double max(double a, double b);
/// -1 if x < 0, else +1 (zero gives +1, NaN gives -1).
TRELVO_API int Sign(double x);
/// atan2(sin, cos) of the angle: a value in [-pi, pi].
TRELVO_API double NormalizationAngle(double angle);
/// As NormalizationAngle, negative results shifted by 2*pi: a value in [0, 2*pi].
TRELVO_API double NormalizationAnglePos(double angle);
/// Half a turn towards zero for angles within one turn of zero, 0 otherwise.
TRELVO_API double Rotationfunction(double angle);
/// to - from, wrapped once into [-pi, pi].
TRELVO_API double CalcAngleError(double from, double to);

// ---- Line deviation and speed profile -------------------------------------------------------

/// Deviation of (px, py, heading) from the directed line start -> end. endHeading is unused.
TRELVO_API void CalLineDelta(double px, double py, double heading, double startX, double startY,
                             double endX, double endY, double endHeading, DeltaXYR* out);
/// Distance-based trapezoid speed: rising from startSpeed, capped at maxSpeed, falling to
/// endSpeed at endPos (negative past it). Slopes are divided by scale.
TRELVO_API double TrapezoidV(double startPos, double endPos, double pos, double accSlope,
                             double decSlope, double startSpeed, double maxSpeed, double endSpeed,
                             double scale);

// ---- Error-record PID -----------------------------------------------------------------------

/// Three single-precision PID loops on the global error records, one per deviation axis.
/// A non-finite deviation field makes that axis's current, delta and sum NaN or infinite, and the
/// sum, which every later call adds to, stays so until PIDInit0: pass only finite deviations.
TRELVO_API void mvRun(DeltaXYR& deviation, AGV_VxVyW& command);

// ---- Line tracking and turn profiles --------------------------------------------------------

/// One step of straight-line tracking; fills *out and returns the deviation (pDeltaXYR).
TRELVO_API DeltaXYR NewPID3(double px, double py, double heading, double ignored1, double ignored2,
                            double endHeading, double startX, double startY, double endX,
                            double endY, double scale, AGV_VxVyW* out, double startSpeed,
                            double maxSpeed, double endSpeed, double maxW);
/// Turn-rate profile of an in-place turn; true once the turn is within tolerance of its span.
TRELVO_API bool Rotation(double startAngle, double currentAngle, double targetAngle,
                         double minSpeed, double maxSpeed, double accSlope, double decSlope,
                         double scale, double tolerance, double* out);
/// As Rotation, measuring the turn the short way round; completion on the raw angle difference.
TRELVO_API bool spinTurn(double startAngle, double currentAngle, double targetAngle,
                         double minSpeed, double maxSpeed, double accSlope, double decSlope,
                         double scale, double tolerance, double* out);

// ---- Wheel kinematics and odometry ----------------------------------------------------------

/// Steering angles and speeds of two steerable drive wheels for a body command.
/// Each angle is moved by pi at a time into [gWheelRotateMin, gWheelRotateMax], reversing its
/// wheel's speed with each step. Stepping gives up when an angle starts more than 1e6 half turns
/// from the bound it must pass, or has not passed it after 1e6 steps (an infinite or huge angle,
/// bound or mounting offset); both speeds are then set to 0 and both angles left as they were,
/// as when the first wheel fails the mounting test.
TRELVO_API void VW2WheelsNew(double vx, double vy, double w, double heading, double lineDir,
                             AGV_Pos wheelA, AGV_Pos wheelB, WheelVROut* outA, WheelVROut* outB);
/// Brings each steering angle within a quarter turn of referenceAngle, reversing its speed with
/// each pi step, then clamps it into [gWheelRotateMin, gWheelRotateMax]. When an angle starts more
/// than 1e6 half turns from the reference, or is not within a quarter turn of it after 1e6 steps,
/// that angle is left unstepped (still clamped) and both speeds are set to 0.
TRELVO_API void VW2WheelRestrict(WheelVROut* outA, WheelVROut* outB, double referenceAngle);
/// Sets gMoveDirInWorld and the wheels' travel sign gWheelDir for a straight move. When the
/// steering angle cannot be stepped into range (the same limits as VW2WheelsNew), gWheelDir is 1.
TRELVO_API void WheelDirOut(double startX, double startY, double endX, double endY, double offsetA,
                            double offsetB);
/// Wheel speeds of a differential vehicle: first wheel in v, second in r.
TRELVO_API WheelVROut VW2Wheels_DS(double vx, double vy, double w, double heading, double lineDir);
/// Dead reckoning from two wheel speeds; advances *odomPose. A step that cannot be taken leaves
/// the pose as it was: a track of zero or not finite, or a step that is not finite (a non-finite
/// wheel speed or time step, or an overflow).
TRELVO_API void OdemeterOut(float dtHeading, float dtX, float dtY, float track, WheelVROut first,
                            WheelVROut second, AGV_Pos* odomPose);

// ---- Trajectory steps -----------------------------------------------------------------------

/// Sub-goal of one PreMove step: type 0 turn in place, 1 straight move, 5 invalid request.
struct PreMoveOut {
  AGV_Pos target;
  int type;
};

/// One step of a straight move with two steerable wheels; wheel speeds in motor rpm. Both wheel
/// diameters must lie within 1 mm of 150 mm, else both speeds are 0 (the angles still steer).
TRELVO_API bool LineTraj(AGV_Pos cur, AGV_Pos start, AGV_Pos end, double scale, AGV_VxVyW* vel,
                         double startSpeed, double maxSpeed, double endSpeed, double maxW,
                         AGV_Pos wheelA, AGV_Pos wheelB, double referenceAngle, WheelVROut* outA,
                         WheelVROut* outB, double tolerance);
/// One step of a straight move for a differential vehicle.
TRELVO_API bool LineTraj_DS(AGV_Pos cur, AGV_Pos start, AGV_Pos end, double scale, AGV_VxVyW* vel,
                            double startSpeed, double maxSpeed, double endSpeed, double maxW,
                            WheelVROut* out, double tolerance);
/// One step of a circular-arc move for a differential vehicle; speeds are angular. Without a
/// finite forward speed (zero curvature: start on end, or equal headings) vel->vx and both wheel
/// speeds are 0; vel->w and the result are computed as usual.
TRELVO_API bool ArcMove_DS(AGV_Pos cur, AGV_Pos start, AGV_Pos end, double scale, AGV_VxVyW* vel,
                           double startSpeed, double maxSpeed, double endSpeed, double ignoredW,
                           WheelVROut* out, double tolerance);
/// Sub-goal of step `type` of a move of shape `kind` (0 direct, 1 x first, 2 y first).
TRELVO_API PreMoveOut PreMove(double curX, double curY, double ignored, double targetX,
                              double targetY, double targetHeading, double holdHeading, int type,
                              int kind, int* doneFlag);
