// Drives a Controller through a scripted run so that a test can read its debug lines.
//
//   controller_trace X0,Y0,X1,Y1,QZ,QW  X,Y,QZ,QW ...
//
// The first argument is the path (start, goal, goal orientation about z); each further argument
// is the pose of one cycle. A cycle that finishes the run prints "finished" after its lines.

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "trelvo/controller.hpp"

namespace {

std::vector<double> numbers(const std::string& text) {
  std::vector<double> values;
  std::istringstream in(text);
  for (std::string field; std::getline(in, field, ',');) {
    values.push_back(std::stod(field));
  }
  return values;
}

geometry_msgs::msg::PoseStamped pose(double x, double y, double qz, double qw) {
  geometry_msgs::msg::PoseStamped p;
  p.pose.position.x = x;
  p.pose.position.y = y;
  p.pose.orientation.z = qz;
  p.pose.orientation.w = qw;
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: controller_trace X0,Y0,X1,Y1,QZ,QW [X,Y,QZ,QW ...]\n", stderr);
    return 2;
  }
  const auto path = numbers(argv[1]);
  nav_msgs::msg::Path message;
  message.poses.push_back(pose(path.at(0), path.at(1), 0, 1));
  message.poses.push_back(pose(path.at(2), path.at(3), path.at(4), path.at(5)));

  Controller controller;
  controller.setStraightCB(message);
  geometry_msgs::msg::Twist cmd;
  for (int i = 2; i < argc; ++i) {
    const auto p = numbers(argv[i]);
    if (controller.getVelocityCommands(pose(p.at(0), p.at(1), p.at(2), p.at(3)), cmd)) {
      std::fflush(stdout);
      std::puts("finished");
    }
  }
  return 0;
}
