// Every flat toolkit function with arbitrary doubles and arbitrary global settings. An input is
// a sequence of calls, each chosen by a byte and fed values from the input; before the first,
// the globals go back to their load values and then take whatever settings the input gives.
// Beside surviving without a sanitizer report or a slow call, each result must keep the bounds
// and NaN behaviour its function promises, and every speed, angle and pose a function writes must
// be finite when its inputs and the globals it reads are of everyday size, except for the inputs
// each case names, for which the function gives a non-finite value by design.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "fuzz_support.hpp"
#include "trelvo/motion.hpp"

namespace {

using fuzz::check;
using fuzz::Input;
using fuzz::same;

// Keeps a run short: a steering call far from its range may take some 10 ms instrumented.
constexpr int kMostCallsPerRun = 64;

void restoreLoadValues() {
  gWheelDir = 1;
  gWheelDiameterLSet = gWheelDiameterRSet = gReductionRatioSet = 0.0;
  ansXYR = pDeltaXYR = {};
  gWheelOffsetAngleSet = gWheelRotateMin = gWheelRotateMax = gMoveDirInWorld = 0.0;
  VxCtrlStru = VyCtrlStru = WCtrlStru = {};
  VxMax = 0.0;
  m_struErrorX = m_struErrorY = m_struErrorTheta = {};
  struPIDX = struPIDY = struPIDTheta = {};
  struVxVyWlimit = {};
  gAGVWidthSet = 0.0;
}

// One global, chosen by the input, takes a value from it. A record and its slot are chosen
// before the values are read, so that inputs read in the order they are written.
void setGlobal(Input& in) {
  const unsigned which = in.choice(16);
  switch (which) {
    case 0:
      gWheelDiameterLSet = in.real();
      break;
    case 1:
      gWheelDiameterRSet = in.real();
      break;
    case 2:
      gReductionRatioSet = in.real();
      break;
    case 3:
      gWheelOffsetAngleSet = in.real();
      break;
    case 4:
      gWheelRotateMin = in.real();
      break;
    case 5:
      gWheelRotateMax = in.real();
      break;
    case 6:
    case 7:
    case 8: {
      CtrlStru* tuning[] = {&VxCtrlStru, &VyCtrlStru, &WCtrlStru};
      CtrlStru& record = *tuning[which - 6];
      const unsigned slot = in.choice(3);
      record.value[slot] = in.real();
      break;
    }
    case 9:
      VxMax = in.real();
      break;
    case 10:
      gAGVWidthSet = in.real();
      break;
    case 11: {
      PIDGainStru* gains[] = {&struPIDX, &struPIDY, &struPIDTheta};
      PIDGainStru& record = *gains[in.choice(3)];
      record = {in.single(), in.single(), in.single()};
      break;
    }
    case 12:
      struVxVyWlimit = {0.0f,        0.0f,        0.0f,        in.single(), in.single(),
                        in.single(), in.single(), in.single(), in.single()};
      break;
    case 13: {
      PIDErrorStru* errors[] = {&m_struErrorX, &m_struErrorY, &m_struErrorTheta};
      PIDErrorStru& record = *errors[in.choice(3)];
      record = {in.single(), in.single(), in.single(), in.single()};
      break;
    }
    case 14:
      PIDInit0();
      break;
    default:
      gWheelDir = static_cast<int>(in.byte()) - 128;
      break;
  }
}

AGV_Pos pose(Input& in) {
  return {in.real(), in.real(), in.real()};
}

// A wheel mounted where the mounting test of VW2WheelsNew passes, or anywhere.
AGV_Pos wheel(Input& in) {
  switch (in.choice(3)) {
    case 0:
      return {70.0, 195.0, 0.0};
    case 1:
      return {-70.0, -195.0, 0.0};
    default:
      return pose(in);
  }
}

// Everyday size: zero, or finite with a magnitude from 1e-6 to 1e6, the span of the millimetres,
// seconds and radians a vehicle works in. From such values no product, quotient or sum in the
// toolkit overflows, and no divisor underflows to zero unless it is zero by the inputs' geometry.
bool everyday(std::initializer_list<double> values) {
  constexpr double kSmallest = 1e-6;
  constexpr double kLargest = 1e6;
  for (const double value : values) {
    const double size = std::fabs(value);
    if (!(size == 0.0 || (kSmallest <= size && size <= kLargest))) {
      return false;
    }
  }
  return true;
}

bool finite(std::initializer_list<double> values) {
  for (const double value : values) {
    if (!std::isfinite(value)) {
      return false;
    }
  }
  return true;
}

// The globals that NewPID3 reads, and through it LineTraj and LineTraj_DS.
bool lineTrackingGlobalsEveryday() {
  return everyday(
      {VxCtrlStru.value[0], VxCtrlStru.value[1], VyCtrlStru.value[0], WCtrlStru.value[2], VxMax});
}

bool steeringGlobalsEveryday() {
  return everyday({gWheelOffsetAngleSet, gWheelRotateMin, gWheelRotateMax});
}

bool recordsEveryday(const PIDErrorStru& error, const PIDGainStru& gain) {
  return everyday({error.current, error.last, error.delta, error.sum, gain.kp, gain.ki, gain.kd});
}

bool isFinite(const PIDErrorStru& record) {
  return finite({record.current, record.last, record.delta, record.sum});
}

// Named exceptions: a segment whose ends coincide has no direction, so the deviation from it, and
// every speed made from that, is NaN; a profile scale of zero divides its slopes by zero.
bool segmentHasLength(double startX, double startY, double endX, double endY) {
  return startX != endX || startY != endY;
}

bool withinRange(double value, double lower, double upper) {
  return lower <= value && value <= upper;
}

// A usable steering range: of everyday size, not crossed, and wider than half a turn (with room
// for rounding), so that the half-turn steps always land inside it.
bool steeringRangeHoldsHalfTurn() {
  constexpr double kEverydayAngle = 1e6;  // rad
  constexpr double kRoundingRoom = 1e-6;  // rad
  return std::fabs(gWheelRotateMin) <= kEverydayAngle &&
         std::fabs(gWheelRotateMax) <= kEverydayAngle &&
         gWheelRotateMax - gWheelRotateMin >= M_PI + kRoundingRoom;
}

// After VW2WheelRestrict each angle is clamped, so it lies in any range that is not crossed.
void checkRestricted(const WheelVROut& out) {
  if (gWheelRotateMin <= gWheelRotateMax && !std::isnan(out.r)) {
    check(withinRange(out.r, gWheelRotateMin, gWheelRotateMax),
          "steering angle after VW2WheelRestrict within [gWheelRotateMin, gWheelRotateMax]");
  }
}

// A clamp's result: one of the bounds, or the value between them, or NaN from a NaN value. A NaN
// bound never applies, so it bounds nothing.
void checkClampedOutput(double output, float lower, float upper, const char* invariant) {
  if (std::isnan(lower) || std::isnan(upper)) {
    return;
  }
  check(std::isnan(output) || output == upper || output == lower ||
            (lower <= output && output < upper),
        invariant);
}

void callOne(Input& in, fuzz::CallTimer& timer) {
  switch (in.choice(27)) {
    case 0: {
      const double value = in.real(), lower = in.real(), upper = in.real();
      double result = 0.0;
      timer.time("fSat", [&] { result = fSat(value, lower, upper); });
      check(same(result, value >= upper ? upper : (lower > value ? lower : value)),
            "fSat tests the upper bound first, then the lower");
      check(std::isnan(result) == std::isnan(value), "fSat is NaN exactly for a NaN value");
      if (lower <= upper && !std::isnan(value)) {
        check(withinRange(result, lower, upper), "fSat within [lower, upper]");
      }
      break;
    }
    case 1: {
      const double value = in.real(), upper = in.real(), lower = in.real();
      double result = 0.0;
      timer.time("SetLimit", [&] { result = SetLimit(value, upper, lower); });
      check(same(result, lower > value ? lower : (upper < value ? upper : value)),
            "SetLimit tests the lower bound first, then the upper");
      check(std::isnan(result) == std::isnan(value), "SetLimit is NaN exactly for a NaN value");
      if (lower <= upper && !std::isnan(value)) {
        check(withinRange(result, lower, upper), "SetLimit within [lower, upper]");
      }
      break;
    }
    case 2: {
      const double a = in.real(), b = in.real();
      double result = 0.0;
      timer.time("max", [&] { result = max(a, b); });
      check(same(result, a > b ? a : b), "max gives a if a > b, else b");
      break;
    }
    case 3: {
      const double x = in.real();
      int result = 0;
      timer.time("Sign", [&] { result = Sign(x); });
      check(result == (x >= 0 ? 1 : -1), "Sign is +1 from zero up, else -1 (NaN too)");
      break;
    }
    case 4: {
      const double angle = in.real();
      double result = 0.0;
      timer.time("NormalizationAngle", [&] { result = NormalizationAngle(angle); });
      check(std::isnan(result) == !std::isfinite(angle),
            "NormalizationAngle is NaN exactly for a non-finite angle");
      check(std::isnan(result) || withinRange(result, -M_PI, M_PI),
            "NormalizationAngle within [-pi, pi]");
      break;
    }
    case 5: {
      const double angle = in.real();
      double result = 0.0;
      timer.time("NormalizationAnglePos", [&] { result = NormalizationAnglePos(angle); });
      check(std::isnan(result) || withinRange(result, 0.0, 2 * M_PI),
            "NormalizationAnglePos within [0, 2 pi]");
      break;
    }
    case 6: {
      const double angle = in.real();
      double result = 0.0;
      timer.time("Rotationfunction", [&] { result = Rotationfunction(angle); });
      const double expected = (angle >= 0 && angle < 2 * M_PI)    ? angle - M_PI
                              : (angle >= -2 * M_PI && angle < 0) ? angle + M_PI
                                                                  : 0.0;
      check(same(result, expected), "Rotationfunction shifts by half a turn within one turn");
      break;
    }
    case 7: {
      const double from = in.real(), to = in.real();
      double result = 0.0;
      timer.time("CalcAngleError", [&] { result = CalcAngleError(from, to); });
      const double d = to - from;
      check(same(result, d) || same(result, d - 2 * M_PI) || same(result, d + 2 * M_PI),
            "CalcAngleError wraps the difference at most once");
      break;
    }
    case 8: {
      const double px = in.real(), py = in.real(), heading = in.real(), startX = in.real(),
                   startY = in.real(), endX = in.real(), endY = in.real(), endHeading = in.real();
      DeltaXYR out{};
      timer.time("CalLineDelta", [&] {
        CalLineDelta(px, py, heading, startX, startY, endX, endY, endHeading, &out);
      });
      check(std::isnan(out.r) || withinRange(out.r, -M_PI, M_PI),
            "CalLineDelta heading error within [-pi, pi]");
      if (everyday({px, py, heading, startX, startY, endX, endY}) &&
          segmentHasLength(startX, startY, endX, endY)) {
        check(finite({out.x, out.y, out.r}), "CalLineDelta finite from everyday values");
      }
      break;
    }
    case 9: {
      const double startPos = in.real(), endPos = in.real(), pos = in.real(), acc = in.real(),
                   dec = in.real(), startSpeed = in.real(), maxSpeed = in.real(),
                   endSpeed = in.real(), scale = in.real();
      double result = 0.0;
      timer.time("TrapezoidV", [&] {
        result = TrapezoidV(startPos, endPos, pos, acc, dec, startSpeed, maxSpeed, endSpeed, scale);
      });
      check(std::isnan(result) || std::isnan(maxSpeed) || result <= maxSpeed,
            "TrapezoidV never above maxSpeed");
      if (everyday({startPos, endPos, pos, acc, dec, startSpeed, maxSpeed, endSpeed, scale}) &&
          scale != 0.0) {
        check(std::isfinite(result), "TrapezoidV finite from everyday values");
      }
      break;
    }
    case 10: {
      DeltaXYR deviation{in.real(), in.real(), in.real()};
      AGV_VxVyW command{};
      const bool everydayRun =
          everyday({deviation.x, deviation.y, deviation.r}) &&
          recordsEveryday(m_struErrorX, struPIDX) && recordsEveryday(m_struErrorY, struPIDY) &&
          recordsEveryday(m_struErrorTheta, struPIDTheta) &&
          everyday({struVxVyWlimit.vxMax, struVxVyWlimit.vxMin, struVxVyWlimit.vyMax,
                    struVxVyWlimit.vyMin, struVxVyWlimit.wMax, struVxVyWlimit.wMin});
      timer.time("mvRun", [&] { mvRun(deviation, command); });
      if (everydayRun) {
        check(finite({command.vx, command.vy, command.w}) && isFinite(m_struErrorX) &&
                  isFinite(m_struErrorY) && isFinite(m_struErrorTheta),
              "mvRun output and records finite from everyday values");
      }
      const VxVyWLimitStru& limit = struVxVyWlimit;
      checkClampedOutput(command.vx, limit.vxMin, limit.vxMax, "mvRun vx clamped");
      checkClampedOutput(command.vy, limit.vyMin, limit.vyMax, "mvRun vy clamped");
      checkClampedOutput(command.w, limit.wMin, limit.wMax, "mvRun w clamped");
      break;
    }
    case 11: {
      const double px = in.real(), py = in.real(), heading = in.real(), endHeading = in.real(),
                   startX = in.real(), startY = in.real(), endX = in.real(), endY = in.real(),
                   scale = in.real(), startSpeed = in.real(), maxSpeed = in.real(),
                   endSpeed = in.real(), maxW = in.real();
      AGV_VxVyW out{};
      const bool everydayStep = everyday({px, py, heading, endHeading, startX, startY, endX, endY,
                                          scale, startSpeed, maxSpeed, endSpeed, maxW}) &&
                                lineTrackingGlobalsEveryday() &&
                                segmentHasLength(startX, startY, endX, endY) && scale != 0.0;
      timer.time("NewPID3", [&] {
        NewPID3(px, py, heading, 0.0, 0.0, endHeading, startX, startY, endX, endY, scale, &out,
                startSpeed, maxSpeed, endSpeed, maxW);
      });
      if (maxW >= 0) {
        check(std::isnan(out.w) || std::fabs(out.w) <= maxW, "NewPID3 |w| within maxW");
      }
      if (std::fabs(out.vx) < 10.0) {
        check(out.vy == 0.0 && out.w == 0.0, "NewPID3 creeps without corrections");
      }
      if (everydayStep) {
        check(finite({out.vx, out.vy, out.w, VxMax}), "NewPID3 finite from everyday values");
      }
      break;
    }
    case 12:
    case 13: {
      const double start = in.real(), current = in.real(), target = in.real(), minSpeed = in.real(),
                   maxSpeed = in.real(), acc = in.real(), dec = in.real(), scale = in.real(),
                   tolerance = in.real();
      const auto turn = in.byte() % 2 ? Rotation : spinTurn;
      double out = 0.0;
      timer.time("Rotation/spinTurn", [&] {
        turn(start, current, target, minSpeed, maxSpeed, acc, dec, scale, tolerance, &out);
      });
      if (everyday({start, current, target, minSpeed, maxSpeed, acc, dec, scale}) && scale != 0.0) {
        check(std::isfinite(out), "Rotation and spinTurn finite from everyday values");
      }
      break;
    }
    case 14: {
      const double vx = in.real(), vy = in.real(), w = in.real(), heading = in.real(),
                   lineDir = in.real();
      const AGV_Pos wheelA = wheel(in), wheelB = wheel(in);
      const WheelVROut before{in.real(), in.real()};
      WheelVROut outA = before;
      WheelVROut outB = before;
      timer.time("VW2WheelsNew",
                 [&] { VW2WheelsNew(vx, vy, w, heading, lineDir, wheelA, wheelB, &outA, &outB); });
      const bool stopped =
          outA.v == 0.0 && outB.v == 0.0 && same(outA.r, before.r) && same(outB.r, before.r);
      const bool mounted = std::fabs(wheelA.x) - 70.0 < 1.0 && std::fabs(wheelA.y) - 195.0 < 1.0;
      if (everyday({vx, vy, w, heading, lineDir, wheelA.x, wheelA.y, wheelB.x, wheelB.y, before.v,
                    before.r}) &&
          steeringGlobalsEveryday()) {
        check(finite({outA.v, outA.r, outB.v, outB.r}), "VW2WheelsNew finite from everyday values");
      }
      if (!mounted) {
        check(stopped, "VW2WheelsNew stops both wheels of a misplaced mounting");
      } else if (steeringRangeHoldsHalfTurn()) {
        for (const WheelVROut* out : {&outA, &outB}) {
          check(stopped || std::isnan(out->r) ||
                    withinRange(out->r, gWheelRotateMin, gWheelRotateMax),
                "VW2WheelsNew steers within a range of at least half a turn, or stops");
        }
      }
      break;
    }
    case 15: {
      WheelVROut outA{in.real(), in.real()};
      WheelVROut outB{in.real(), in.real()};
      const double reference = in.real();
      const bool everydayCall =
          everyday({outA.v, outA.r, outB.v, outB.r, reference}) && steeringGlobalsEveryday();
      timer.time("VW2WheelRestrict", [&] { VW2WheelRestrict(&outA, &outB, reference); });
      if (everydayCall) {
        check(finite({outA.v, outA.r, outB.v, outB.r}),
              "VW2WheelRestrict finite from everyday values");
      }
      checkRestricted(outA);
      checkRestricted(outB);
      break;
    }
    case 16: {
      const double startX = in.real(), startY = in.real(), endX = in.real(), endY = in.real(),
                   offsetA = in.real(), offsetB = in.real();
      timer.time("WheelDirOut", [&] { WheelDirOut(startX, startY, endX, endY, offsetA, offsetB); });
      check(gWheelDir == 1 || gWheelDir == -1, "WheelDirOut sets a travel sign of +1 or -1");
      if (everyday({startX, startY, endX, endY})) {
        check(std::isfinite(gMoveDirInWorld), "WheelDirOut direction finite from everyday values");
      }
      break;
    }
    case 17: {
      const double vx = in.real(), vy = in.real(), w = in.real(), heading = in.real(),
                   lineDir = in.real();
      WheelVROut out{};
      timer.time("VW2Wheels_DS", [&] { out = VW2Wheels_DS(vx, vy, w, heading, lineDir); });
      if (everyday({vx, vy, w, heading, lineDir, gAGVWidthSet})) {
        check(finite({out.v, out.r}), "VW2Wheels_DS finite from everyday values");
      }
      break;
    }
    case 18: {
      const float dtHeading = in.single(), dtX = in.single(), dtY = in.single(),
                  track = in.single();
      const WheelVROut first{in.real(), in.real()}, second{in.real(), in.real()};
      AGV_Pos odometry = pose(in);
      const AGV_Pos before = odometry;
      timer.time("OdemeterOut",
                 [&] { OdemeterOut(dtHeading, dtX, dtY, track, first, second, &odometry); });
      // Any inputs at all: a finite pose stays finite, a step without a track is not taken.
      if (finite({before.x, before.y, before.theta})) {
        check(finite({odometry.x, odometry.y, odometry.theta}), "OdemeterOut keeps a pose finite");
      }
      if (!std::isfinite(track) || track == 0.0f) {
        check(same(odometry.x, before.x) && same(odometry.y, before.y) &&
                  same(odometry.theta, before.theta),
              "OdemeterOut without a track leaves the pose unchanged");
      }
      break;
    }
    case 19: {
      const AGV_Pos cur = pose(in), start = pose(in), end = pose(in);
      const double scale = in.real(), startSpeed = in.real(), maxSpeed = in.real(),
                   endSpeed = in.real(), maxW = in.real();
      const AGV_Pos wheelA = wheel(in), wheelB = wheel(in);
      const double reference = in.real(), tolerance = in.real();
      AGV_VxVyW vel{};
      WheelVROut outA{}, outB{};
      const bool everydayStep = everyday({cur.x,
                                          cur.y,
                                          cur.theta,
                                          start.x,
                                          start.y,
                                          end.x,
                                          end.y,
                                          end.theta,
                                          scale,
                                          startSpeed,
                                          maxSpeed,
                                          endSpeed,
                                          maxW,
                                          wheelA.x,
                                          wheelA.y,
                                          wheelB.x,
                                          wheelB.y,
                                          reference,
                                          gWheelDiameterLSet,
                                          gWheelDiameterRSet,
                                          gReductionRatioSet}) &&
                                lineTrackingGlobalsEveryday() && steeringGlobalsEveryday() &&
                                segmentHasLength(start.x, start.y, end.x, end.y) && scale != 0.0;
      timer.time("LineTraj", [&] {
        LineTraj(cur, start, end, scale, &vel, startSpeed, maxSpeed, endSpeed, maxW, wheelA, wheelB,
                 reference, &outA, &outB, tolerance);
      });
      checkRestricted(outA);
      checkRestricted(outB);
      if (everydayStep) {
        check(finite({vel.vx, vel.vy, vel.w, outA.v, outA.r, outB.v, outB.r, ansXYR.x, ansXYR.y,
                      ansXYR.r, gMoveDirInWorld}),
              "LineTraj finite from everyday values");
      }
      break;
    }
    case 20: {
      const AGV_Pos cur = pose(in), start = pose(in), end = pose(in);
      const double scale = in.real(), startSpeed = in.real(), maxSpeed = in.real(),
                   endSpeed = in.real(), maxW = in.real(), tolerance = in.real();
      AGV_VxVyW vel{};
      WheelVROut out{};
      const bool everydayStep =
          everyday({cur.x, cur.y, cur.theta, start.x, start.y, start.theta, end.x, end.y, end.theta,
                    scale, startSpeed, maxSpeed, endSpeed, maxW, gAGVWidthSet}) &&
          lineTrackingGlobalsEveryday() && segmentHasLength(start.x, start.y, end.x, end.y) &&
          scale != 0.0;
      timer.time("LineTraj_DS", [&] {
        LineTraj_DS(cur, start, end, scale, &vel, startSpeed, maxSpeed, endSpeed, maxW, &out,
                    tolerance);
      });
      if (everydayStep) {
        check(finite({vel.vx, vel.vy, vel.w, out.v, out.r, ansXYR.x, ansXYR.y, ansXYR.r}),
              "LineTraj_DS finite from everyday values");
      }
      break;
    }
    case 21: {
      const AGV_Pos cur = pose(in), start = pose(in), end = pose(in);
      const double scale = in.real(), startSpeed = in.real(), maxSpeed = in.real(),
                   endSpeed = in.real(), ignoredW = in.real(), tolerance = in.real();
      AGV_VxVyW vel{};
      WheelVROut out{};
      timer.time("ArcMove_DS", [&] {
        ArcMove_DS(cur, start, end, scale, &vel, startSpeed, maxSpeed, endSpeed, ignoredW, &out,
                   tolerance);
      });
      // Any curvature, zero included: the forward and wheel speeds are finite whenever the turn
      // rate is; the turn rate follows the profile, so a zero scale is named.
      if (everyday({cur.theta, start.x, start.y, start.theta, end.x, end.y, end.theta, scale,
                    startSpeed, maxSpeed, endSpeed, WCtrlStru.value[0], WCtrlStru.value[1],
                    gAGVWidthSet}) &&
          scale != 0.0) {
        check(finite({vel.vx, vel.w, out.v, out.r}), "ArcMove_DS finite from everyday values");
      }
      break;
    }
    case 22: {
      const double curX = in.real(), curY = in.real(), ignored = in.real(), targetX = in.real(),
                   targetY = in.real(), targetHeading = in.real(), holdHeading = in.real();
      const int type = static_cast<std::int8_t>(in.byte());
      const int kind = static_cast<std::int8_t>(in.byte());
      const int flagBefore = static_cast<std::int8_t>(in.byte());
      int flag = flagBefore;
      PreMoveOut result{};
      timer.time("PreMove", [&] {
        result = PreMove(curX, curY, ignored, targetX, targetY, targetHeading, holdHeading, type,
                         kind, &flag);
      });
      check(result.type == 0 || result.type == 1 || result.type == 5,
            "PreMove answers type 0, 1 or 5");
      check(flag == flagBefore || flag == 1, "PreMove only ever sets the done flag to 1");
      if (everyday({curX, curY, targetX, targetY, targetHeading, holdHeading})) {
        check(finite({result.target.x, result.target.y, result.target.theta}),
              "PreMove finite from everyday values");
      }
      break;
    }
    case 23:
      timer.time("PIDInit0", [] { PIDInit0(); });
      break;
    case 24:
      timer.time("ParameterConfig", [] { ParameterConfig(ParameterSet{}); });
      break;
    case 25: {
      const double width = in.real();
      timer.time("AGVMechanicParaConfig", [&] {
        AGVMechanicParaConfig(AGVMechanicParameter{width, 0.0, 0.0, 0.0});
      });
      check(same(gAGVWidthSet, width), "AGVMechanicParaConfig stores the width");
      break;
    }
    default:
      setGlobal(in);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::withinBudget([&](fuzz::CallTimer& timer) {
    restoreLoadValues();
    Input in(data, size);
    for (int calls = 0; calls < kMostCallsPerRun && !in.empty(); ++calls) {
      callOne(in, timer);
    }
  });
  return 0;
}
