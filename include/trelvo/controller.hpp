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
// three-state machine: turn on the spot to face the goal point (step 0), drive the straight line
// with a trapezoid speed profile and PID corrections (step 1), turn to the goal heading (step 2).
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

  /// Re-arms the state machine for a new run (step 0, coutt 0) and calls PIDInit0.
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
  /// A line move whose line is too short to give a direction (zero length) counts as arrived.
  bool compulateVel(PoseStamped pose);

  /// Look-ahead point 0.5 m ahead on the line start -> end, never beyond end, into
  /// nextTargetPoint. Each argument points to x then y. Always returns 0.
  int getNextTargetPoint(double* start, double* end, double* current);

  PlanarPoint targetPoint{};
  double headingToGoal = 0.0;
  int step = 0;
  double lineEndTolerance = 0.02;   // m
  double stationToleranceX = 0.05;  // m
  double stationToleranceY = 0.05;  // m
  PlanarPoint nextTargetPoint{0.0, 0.0};
  Point startPoint;
  Point endPoint;
  bool isActive = true;
  PlanarPose currentPose{};
  double goal_angle = 0.0;  // rad
  int coutt = 0;            // cycles in the current state, never above INT_MAX
  DeltaXYR lineDelta{};
  PlanarPoint startPose{0.0, 0.0};
  Twist cmdVel;
  double angleErrorRotate = 0.0;
  double angleErrorRotateLast = 0.0;
  int rotateDir = 1;
  double lineYaw = 0.0;
  bool isNearPoint = false;
};
