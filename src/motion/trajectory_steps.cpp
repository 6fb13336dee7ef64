// One control step of a straight or arc move, and the sub-goals of a planned move.

#include <cmath>

#include "angle_constants.hpp"
#include "trelvo/motion.hpp"

namespace {

// Motor rpm are only computed for the wheel the drive is built with.
constexpr double kRatedWheelDiameter = 150.0;    // mm
constexpr double kWheelDiameterTolerance = 1.0;  // mm, exclusive
constexpr double kSecondsPerMinute = 60.0;
constexpr double kArcChordMin = 0.001;  // mm, shorter chords give no curvature

// A wheel whose diameter is unset or off the rated size gets no rpm: dividing by it could give
// any speed, an infinite one for a diameter of 0.
bool isRatedWheel(double diameter) {
  return std::fabs(diameter - kRatedWheelDiameter) < kWheelDiameterTolerance;
}

enum MoveType { kTurnInPlace = 0, kStraightMove = 1, kInvalidRequest = 5 };
enum RouteKind { kDirect = 0, kXFirst = 1, kYFirst = 2 };

}  // namespace

bool LineTraj(AGV_Pos cur, AGV_Pos start, AGV_Pos end, double scale, AGV_VxVyW* vel,
              double startSpeed, double maxSpeed, double endSpeed, double maxW, AGV_Pos wheelA,
              AGV_Pos wheelB, double referenceAngle, WheelVROut* outA, WheelVROut* outB,
              double tolerance) {
  ansXYR = NewPID3(cur.x, cur.y, cur.theta, 0.0, 0.0, end.theta, start.x, start.y, end.x, end.y,
                   scale, vel, startSpeed, maxSpeed, endSpeed, maxW);
  const double lineDir = std::atan2(end.y - start.y, end.x - start.x);
  gMoveDirInWorld = lineDir;
  VW2WheelsNew(vel->vx, vel->vy, vel->w, cur.theta, lineDir, wheelA, wheelB, outA, outB);
  VW2WheelRestrict(outA, outB, referenceAngle);

  if (isRatedWheel(gWheelDiameterLSet) && isRatedWheel(gWheelDiameterRSet)) {
    outA->v = outA->v * kSecondsPerMinute * gReductionRatioSet / gWheelDiameterLSet / kPi;
    outB->v = kSecondsPerMinute * outB->v * gReductionRatioSet / gWheelDiameterRSet / kPi;
  } else {
    outA->v = 0.0;
    outB->v = 0.0;
  }
  return ansXYR.x > -tolerance;
}

bool LineTraj_DS(AGV_Pos cur, AGV_Pos start, AGV_Pos end, double scale, AGV_VxVyW* vel,
                 double startSpeed, double maxSpeed, double endSpeed, double maxW, WheelVROut* out,
                 double tolerance) {
  ansXYR = NewPID3(cur.x, cur.y, cur.theta, 0.0, 0.0, end.theta, start.x, start.y, end.x, end.y,
                   scale, vel, startSpeed, maxSpeed, endSpeed, maxW);
  const double lineDir = std::atan2(end.y - start.y, end.x - start.x);
  gMoveDirInWorld = lineDir;
  // The start heading tells whether the vehicle drives this line forwards or backwards.
  *out = VW2Wheels_DS(vel->vx, vel->vy, vel->w, start.theta, lineDir);
  return ansXYR.x > -tolerance;
}

bool ArcMove_DS(AGV_Pos cur, AGV_Pos start, AGV_Pos end, double scale, AGV_VxVyW* vel,
                double startSpeed, double maxSpeed, double endSpeed, double /*ignoredW*/,
                WheelVROut* out, double tolerance) {
  double curvature = 0.0;
  if (std::fabs(end.y - start.y) > kArcChordMin) {
    curvature = (std::cos(end.theta) - std::cos(start.theta)) / (start.y - end.y);
  } else if (std::fabs(end.x - start.x) > kArcChordMin) {
    curvature = (std::sin(start.theta) - std::sin(end.theta)) / (start.x - end.x);
  }

  // As in Rotation: a span beyond half a turn is moved away from the +-pi seam.
  double span = end.theta - start.theta;
  if (span > kPi || span < -kPi) {
    end.theta = Rotationfunction(end.theta);
    cur.theta = Rotationfunction(cur.theta);
    start.theta = Rotationfunction(start.theta);
    span = end.theta - start.theta;
  }
  const double direction = end.theta - cur.theta > 0.0 ? 1.0 : -1.0;
  const double turned = std::fabs(cur.theta - start.theta);
  const double total = std::fabs(span);

  const double w =
      direction * TrapezoidV(0.0, total, turned, WCtrlStru.value[0], WCtrlStru.value[1], startSpeed,
                             maxSpeed, endSpeed, scale);
  // Zero curvature has no finite forward speed; the wheels must not get one either.
  const double forward = w / curvature;
  const bool drivable = std::isfinite(forward);
  vel->vx = drivable ? forward : 0.0;
  vel->w = w;
  *out = drivable ? VW2Wheels_DS(forward, 0.0, w, 0.0, 0.0) : WheelVROut{0.0, 0.0};
  return turned - total >= -tolerance;
}

PreMoveOut PreMove(double curX, double curY, double /*ignored*/, double targetX, double targetY,
                   double targetHeading, double holdHeading, int type, int kind, int* doneFlag) {
  const PreMoveOut invalid = {{0.0, 0.0, 0.0}, kInvalidRequest};
  switch (kind) {
    case kDirect: {
      const double face = std::atan2(targetY - curY, targetX - curX);
      switch (type) {
        case 0:
          return {{curX, curY, face}, kTurnInPlace};
        case 1:
          return {{targetX, targetY, face}, kStraightMove};
        case 2:
          *doneFlag = 1;
          return {{targetX, targetY, targetHeading}, kTurnInPlace};
        default:
          return invalid;
      }
    }
    case kXFirst:
    case kYFirst: {
      // The corner between the two legs: x reached first, or y first.
      const AGV_Pos corner = kind == kXFirst ? AGV_Pos{targetX, curY, holdHeading}
                                             : AGV_Pos{curX, targetY, holdHeading};
      switch (type) {
        case 0:
          return {{curX, curY, holdHeading}, kTurnInPlace};
        case 1:
          return {corner, kStraightMove};
        case 2:
          return {{targetX, targetY, holdHeading}, kStraightMove};
        case 3:
          *doneFlag = 1;
          return {{targetX, targetY, targetHeading}, kTurnInPlace};
        default:
          return invalid;
      }
    }
    default:
      return invalid;
  }
}
