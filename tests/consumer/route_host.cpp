// A host driving a route through the installed route library: an L-shaped path from a planner, a
// simulated vehicle that follows each command for one period, and the events as they come. Exits
// 0 when the vehicle ends within 0.05 m and 5 degrees of the goal, having reached both legs.
#include <trelvo/route.hpp>

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
  constexpr double kPeriod = 0.05;  // s
  nav_msgs::msg::Path path;
  for (int i = 0; i <= 30; ++i) {
    path.poses.push_back(poseAt(i * 0.1, 0.0, 0.0));  // 3 m along x, a pose every 10 cm
  }
  for (int i = 1; i <= 20; ++i) {
    path.poses.push_back(poseAt(3.0, i * 0.1, M_PI / 2));  // then 2 m along y
  }

  trelvo::RouteFollower follower;
  if (follower.receivePath(path) != trelvo::PathReception::Taken) {
    std::puts("route host: the path was not taken");
    return 1;
  }
  double x = 0.0, y = 0.0, heading = 0.0;
  int legsReached = 0;
  bool finished = false;
  for (int cycle = 0; cycle < 20000 && !finished; ++cycle) {
    geometry_msgs::msg::Twist cmd;
    const trelvo::RouteEvent event = follower.cycle(poseAt(x, y, heading), cmd);
    legsReached +=
        event == trelvo::RouteEvent::LegReached || event == trelvo::RouteEvent::RouteFinished;
    finished = event == trelvo::RouteEvent::RouteFinished;
    heading += cmd.angular.z * kPeriod;
    x += cmd.linear.x * std::cos(heading) * kPeriod;
    y += cmd.linear.x * std::sin(heading) * kPeriod;
  }
  const double miss = std::hypot(x - 3.0, y - 2.0);
  const double headingMiss = std::fabs(std::remainder(heading - M_PI / 2, 2 * M_PI));
  const bool ok = finished && legsReached == 2 && miss <= 0.05 && headingMiss <= 5 * M_PI / 180;
  std::printf("route host: %s, %d legs reached, %.3f m and %.1f deg from the goal\n",
              ok ? "ok" : "goal missed", legsReached, miss, headingMiss * 180 / M_PI);
  return ok ? 0 : 1;
}
