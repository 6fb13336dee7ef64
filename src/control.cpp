#include "trelvo/controller.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <tf2/LinearMath/Matrix3x3.h>
#include <tf2/LinearMath/Quaternion.h>

#include "trelvo/logger.hpp"

namespace {

constexpr double kLookAheadDistance = 0.5;      // m
constexpr useconds_t kZeroCommandPause = 2000;  // us, before each of the five zero stores
constexpr int kZeroCommandRepeats = 5;

constexpr int kFirstTurn = 0;
constexpr int kLineMove = 1;
constexpr int kFinalTurn = 2;

constexpr double kFirstTurnTolerance = 0.08726646259971647;  // rad, 5 degrees
constexpr double kFinalTurnTolerance = 0.05235987755982988;  // rad, 3 degrees
constexpr double kQuarterTurn = M_PI / 2;                    // rad

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

double profileSpeed(const SpeedProfile& profile, double length, double progress) {
  return TrapezoidV(0.0, length, progress, profile.accSlope, profile.decSlope, profile.startSpeed,
                    profile.maxSpeed, profile.endSpeed, kProfileScale);
}

// Progress through a turn is how far |e| has come down from the error the turn started with.
double turnSpeed(const SpeedProfile& profile, double startError, double error) {
  return profileSpeed(profile, std::fabs(startError), std::fabs(startError) - std::fabs(error));
}

double degrees(double radians) {
  return radians / M_PI * 180;
}

// A position beyond any map frame is a corrupted message. Far beyond it, the line move's
// arithmetic would no longer see the vehicle move (at 1e20 m a double steps by 16 km).
constexpr double kLargestCoordinate = 1e9;  // m

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

// A path is taken only with usable start and goal positions and a goal heading.
bool isUsablePath(const nav_msgs::msg::Path& path) {
  if (path.poses.empty()) {
    return false;
  }
  const auto& start = path.poses.front().pose.position;
  const auto& goal = path.poses.back().pose;
  return isUsablePosition(start.x, start.y) && std::isfinite(start.z) &&
         isUsablePosition(goal.position.x, goal.position.y) && std::isfinite(goal.position.z) &&
         isFiniteOrientation(goal.orientation) && std::isfinite(tf2Yaw(goal.orientation));
}

bool isFiniteDeviation(const DeltaXYR& deviation) {
  return std::isfinite(deviation.x) && std::isfinite(deviation.y) && std::isfinite(deviation.r);
}

// Turn bookkeeping at the start of a turn towards `target` (lineYaw or goal_angle): the error the
// turn starts from, and its direction, counter-clockwise when the heading lags the target.
void beginTurn(Controller& controller, double& target) {
  controller.currentPose.theta = NormalizationAngle(controller.currentPose.theta);
  target = NormalizationAngle(target);
  const double e0 = NormalizationAngle(controller.currentPose.theta - target);
  controller.angleErrorRotate = e0;
  controller.angleErrorRotateLast = e0;
  controller.rotateDir = e0 < 0 ? 1 : -1;
}

// A state's cycle count stops at the largest int instead of overflowing into negative counts
// (after some 248 days in one state at 100 Hz).
void countCycle(int& coutt) {
  if (coutt < std::numeric_limits<int>::max()) {
    ++coutt;
  }
}

}  // namespace

Controller::Controller() {
  isActive = false;
  PIDInit0();
  isActive = true;
}

void Controller::init() {
  step = 0;
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
  if (!isUsablePath(path)) {
    return;
  }
  startPoint = path.poses.front().pose.position;
  endPoint = path.poses.back().pose.position;
  goal_angle = tf2Yaw(path.poses.back().pose.orientation);
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
    const double footX = (py - ey + k * ex + px / k) / (1 / k + k);
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

// One control cycle. The state sections log from here, so that every controller line carries
// this function as its source location.
bool Controller::compulateVel(PoseStamped pose) {
  if (!isActive) {
    return false;
  }
  if (!isUsablePose(pose.pose)) {
    velPublisher(0.0, 0.0);
    return false;
  }
  const double x = pose.pose.position.x;
  const double y = pose.pose.position.y;
  currentPose = {x, y, headingOf(pose.pose.orientation)};
  targetPoint = {-1.0, -1.0};
  if (startPoint.x == 0.0 && startPoint.y == 0.0 && endPoint.x == 0.0 && endPoint.y == 0.0) {
    return false;
  }

  LOG_DEBUG("####step: {}, coutt: {}", step, coutt);
  LOG_DEBUG(
      "pseCallback_startPointX: {:.3f}, startPointy: {:.3f}, endPointX: {:.3f}, endPointy: "
      "{:.3f}, goal_angle: {}",
      startPoint.x, startPoint.y, endPoint.x, endPoint.y, goal_angle);

  if (step == kFirstTurn) {
    if (coutt == 0) {
      // Start of a run: the line to follow begins where the vehicle stands.
      startPose = {x, y};
      lineYaw = std::atan2(endPoint.y - y, endPoint.x - x);
      beginTurn(*this, lineYaw);
      if (std::fabs(endPoint.x - x) < stationToleranceX &&
          std::fabs(endPoint.y - y) < stationToleranceY) {
        LOG_DEBUG("near station-current pose: {:.3f}, {:.3f}, EndPoint: {:.3f}, {:.3f}", x, y,
                  endPoint.x, endPoint.y);
        step = kFinalTurn;
        isNearPoint = true;
        return false;
      }
      LOG_DEBUG(
          "NO, near station-current pose: {:.3f}, {:.3f}, EndPoint: {:.3f}, {:.3f}, X_dis: "
          "{:.3f}, Y_dis: {:.3f}",
          x, y, endPoint.x, endPoint.y, std::fabs(endPoint.x - x), std::fabs(endPoint.y - y));
      isNearPoint = false;
    }

    // First turn: face the goal point.
    const double e = NormalizationAngle(currentPose.theta - lineYaw);
    const double wc = rotateDir * turnSpeed(kFirstTurnProfile, angleErrorRotate, e);
    LOG_DEBUG(
        "AngleError_Rotate: {}, Angle_current: {}, nvgi-yaw_degree: {}, wc: {}, "
        "angle_error_current_last: {}, {}",
        degrees(angleErrorRotate), degrees(currentPose.theta), degrees(lineYaw), wc, e,
        angleErrorRotateLast);
    // A sign change near the target heading means the vehicle turned through it since the last
    // cycle; a jump across the seam at +-180 (heading noise when turning around) does not.
    if (std::fabs(e) < kFirstTurnTolerance ||
        (e * angleErrorRotateLast < 0 && std::fabs(e) < kQuarterTurn)) {
      LOG_DEBUG("step1urn successful, isNearPoint: {}, dAngleErrorRotate_cerrent: {}", isNearPoint,
                e);
      PublishZeroVW();
      step = kLineMove;
      coutt = 1;
      angleErrorRotateLast = e;
      return false;
    }
    velPublisher(0.0, kTurnRateShare * wc);
    countCycle(coutt);
    angleErrorRotateLast = e;
    return false;
  }

  if (step == kLineMove) {
    if (coutt == 1) {
      // The followed line starts where the line move begins; no arrival on its first cycle.
      lineDelta.x = -100.0;
      startPose = {x, y};
    }
    // Arrival is judged on the deviation measured in the previous cycle, or on a line too short
    // to give a direction (it ends where it starts), whose deviation is not a number.
    bool arrived = -lineDelta.x <= lineEndTolerance;
    if (!arrived) {
      double start[2] = {startPoint.x, startPoint.y};
      double end[2] = {endPoint.x, endPoint.y};
      double current[2] = {x, y};
      getNextTargetPoint(start, end, current);
      targetPoint = nextTargetPoint;
      headingToGoal = std::atan2(endPoint.y - currentPose.y, endPoint.x - currentPose.x);
      CalLineDelta(currentPose.x, currentPose.y, currentPose.theta, startPose.x, startPose.y,
                   endPoint.x, endPoint.y, headingToGoal, &lineDelta);
      const double length = std::hypot(startPose.x - endPoint.x, startPose.y - endPoint.y);
      LOG_DEBUG("startPose_x: {}, startPose_Y: {}, endPointX: {}, endPointy: {}", startPose.x,
                startPose.y, endPoint.x, endPoint.y);
      LOG_DEBUG("pDeltaX: {}, pDeltaY: {}, pDeltaR_degree: {:.3f}", lineDelta.x, lineDelta.y,
                degrees(lineDelta.r));
      // The PID records are process-wide: a NaN would stay in their sums until PIDInit0.
      arrived = !isFiniteDeviation(lineDelta);
      if (!arrived && std::fabs(lineDelta.r) > kQuarterTurn) {
        // Facing away from the line (a new path whose goal lies behind the vehicle): the heading
        // correction flips sign at +-180 degrees and would never turn the vehicle round. Stop and
        // start over with a turn on the spot towards the goal.
        PublishZeroVW();
        step = kFirstTurn;
        coutt = 0;
        return false;
      }
      if (!arrived) {
        AGV_VxVyW correction;
        mvRun(lineDelta, correction);
        const double v = fSat(std::fabs(profileSpeed(kLineProfile, length, length + lineDelta.x)),
                              -kCommandLimit, kCommandLimit);
        // Cross-track and heading corrections add up into one turn rate.
        const double w = fSat(correction.vy + correction.w, -kCommandLimit, kCommandLimit);
        velPublisher(v, w);
        countCycle(coutt);
        return false;
      }
    }
    PublishZeroVW();
    LOG_DEBUG(
        "line move successful, DeltaX: {}, DeltaY: {}, station resolution: {}, coutt: {}, "
        "isNearPoint: {}",
        lineDelta.x, lineDelta.y,
        std::pow(lineDelta.x * lineDelta.x + lineDelta.y * lineDelta.y, 0.5), coutt, isNearPoint);
    step = kFinalTurn;
    coutt = 0;
    return false;
  }

  // Final turn: face the goal heading.
  const double e = NormalizationAngle(currentPose.theta - goal_angle);
  if (coutt == 0) {
    beginTurn(*this, goal_angle);
  }
  // Near the goal heading a sign change ends the turn; a jump across the seam at +-180 does not.
  if (std::fabs(e) < kFinalTurnTolerance ||
      (e * angleErrorRotateLast < 0 && std::fabs(e) < kQuarterTurn)) {
    LOG_DEBUG("step2turn successful, angleError: {}, dgAngleErrorRotate_last: {}", e,
              angleErrorRotateLast);
    PublishZeroVW();
    step = kFirstTurn;
    coutt = 1;
    angleErrorRotateLast = e;
    return true;
  }
  const double wc = rotateDir * turnSpeed(kFinalTurnProfile, angleErrorRotate, e);
  LOG_DEBUG(
      "AngleError_Rotate: {}, Angle_current: {}, goal_angle_degree: {}, wc: {}, "
      "angle_error_current_last: {}, {}",
      degrees(angleErrorRotate), degrees(currentPose.theta), degrees(goal_angle), wc, e,
      angleErrorRotateLast);
  velPublisher(0.0, kTurnRateShare * wc);
  countCycle(coutt);
  angleErrorRotateLast = e;
  return false;
}
