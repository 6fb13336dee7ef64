// The node's diagnostics as a monitor reads them: the status's name, level and message for each
// state the node can be in, and its key-values.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "node/diagnostics/node_diagnostics.hpp"

namespace {

using Status = diagnostic_msgs::msg::DiagnosticStatus;

// A node under /robot1 driving leg 2 of 3 with everything in order.
node::NodeStatus driving() {
  node::NodeStatus status;
  status.nameSpace = "robot1";
  status.nodeName = "trelvo_node";
  status.commandTopic = "/robot1/cmd_vel";
  status.poseTopic = "/robot1/odom";
  status.planTopic = "/robot1/plan";
  status.driving = true;
  status.legs = 3;
  status.leg = 2;
  status.state = "line move";
  status.poseAge = 0.04;
  status.poseTimeout = 0.5;
  status.commandSubscribers = 1;
  return status;
}

node::NodeStatus idle() {
  node::NodeStatus status = driving();
  status.driving = false;
  status.legs = 0;
  status.leg = 0;
  status.state = "no route";
  return status;
}

node::NodeStatus finished() {
  node::NodeStatus status = driving();
  status.driving = false;
  status.leg = 4;
  status.state = "route finished";
  return status;
}

template <typename Change>
node::NodeStatus changed(node::NodeStatus status, Change change) {
  change(status);
  return status;
}

TEST(NodeDiagnostics, NamedAsDiagnosticUpdaterNamesANodesTask) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "trelvo_node: route"},
      {"/", "trelvo_node: route"},
      {"robot1", "robot1/trelvo_node: route"},
      {"/robot1/", "robot1/trelvo_node: route"},
      {"fleet/robot_2", "fleet/robot_2/trelvo_node: route"},
  };
  for (const auto& [nameSpace, name] : cases) {
    EXPECT_EQ(node::diagnosticName(nameSpace, "trelvo_node"), name) << nameSpace;
  }
}

struct LevelCase {
  const char* what;
  node::NodeStatus status;
  std::uint8_t level;
  const char* message;
};

TEST(NodeDiagnostics, LevelAndMessageTellTheWorstThatHolds) {
  const std::string told = "/robot1/cmd_vel is subscribed as geometry_msgs/msg/TwistStamped, ...";
  const LevelCase cases[] = {
      {"driving", driving(), Status::OK, "driving leg 2 of 3"},
      {"idle", idle(), Status::OK, "waiting for a route on /robot1/plan"},
      {"a route finished", finished(), Status::OK,
       "route of 3 legs finished; waiting for a route on /robot1/plan"},
      {"a refused path while idle",
       changed(idle(), [](auto& s) { s.pathRefusal = "pose 2 of 2: x = nan is not finite"; }),
       Status::WARN, "path on /robot1/plan refused: pose 2 of 2: x = nan is not finite"},
      {"a refused path after a finish",
       changed(finished(), [](auto& s) { s.pathRefusal = "no transform from map to odom"; }),
       Status::WARN, "path on /robot1/plan refused: no transform from map to odom"},
      {"poses from TF, stale",
       changed(driving(),
               [](auto& s) {
                 s.poseTopic = "TF map -> base_link";
                 s.poseAge = 1.0;
               }),
       Status::WARN,
       "the newest pose from TF map -> base_link is 1.0 s old, beyond the pose timeout of 0.5 s"},
      {"driving without a pose so far", changed(driving(), [](auto& s) { s.poseAge.reset(); }),
       Status::ERROR, "driving a route, but no pose has arrived from /robot1/odom"},
      {"driving without a vehicle", changed(driving(), [](auto& s) { s.commandSubscribers = 0; }),
       Status::ERROR, "driving a route, but nothing subscribes /robot1/cmd_vel"},
      {"both wrong: the pose first",
       changed(driving(),
               [](auto& s) {
                 s.poseAge.reset();
                 s.commandSubscribers = 0;
               }),
       Status::ERROR, "driving a route, but no pose has arrived from /robot1/odom"},
      {"a standing warning",
       changed(driving(),
               [&](auto& s) {
                 s.standingWarnings = {told, "a second"};
               }),
       Status::WARN, told.c_str()},
      {"a stale pose", changed(driving(), [](auto& s) { s.poseAge = 2.26; }), Status::WARN,
       "the newest pose from /robot1/odom is 2.3 s old, beyond the pose timeout of 0.5 s"},
      {"a pose just at the timeout", changed(driving(), [](auto& s) { s.poseAge = 0.5; }),
       Status::OK, "driving leg 2 of 3"},
      {"idle without a pose so far", changed(idle(), [](auto& s) { s.poseAge.reset(); }),
       Status::WARN, "no pose has arrived from /robot1/odom yet"},
      {"idle without a vehicle", changed(idle(), [](auto& s) { s.commandSubscribers = 0; }),
       Status::WARN, "nothing subscribes /robot1/cmd_vel"},
      {"a managed node whose bond formed",
       changed(driving(),
               [](auto& s) {
                 s.lifecycleState = "active";
                 s.bond = "formed";
               }),
       Status::OK, "driving leg 2 of 3"},
      {"a broken bond, before every other fault",
       changed(driving(),
               [](auto& s) {
                 s.lifecycleState = "active";
                 s.bond = "broken";
                 s.poseWriters = {"01.1", "01.2"};
               }),
       Status::ERROR,
       "the bond with the lifecycle manager is broken: the vehicle is stopped until the node is "
       "deactivated and activated again"},
      {"a warning given whose cause has gone",
       changed(driving(), [&](auto& s) { s.lastWarning = told; }), Status::OK,
       "driving leg 2 of 3"},
  };
  for (const auto& c : cases) {
    const Status status = node::diagnosticStatus(c.status);
    EXPECT_EQ(status.level, c.level) << c.what;
    EXPECT_EQ(status.message, c.message) << c.what;
  }
}

std::vector<std::pair<std::string, std::string>> valuesOf(const Status& status) {
  std::vector<std::pair<std::string, std::string>> values;
  for (const auto& value : status.values) {
    values.emplace_back(value.key, value.value);
  }
  return values;
}

TEST(NodeDiagnostics, KeyValuesGiveRouteLegStatePoseAgeSubscribersAndLastWarning) {
  const auto drivingStatus = node::diagnosticStatus(
      changed(driving(), [](auto& s) { s.lastWarning = "the vehicle moved less than 1 cm"; }));
  EXPECT_EQ(drivingStatus.name, "robot1/trelvo_node: route");
  EXPECT_EQ(drivingStatus.hardware_id, "/robot1/cmd_vel");
  EXPECT_EQ(valuesOf(drivingStatus), (std::vector<std::pair<std::string, std::string>>{
                                         {"route", "3 legs"},
                                         {"leg", "2 of 3"},
                                         {"state", "line move"},
                                         {"pose age", "0.04 s"},
                                         {"command subscribers", "1"},
                                         {"last warning", "the vehicle moved less than 1 cm"},
                                         {"speed limit", "none"},
                                     }));

  const auto idleStatus = node::diagnosticStatus(changed(idle(), [](auto& s) {
    s.poseAge.reset();
    s.commandSubscribers = 0;
  }));
  EXPECT_EQ(valuesOf(idleStatus), (std::vector<std::pair<std::string, std::string>>{
                                      {"route", "none"},
                                      {"leg", "none"},
                                      {"state", "no route"},
                                      {"pose age", "no pose so far"},
                                      {"command subscribers", "0"},
                                      {"last warning", "none"},
                                      {"speed limit", "none"},
                                  }));

  const auto oneLeg = node::diagnosticStatus(changed(driving(), [](auto& s) {
    s.legs = 1;
    s.leg = 1;
  }));
  EXPECT_EQ(oneLeg.values.front().value, "1 leg");

  const auto finishedStatus = node::diagnosticStatus(finished());
  EXPECT_EQ(finishedStatus.values[0].value, "3 legs");
  EXPECT_EQ(finishedStatus.values[1].value, "finished");
  EXPECT_EQ(finishedStatus.values[2].value, "route finished");
}

TEST(NodeDiagnostics, TheArrayHoldsTheOneStatusStamped) {
  builtin_interfaces::msg::Time stamp;
  stamp.sec = 1700000000;
  stamp.nanosec = 5;
  const auto array = node::diagnosticArray(driving(), stamp);
  EXPECT_EQ(array.header.stamp, stamp);
  ASSERT_EQ(array.status.size(), 1u);
  EXPECT_EQ(array.status.front(), node::diagnosticStatus(driving()));
}

// Just past the pose timeout is a stale pose; two writers of the pose topic are named and come
// before everything else, since their poses stop the vehicle whatever else holds.
TEST(NodeDiagnostics, APoseJustPastTheTimeoutWarnsAndTwoPoseWritersAreAnError) {
  const std::vector<std::string> writers = {"0110aa", "0220bb"};
  const LevelCase cases[] = {
      {"a pose just past the timeout", changed(driving(), [](auto& s) { s.poseAge = 0.5001; }),
       Status::WARN,
       "the newest pose from /robot1/odom is 0.5 s old, beyond the pose timeout of 0.5 s"},
      {"two pose writers", changed(driving(), [&](auto& s) { s.poseWriters = writers; }),
       Status::ERROR,
       "2 writers publish /robot1/odom (0110aa, 0220bb): stopped, the route held until one "
       "remains"},
      {"two pose writers, no vehicle and a stale pose",
       changed(driving(),
               [&](auto& s) {
                 s.poseWriters = writers;
                 s.commandSubscribers = 0;
                 s.poseAge = 3.0;
               }),
       Status::ERROR,
       "2 writers publish /robot1/odom (0110aa, 0220bb): stopped, the route held until one "
       "remains"},
      {"one pose writer", changed(idle(), [&](auto& s) { s.poseWriters = {writers[0]}; }),
       Status::OK, "waiting for a route on /robot1/plan"},
  };
  for (const auto& c : cases) {
    const Status status = node::diagnosticStatus(c.status);
    EXPECT_EQ(status.level, c.level) << c.what;
    EXPECT_EQ(status.message, c.message) << c.what;
  }
}

TEST(NodeDiagnostics, AManagedNodeShowsItsLifecycleStateBondGoalAndSpeedLimit) {
  const auto managed = node::diagnosticStatus(changed(driving(), [](auto& s) {
    s.speedLimit = "0.2 m/s (50 % of 0.4 m/s)";
    s.lifecycleState = "active";
    s.bond = "formed";
    s.goal = "goal 00112233-4455-6677-8899-aabbccddeeff executing";
  }));
  const auto values = valuesOf(managed);
  ASSERT_GE(values.size(), 4U);
  EXPECT_EQ((std::vector<std::pair<std::string, std::string>>(values.end() - 4, values.end())),
            (std::vector<std::pair<std::string, std::string>>{
                {"speed limit", "0.2 m/s (50 % of 0.4 m/s)"},
                {"lifecycle state", "active"},
                {"bond", "formed"},
                {"follow_path goal", "goal 00112233-4455-6677-8899-aabbccddeeff executing"},
            }));
  // Without --lifecycle there is neither.
  for (const auto& [key, value] : valuesOf(node::diagnosticStatus(driving()))) {
    EXPECT_NE(key, "lifecycle state");
    EXPECT_NE(key, "bond");
  }
}

TEST(NodeDiagnostics, ObstaclesShowTheirZoneNearestPointAndBlockedTimeOnlyWhenOn) {
  const auto guarded = node::diagnosticStatus(changed(driving(), [](auto& s) {
    s.obstacleZone = "stop";
    s.nearestObstacle = "(0.54, 0.00) in the base frame";
    s.blockedFor = "2.5 s";
  }));
  const auto values = valuesOf(guarded);
  ASSERT_GE(values.size(), 3U);
  EXPECT_EQ((std::vector<std::pair<std::string, std::string>>(values.end() - 3, values.end())),
            (std::vector<std::pair<std::string, std::string>>{
                {"obstacle zone", "stop"},
                {"nearest obstacle", "(0.54, 0.00) in the base frame"},
                {"blocked for", "2.5 s"},
            }));
  for (const auto& [key, value] : valuesOf(node::diagnosticStatus(driving()))) {
    EXPECT_NE(key, "obstacle zone");
  }
}

}  // namespace
