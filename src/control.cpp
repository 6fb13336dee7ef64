// The path-following controller: one call of compulateVel is one control cycle of a three-state
// machine (first turn, line move, final turn).
//
// Its debug lines are part of what hosts and operators see: in the journal each one carries
// CODE_FILE "./src/control.cpp" and CODE_FUNC "compulateVel", whichever step writes it, and
// tools filter on both. So this file keeps its name, and the steps below log through
// CONTROLLER_LOG_DEBUG, which names compulateVel, the cycle's entry, as the source function.

#include "trelvo/controller.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <tf2/LinearMath/Matrix3x3.h>
#include <tf2/LinearMath/Quaternion.h>

#include "angle_constants.hpp"
#include "control_messages.hpp"
#include "trelvo/logger.hpp"

#define CONTROLLER_LOG_DEBUG(...) \
  tovrek::logDebugLine(spdlog::source_loc{__FILE__, __LINE__, "compulateVel"}, __VA_ARGS__)

namespace {

constexpr double kLookAheadDistance = 0.5;      // m
constexpr useconds_t kZeroCommandPause = 2000;  // us, before each of the five zero stores
constexpr int kZeroCommandRepeats = 5;

constexpr double kFirstTurnTolerance = 0.08726646259971647;  // rad, 5 degrees
constexpr double kFinalTurnTolerance = 0.05235987755982988;  // rad, 3 degrees

// Distance-based trapezoid profiles: slopes per unit of progress (divided by kProfileScale) and
// speeds. Turns run on the heading (rad/s), the line move on the distance covered (m/s).
struct SpeedProfile {
  double accSlope;
  double decSlope;
  double startSpeed;
  double maxSpeed;
  double endSpeed;
};
constexpr SpeedProfile kFirstTurnProfile{0.1, -0.1, 0.25, 1.0, 0.2};
constexpr SpeedProfile kFinalTurnProfile{0.08, -0.08, 0.2, 0.9, 0.2};
constexpr SpeedProfile kLineProfile{0.03, -0.03, 0.1, 0.4, 0.1};
constexpr double kProfileScale = 0.05;

constexpr double kCommandLimit = 0.5;  // m/s and rad/s, on the line move's command
// The turns command half the profile speed: at most 0.5 rad/s first, 0.45 rad/s at the end.
constexpr double kTurnRateShare = 0.5;

// A position beyond any map frame is a corrupted message. Far beyond it, the line move's
// arithmetic would no longer see the vehicle move (at 1e20 m a double steps by 16 km).
constexpr double kLargestCoordinate = 1e9;  // m

// Before the first path both points lie at the origin, where construction puts them: a path from
// the origin to the origin cannot be told from no path, and drives nothing.
bool hasNoPath(const Controller& c) {
  return c.startPoint.x == 0.0 && c.startPoint.y == 0.0 && c.endPoint.x == 0.0 &&
         c.endPoint.y == 0.0;
}

double profileSpeed(const SpeedProfile& profile, double length, double progress) {
  return TrapezoidV(0.0, length, progress, profile.accSlope, profile.decSlope, profile.startSpeed,
                    profile.maxSpeed, profile.endSpeed, kProfileScale);
}

// Progress through a turn is how far |e| has come down from the error the turn started with.
double turnSpeed(const SpeedProfile& profile, double startError, double error) {
  return profileSpeed(profile, std::fabs(startError), std::fabs(startError) - std::fabs(error));
}

double degrees(double radians) {
  return radians / kPi * 180;
}

bool isUsablePosition(double x, double y) {
  return std::isfinite(x) && std::isfinite(y) && std::fabs(x) <= kLargestCoordinate &&
         std::fabs(y) <= kLargestCoordinate;
}

bool isFiniteOrientation(const geometry_msgs::msg::Quaternion& q) {
  return std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

bool isUsablePose(const geometry_msgs::msg::Pose& pose) {
  return isUsablePosition(pose.position.x, pose.position.y) &&
         isFiniteOrientation(pose.orientation);
}

// Yaw of an orientation by tf2's getRPY rule (first solution, 0 at the pitch singularity). A
// quaternion of length zero has no rotation and reads as yaw 0. NaN where tf2's arithmetic fails:
// a non-finite component, or a length so small that its square underflows.
double tf2Yaw(const geometry_msgs::msg::Quaternion& q) {
  if (q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w == 0.0) {
    return 0.0;
  }
  double roll = 0.0;
  double pitch = 0.0;
  double yaw = 0.0;
  tf2::Matrix3x3(tf2::Quaternion(q.x, q.y, q.z, q.w)).getRPY(roll, pitch, yaw);
  return yaw;
}

// The vehicle's heading is always a number: 0 where tf2 has none.
double headingOf(const geometry_msgs::msg::Quaternion& q) {
  const double yaw = tf2Yaw(q);
  return std::isfinite(yaw) ? yaw : 0.0;
}

// The ends of a path the controller can drive: usable start and goal positions, and a finite goal
// orientation (whose yaw the caller still checks).
bool hasUsableEnds(const nav_msgs::msg::Path& path) {
  if (path.poses.empty()) {
    return false;
  }
  const auto& start = path.poses.front().pose.position;
  const auto& goal = path.poses.back().pose;
  return isUsablePosition(start.x, start.y) && std::isfinite(start.z) &&
         isUsablePosition(goal.position.x, goal.position.y) && std::isfinite(goal.position.z) &&
         isFiniteOrientation(goal.orientation);
}

bool isFiniteDeviation(const DeltaXYR& deviation) {
  return std::isfinite(deviation.x) && std::isfinite(deviation.y) && std::isfinite(deviation.r);
}

// A state's cycle count stops at the largest int instead of overflowing into negative counts
// (after some 248 days in one state at 100 Hz).
void countCycle(int& coutt) {
  if (coutt < std::numeric_limits<int>::max()) {
    ++coutt;
  }
}

// ---- Turns ------------------------------------------------------------------------------------

// Turn bookkeeping at the start of a turn towards `target` (normalised by the caller): the error
// the turn starts from, and its direction, counter-clockwise when the heading lags the target.
void beginTurn(Controller& c, double target) {
  c.currentPose.theta = NormalizationAngle(c.currentPose.theta);
  const double e0 = NormalizationAngle(c.currentPose.theta - target);
  c.angleErrorRotate = e0;
  c.angleErrorRotateLast = e0;
  c.rotateDir = e0 < 0 ? 1 : -1;
}

// What makes the first turn and the final turn differ.
struct TurnRule {
  SpeedProfile profile;
  double tolerance;  // rad: within it the turn is done
  // The first turn logs its progress before the completion test, also in the cycle that ends it;
  // the final turn only in the cycles that go on.
  bool logsProgressBeforeTest;
  int nextStep;
  bool endsRun;
  void (*logProgress)(const Controller&, double wc, double e);
  void (*logDone)(const Controller&, double e);
};

void logFirstTurnProgress(const Controller& c, double wc, double e) {
  CONTROLLER_LOG_DEBUG(kFirstTurnProgressMessage, degrees(c.angleErrorRotate),
                       degrees(c.currentPose.theta), degrees(c.lineYaw), wc, e,
                       c.angleErrorRotateLast);
}

void logFirstTurnDone(const Controller& c, double e) {
  CONTROLLER_LOG_DEBUG(kFirstTurnDoneMessage, c.isNearPoint, e);
}

void logFinalTurnProgress(const Controller& c, double wc, double e) {
  CONTROLLER_LOG_DEBUG(kFinalTurnProgressMessage, degrees(c.angleErrorRotate),
                       degrees(c.currentPose.theta), degrees(c.goal_angle), wc, e,
                       c.angleErrorRotateLast);
}

void logFinalTurnDone(const Controller& c, double e) {
  CONTROLLER_LOG_DEBUG(kFinalTurnDoneMessage, e, c.angleErrorRotateLast);
}

const TurnRule kFirstTurnRule{kFirstTurnProfile,
                              kFirstTurnTolerance,
                              /*logsProgressBeforeTest=*/true,
                              /*nextStep=*/Controller::kLineMove,
                              /*endsRun=*/false,
                              logFirstTurnProgress,
                              logFirstTurnDone};
const TurnRule kFinalTurnRule{kFinalTurnProfile,
                              kFinalTurnTolerance,
                              /*logsProgressBeforeTest=*/false,
                              /*nextStep=*/Controller::kFirstTurn,
                              /*endsRun=*/true,
                              logFinalTurnProgress,
                              logFinalTurnDone};

// One cycle of a turn on the spot with heading error e: done within the tolerance, or when e
// changed sign near the target (the vehicle turned through it since the last cycle; a jump
// across the seam at +-180 degrees, heading noise when turning around, is not a sign change that
// counts). Returns true when the turn is done and ends the run.
bool turnCycle(Controller& c, const TurnRule& rule, double e) {
  const double wc = c.rotateDir * turnSpeed(rule.profile, c.angleErrorRotate, e);
  if (rule.logsProgressBeforeTest) {
    rule.logProgress(c, wc, e);
  }
  const bool done =
      std::fabs(e) < rule.tolerance || (e * c.angleErrorRotateLast < 0 && std::fabs(e) < kHalfPi);
  if (done) {
    rule.logDone(c, e);
    c.PublishZeroVW();
    c.step = rule.nextStep;
    c.coutt = 1;
  } else {
    if (!rule.logsProgressBeforeTest) {
      rule.logProgress(c, wc, e);
    }
    c.velPublisher(0.0, kTurnRateShare * wc);
    countCycle(c.coutt);
  }
  c.angleErrorRotateLast = e;
  return done && rule.endsRun;
}

// Start of a run: the line to follow begins where the vehicle stands, aimed at the goal point.
// A vehicle already within the station box goes straight to the final turn; returns true then.
bool startRun(Controller& c) {
  const double x = c.currentPose.x;
  const double y = c.currentPose.y;
  const double dx = std::fabs(c.endPoint.x - x);
  const double dy = std::fabs(c.endPoint.y - y);
  c.startPose = {x, y};
  c.lineYaw = NormalizationAngle(std::atan2(c.endPoint.y - y, c.endPoint.x - x));
  beginTurn(c, c.lineYaw);
  c.isNearPoint = dx < c.stationToleranceX && dy < c.stationToleranceY;
  if (c.isNearPoint) {
    CONTROLLER_LOG_DEBUG(kNearStationMessage, x, y, c.endPoint.x, c.endPoint.y);
    c.step = Controller::kFinalTurn;
    return true;
  }
  CONTROLLER_LOG_DEBUG(kNotNearStationMessage, x, y, c.endPoint.x, c.endPoint.y, dx, dy);
  return false;
}

bool firstTurnStep(Controller& c) {
  if (c.coutt == 0 && startRun(c)) {
    return false;
  }
  return turnCycle(c, kFirstTurnRule, NormalizationAngle(c.currentPose.theta - c.lineYaw));
}

bool finalTurnStep(Controller& c) {
  // The error is taken before the set-up normalises the heading and the goal heading.
  const double e = NormalizationAngle(c.currentPose.theta - c.goal_angle);
  if (c.coutt == 0) {
    c.goal_angle = NormalizationAngle(c.goal_angle);
    beginTurn(c, c.goal_angle);
  }
  return turnCycle(c, kFinalTurnRule, e);
}

// ---- Line move --------------------------------------------------------------------------------

void endLineMove(Controller& c) {
  c.PublishZeroVW();
  const DeltaXYR& d = c.lineDelta;
  CONTROLLER_LOG_DEBUG(kLineDoneMessage, d.x, d.y, std::pow(d.x * d.x + d.y * d.y, 0.5), c.coutt,
                       c.isNearPoint);
  c.step = Controller::kFinalTurn;
  c.coutt = 0;
}

// The look-ahead point and the direction to the goal, published for the host, and the deviation
// from the followed line startPose -> endPoint. Returns the length of that line.
double measureLine(Controller& c) {
  double start[2] = {c.startPoint.x, c.startPoint.y};
  double end[2] = {c.endPoint.x, c.endPoint.y};
  double here[2] = {c.currentPose.x, c.currentPose.y};
  c.getNextTargetPoint(start, end, here);
  c.targetPoint = c.nextTargetPoint;
  c.headingToGoal = std::atan2(c.endPoint.y - c.currentPose.y, c.endPoint.x - c.currentPose.x);
  CalLineDelta(c.currentPose.x, c.currentPose.y, c.currentPose.theta, c.startPose.x, c.startPose.y,
               c.endPoint.x, c.endPoint.y, c.headingToGoal, &c.lineDelta);
  CONTROLLER_LOG_DEBUG(kLineMessage, c.startPose.x, c.startPose.y, c.endPoint.x, c.endPoint.y);
  CONTROLLER_LOG_DEBUG(kDeviationMessage, c.lineDelta.x, c.lineDelta.y, degrees(c.lineDelta.r));
  return std::hypot(c.startPose.x - c.endPoint.x, c.startPose.y - c.endPoint.y);
}

bool lineMoveStep(Controller& c) {
  if (c.coutt == 1) {
    // The followed line starts where the line move begins; no arrival on its first cycle.
    c.lineDelta.x = -100.0;
    c.startPose = {c.currentPose.x, c.currentPose.y};
  }
  // Arrival is judged on the deviation measured in the previous cycle.
  if (-c.lineDelta.x <= c.lineEndTolerance) {
    endLineMove(c);
    return false;
  }
  const double length = measureLine(c);
  // A line too short to give a direction (it ends where it starts) has no finite deviation: the
  // vehicle is at its end. A NaN must not reach the process-wide PID records, whose sums would
  // keep it until PIDInit0.
  if (!isFiniteDeviation(c.lineDelta)) {
    endLineMove(c);
    return false;
  }
  if (std::fabs(c.lineDelta.r) > kHalfPi) {
    // Facing away from the line (a new path whose goal lies behind the vehicle): the heading
    // correction flips sign at +-180 degrees and would never turn the vehicle round. Stop and
    // start over with a turn on the spot towards the goal.
    c.PublishZeroVW();
    c.step = Controller::kFirstTurn;
    c.coutt = 0;
    return false;
  }
  AGV_VxVyW correction;
  mvRun(c.lineDelta, correction);
  const double v = fSat(std::fabs(profileSpeed(kLineProfile, length, length + c.lineDelta.x)),
                        -kCommandLimit, kCommandLimit);
  // Cross-track and heading corrections add up into one turn rate.
  const double w = fSat(correction.vy + correction.w, -kCommandLimit, kCommandLimit);
  c.velPublisher(v, w);
  countCycle(c.coutt);
  return false;
}

}  // namespace

Controller::Controller() {
  isActive = false;
  PIDInit0();
  isActive = true;
}

void Controller::init() {
  step = kFirstTurn;
  coutt = 0;
  PIDInit0();
}

void Controller::velPublisher(double v, double w) {
  // A NaN or infinite speed must never reach the motor drivers.
  const bool finite = std::isfinite(v) && std::isfinite(w);
  cmdVel.linear.x = finite ? v : 0.0;
  cmdVel.angular.z = finite ? w : 0.0;
}

void Controller::PublishZeroVW() {
  for (int i = 0; i < kZeroCommandRepeats; ++i) {
    usleep(kZeroCommandPause);
    velPublisher(0.0, 0.0);
  }
}

double Controller::getDistance(Point& a, Point& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y));
}

double Controller::getDistance(double x1, double y1, double x2, double y2) {
  return std::sqrt((x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2));
}

void Controller::setStraightCB(const Path& path) {
  if (!hasUsableEnds(path)) {
    return;
  }
  const double goalYaw = tf2Yaw(path.poses.back().pose.orientation);
  if (!std::isfinite(goalYaw)) {
    return;  // an orientation whose squared length underflows has no yaw
  }
  startPoint = path.poses.front().pose.position;
  endPoint = path.poses.back().pose.position;
  goal_angle = goalYaw;
}

void Controller::getstraightCB(const Path& path) {
  setStraightCB(path);
}

int Controller::getNextTargetPoint(double* start, double* end, double* current) {
  const double sx = start[0], sy = start[1];
  const double ex = end[0], ey = end[1];
  const double px = current[0], py = current[1];
  PlanarPoint target{0.0, 0.0};

  if (ex == sx) {
    target = sy > ey ? PlanarPoint{ex, std::max(ey, py - kLookAheadDistance)}
                     : PlanarPoint{ex, std::min(ey, py + kLookAheadDistance)};
  } else if (ey == sy) {
    target = sx > ex ? PlanarPoint{std::max(ex, px - kLookAheadDistance), ey}
                     : PlanarPoint{std::min(ex, px + kLookAheadDistance), ey};
  } else if (ex > sx) {
    // Oblique travel towards increasing x aims straight at the goal.
    target = {ex, ey};
  } else if (ex < sx) {
    const double k = (ey - sy) / (ex - sx);
    // The foot F of the perpendicular from P onto the line y = ey + k (x - ex): the line through P
    // with slope -1/k, y = py - (x - px) / k, meets it where
    //   ey + k (x - ex) = py - (x - px) / k  <=>  x (k + 1/k) = py - ey + k ex + px / k.
    const double footX = (py - ey + k * ex + px / k) / (1 / k + k);
    // Travel is towards decreasing x: the look-ahead lies |0.5 cos(atan k)| further left.
    const double aheadX = footX - std::fabs(kLookAheadDistance * std::cos(std::atan(k)));
    target = ex >= aheadX ? PlanarPoint{ex, ey} : PlanarPoint{aheadX, ey + k * (aheadX - ex)};
  }
  nextTargetPoint = target;
  return 0;
}

bool Controller::getVelocityCommands(PoseStamped pose, Twist& cmd) {
  cmd = cmdVel;
  return compulateVel(pose);
}

bool Controller::compulateVel(PoseStamped pose) {
  if (!isActive) {
    return false;
  }
  if (!isUsablePose(pose.pose)) {
    velPublisher(0.0, 0.0);
    return false;
  }
  currentPose = {pose.pose.position.x, pose.pose.position.y, headingOf(pose.pose.orientation)};
  // (-1, -1) marks a cycle without a look-ahead point; only the line move publishes one.
  targetPoint = {-1.0, -1.0};
  if (hasNoPath(*this)) {
    return false;
  }

  CONTROLLER_LOG_DEBUG(kStepMessage, step, coutt);
  CONTROLLER_LOG_DEBUG(kPathMessage, startPoint.x, startPoint.y, endPoint.x, endPoint.y,
                       goal_angle);
  switch (step) {
    case kFirstTurn:
      return firstTurnStep(*this);
    case kLineMove:
      return lineMoveStep(*this);
    default:  // kFinalTurn, and any other value
      return finalTurnStep(*this);
  }
}
