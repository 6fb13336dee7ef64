// Drives the installed library through its public headers: a path, a cycle's worth of calls and
// a toolkit function. Exits 0 when everything links and answers as expected.
#include <trelvo/trelvo.hpp>

#include <cstdio>

int main() {
  Controller controller;
  nav_msgs::msg::Path path;
  path.poses.resize(2);
  path.poses.back().pose.position.x = 2.0;
  controller.setStraightCB(path);

  const bool ok = controller.endPoint.x == 2.0 && struPIDY.kp == 0.5f && gWheelDir == 1 &&
                  controller.getDistance(0, 0, 3, 4) == 5.0;
  std::puts(ok ? "consumer: ok" : "consumer: unexpected values");
  return ok ? 0 : 1;
}
