#pragma once

// Path-following controller: drives a vehicle along one straight segment to a goal pose.
//
// Usage, once per run:
//   Controller controller;                 // or controller.init() before a further run
//   controller.setStraightCB(path);        // first pose = start, last pose = goal and heading
//   while (!controller.getVelocityCommands(pose, cmd)) { send(cmd); wait_one_cycle(); }
//   send(controller.cmdVel);               // the stop: the finishing call still hands out
//                                          // the last turn command in cmd
//
// Each cycle hands out the command stored by the previous cycle, then runs one step of a
// three-state machine: turn on the spot to face the goal point (kFirstTurn), drive the straight
// line with a trapezoid speed profile and PID corrections (kLineMove), turn to the goal heading
// (kFinalTurn).
// Units: metres, radians, m/s, rad/s; positive turn rate is counter-clockwise.

#include <geometry_msgs/msg/point.hpp>
#include <geometry_msgs/msg/pose_stamped.hpp>
#include <geometry_msgs/msg/twist.hpp>
#include <nav_msgs/msg/path.hpp>

#include "trelvo/export.hpp"
#include "trelvo/motion.hpp"

class TRELVO_API Controller {
 public:
  using Point = geometry_msgs::msg::Point;
  using PoseStamped = geometry_msgs::msg::PoseStamped;
  using Twist = geometry_msgs::msg::Twist;
  using Path = nav_msgs::msg::Path;

  /// Values of `step`: the three states of the machine.
  enum State : int { kFirstTurn = 0, kLineMove = 1, kFinalTurn = 2 };

  struct PlanarPoint {
    double x;
    double y;
  };
  struct PlanarPose {
    double x;
    double y;
    double theta;
  };

  /// Sets the construction values below and resets the process-wide PID records (PIDInit0).
  Controller();

  /// Re-arms the state machine for a new run (kFirstTurn, coutt 0) and calls PIDInit0.
  void init();
  /// Stores the command handed out by the next getVelocityCommands call. A non-finite speed is
  /// never stored: if either value is NaN or infinite, the stored command is zero.
  void velPublisher(double v, double w);
  /// Stores a zero command five times, sleeping 2 ms before each: about 10 ms of blocking.
  void PublishZeroVW();
  /// Planar distance; z is ignored.
  double getDistance(Point& a, Point& b);
  double getDistance(double x1, double y1, double x2, double y2);

  /// Takes the start point, the goal point and the goal heading from a path. A path the controller
  /// cannot drive is not taken and the stored path stays as it was: an empty path, a first or last
  /// position with a non-finite coordinate or x or y beyond 1e9 m, or a goal orientation that is
  /// not finite or has no yaw (its squared length underflows; an all-zero one reads as yaw 0).
  void setStraightCB(const Path& path);
  /// The same operation as setStraightCB under its second exported name.
  void getstraightCB(const Path& path);

  /// Per-cycle entry: copies the stored command into cmd, then runs one cycle. True only on the
  /// cycle in which the final turn completes.
  bool getVelocityCommands(PoseStamped pose, Twist& cmd);
  /// One control cycle of the state machine; true only when the final turn completes.
  /// A pose with a non-finite position or orientation component, or x or y beyond 1e9 m, is not
  /// taken: the cycle stores a zero command, keeps the run state, logs nothing and returns false.
  /// A line move whose line is too short to give a direction (zero length) counts as arrived; one
  /// that finds the vehicle facing away from its line (more than a quarter turn, as after a new
  /// path whose goal lies behind) stops and starts the run over with a turn on the spot.
  bool compulateVel(PoseStamped pose);

  /// Look-ahead point 0.5 m ahead on the line start -> end, never beyond end, into
  /// nextTargetPoint. Each argument points to x then y. Always returns 0.
  int getNextTargetPoint(double* start, double* end, double* current);

  // ---- Members -------------------------------------------------------------------------------
  // All public, in this order, as hosts compiled against the class expect. Marked [host]: the
  // contract with the host, read or set by it (settings, path in, command and state out).
  // Marked [bookkeeping]: the state machine's own working values, public for inspection only;
  // a host that writes them changes the run under way.

  /// [host] Look-ahead point of the current line-move cycle, for display; (-1, -1) in any other
  /// cycle with a usable pose.
  PlanarPoint targetPoint{};
  /// [host] Direction from the vehicle to endPoint (rad), updated in every line-move cycle.
  double headingToGoal = 0.0;
  /// [host] State of the machine: kFirstTurn, kLineMove or kFinalTurn (any other value acts as
  /// kFinalTurn).
  int step = kFirstTurn;
  /// [host] Settings, fixed at construction: the line move ends this far (m) before the goal,
  /// and a run that starts within the station box (m) skips to the final turn.
  double lineEndTolerance = 0.02;
  double stationToleranceX = 0.05;
  double stationToleranceY = 0.05;
  /// [host] Result of the last getNextTargetPoint call.
  PlanarPoint nextTargetPoint{0.0, 0.0};
  /// [host] The path: start and goal position (m), taken from the first and last pose.
  Point startPoint;
  Point endPoint;
  /// [host] While false every cycle returns at once and changes nothing.
  bool isActive = true;
  /// [host] The latest pose taken: position (m) and heading (rad).
  PlanarPose currentPose{};
  /// [host] Goal heading (rad), from the last pose of the path.
  double goal_angle = 0.0;
  /// [bookkeeping] Cycles in the current state, never above INT_MAX; 0 and 1 mark a state's
  /// first cycle.
  int coutt = 0;
  /// [bookkeeping] Deviation from the followed line startPose -> endPoint (CalLineDelta).
  DeltaXYR lineDelta{};
  /// [bookkeeping] Where the followed line starts: the position at the start of the run, and
  /// again where the line move began.
  PlanarPoint startPose{0.0, 0.0};
  /// [host] The command that the next getVelocityCommands call hands out; only linear.x (m/s)
  /// and angular.z (rad/s) are ever set.
  Twist cmdVel;
  /// [bookkeeping] Heading error at the start of the current turn and in its previous cycle
  /// (rad), and its direction (+1 counter-clockwise, -1 clockwise).
  double angleErrorRotate = 0.0;
  double angleErrorRotateLast = 0.0;
  int rotateDir = 1;
  /// [bookkeeping] Direction from startPose to endPoint, the first turn's target (rad).
  double lineYaw = 0.0;
  /// [host] The run started within the station box: no first turn and no line move.
  bool isNearPoint = false;
};
