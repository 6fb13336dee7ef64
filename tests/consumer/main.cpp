// Drives the installed library through its public headers, as a host's control loop does: one
// straight path to a goal pose, a simulated vehicle that follows each command for one period, and
// a toolkit function. Exits 0 when the run finishes within 0.05 m and 5 degrees of the goal and
// the toolkit answers as expected.
#include <trelvo/trelvo.hpp>

#include <cmath>
#include <cstdio>

namespace {

geometry_msgs::msg::PoseStamped poseAt(double x, double y, double heading) {
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.z = std::sin(heading / 2);
  pose.pose.orientation.w = std::cos(heading / 2);
  return pose;
}

}  // namespace

int main() {
  constexpr double kPeriod = 0.05;          // s
  double x = 0.0, y = 0.0, heading = M_PI;  // the vehicle starts facing away from the goal
  nav_msgs::msg::Path path;
  path.poses = {poseAt(x, y, heading), poseAt(2.0, 1.0, M_PI / 2)};  // start, then the goal pose

  Controller controller;           // sets the defaults and the process-wide PID gains
  controller.setStraightCB(path);  // first pose: the start; last: the goal and its heading
  geometry_msgs::msg::Twist cmd;
  bool finished = false;
  for (int cycle = 0; cycle < 20000 && !finished; ++cycle) {  // once per control cycle
    finished = controller.getVelocityCommands(poseAt(x, y, heading), cmd);
    if (finished) {
      cmd = controller.cmdVel;  // the finishing cycle stores a standstill: send that
    }
    heading += cmd.angular.z * kPeriod;  // the vehicle follows the command for one period
    x += cmd.linear.x * std::cos(heading) * kPeriod;
    y += cmd.linear.x * std::sin(heading) * kPeriod;
  }
  controller.init();  // before the next run, then hand over the next path

  const double miss = std::hypot(x - 2.0, y - 1.0);
  const double headingMiss = std::fabs(std::remainder(heading - M_PI / 2, 2 * M_PI));
  const bool ok = finished && miss <= 0.05 && headingMiss <= 5 * M_PI / 180 &&
                  struPIDY.kp == 0.5f && gWheelDir == 1 &&
                  controller.getDistance(0, 0, 3, 4) == 5.0;
  std::printf("consumer: %s, %.3f m and %.1f deg from the goal\n", ok ? "ok" : "unexpected values",
              miss, headingMiss * 180 / M_PI);
  return ok ? 0 : 1;
}
