// The node's frames in-process: TF's transforms in tf2's buffer, paths moved into the frame the
// node drives in, the robot's pose from TF, and the wait of a path for its transform. Expected
// positions are worked out by hand in the comments, not by the code's formula.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include <tf2/LinearMath/Quaternion.h>
#include <tf2/buffer_core.h>

#include "node/frames/frame_buffer.hpp"
#include "node/frames/frame_poses.hpp"
#include "node/frames/path_transform_wait.hpp"

namespace {

using namespace std::chrono_literals;
using node::FrameBuffer;
using Clock = node::PathTransformWait::Clock;

constexpr double kClose = 1e-9;
const double kCos30 = std::sqrt(3.0) / 2.0;

builtin_interfaces::msg::Time stamp(int32_t sec, uint32_t nanosec = 0) {
  builtin_interfaces::msg::Time time;
  time.sec = sec;
  time.nanosec = nanosec;
  return time;
}

geometry_msgs::msg::TransformStamped planar(const std::string& parent, const std::string& child,
                                            double x, double y, double yawDegrees,
                                            builtin_interfaces::msg::Time at = stamp(0)) {
  geometry_msgs::msg::TransformStamped transform;
  transform.header.frame_id = parent;
  transform.header.stamp = at;
  transform.child_frame_id = child;
  transform.transform.translation.x = x;
  transform.transform.translation.y = y;
  const double half = yawDegrees * M_PI / 360.0;
  transform.transform.rotation.z = std::sin(half);
  transform.transform.rotation.w = std::cos(half);
  return transform;
}

tf2_msgs::msg::TFMessage message(std::vector<geometry_msgs::msg::TransformStamped> transforms) {
  tf2_msgs::msg::TFMessage tf;
  tf.transforms = std::move(transforms);
  return tf;
}

void addStatic(FrameBuffer& frames, const geometry_msgs::msg::TransformStamped& transform) {
  ASSERT_TRUE(frames.addTransforms(message({transform}), true).empty());
}

void addMoving(FrameBuffer& frames, const geometry_msgs::msg::TransformStamped& transform) {
  ASSERT_TRUE(frames.addTransforms(message({transform}), false).empty());
}

geometry_msgs::msg::PoseStamped poseAt(const std::string& frame, double x, double y,
                                       double yawDegrees) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = frame;
  pose.header.stamp = stamp(40);
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.z = std::sin(yawDegrees * M_PI / 360.0);
  pose.pose.orientation.w = std::cos(yawDegrees * M_PI / 360.0);
  return pose;
}

nav_msgs::msg::Path pathIn(const std::string& frame,
                           std::vector<geometry_msgs::msg::PoseStamped> poses) {
  nav_msgs::msg::Path path;
  path.header.frame_id = frame;
  path.header.stamp = stamp(40);
  path.poses = std::move(poses);
  return path;
}

double yawDegrees(const geometry_msgs::msg::Quaternion& q) {
  return std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z)) * 180.0 /
         M_PI;
}

// The robot's odometry frame sits at (2, 1) in the map, turned by 30 degrees: a point (u, v) of
// odom lies at (2 + u cos30 - v sin30, 1 + u sin30 + v cos30) in the map.
FrameBuffer mapOverOdom() {
  FrameBuffer frames;
  addStatic(frames, planar("map", "odom", 2.0, 1.0, 30.0));
  return frames;
}

struct MapPoint {
  const char* what;
  double mapX, mapY, mapYaw;
  double odomX, odomY, odomYaw;
};

TEST(NodeFrames, MapPathComesOutInOdomWhereWorkedOutByHand) {
  const MapPoint points[] = {
      {"odom's origin", 2.0, 1.0, 30.0, 0.0, 0.0, 0.0},
      {"1 m along odom's x", 2.0 + kCos30, 1.5, 0.0, 1.0, 0.0, -30.0},
      {"1 m along odom's y", 1.5, 1.0 + kCos30, 120.0, 0.0, 1.0, 90.0},
      // (3, 1) - (2, 1) = (1, 0), turned back by 30 degrees: (cos30, -sin30).
      {"1 m along map's x from odom's origin", 3.0, 1.0, 90.0, kCos30, -0.5, 60.0},
      // (0, 0) - (2, 1) = (-2, -1), turned back: (-2 cos30 - sin30, 2 sin30 - cos30).
      {"map's origin", 0.0, 0.0, -150.0, -2.0 * kCos30 - 0.5, 1.0 - kCos30, 180.0},
  };
  FrameBuffer frames = mapOverOdom();
  for (const auto& point : points) {
    SCOPED_TRACE(point.what);
    const auto path = node::pathInFrame(
        pathIn("map", {poseAt("map", point.mapX, point.mapY, point.mapYaw)}), "odom", frames);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(path->header.frame_id, "odom");
    const auto& pose = path->poses.at(0);
    EXPECT_EQ(pose.header.frame_id, "odom");
    EXPECT_EQ(pose.header.stamp, stamp(40));
    EXPECT_NEAR(pose.pose.position.x, point.odomX, kClose);
    EXPECT_NEAR(pose.pose.position.y, point.odomY, kClose);
    EXPECT_NEAR(std::remainder(yawDegrees(pose.pose.orientation) - point.odomYaw, 360.0), 0.0,
                1e-7);
  }
}

TEST(NodeFrames, MapCorrectionMidRouteMovesTheGoalByTheCorrection) {
  // Localisation publishes map -> odom on /tf as it corrects the odometry's drift.
  FrameBuffer frames;
  addMoving(frames, planar("map", "odom", 2.0, 1.0, 30.0, stamp(100)));
  const auto route = pathIn("map", {poseAt("map", 0.0, 0.0, 0.0), poseAt("map", 5.0, 3.0, 0.0)});
  const auto before = node::pathInFrame(route, "odom", frames);
  ASSERT_TRUE(before.has_value());

  // The correction: odom now lies 0.1 m further along the map's x.
  addMoving(frames, planar("map", "odom", 2.1, 1.0, 30.0, stamp(101)));
  const auto after = node::pathInFrame(route, "odom", frames);
  ASSERT_TRUE(after.has_value());

  const auto& goalBefore = before->poses.back().pose.position;
  const auto& goalAfter = after->poses.back().pose.position;
  // The goal stays where it is in the map, so in odom it moves 0.1 m back along the map's x,
  // which is (-0.1 cos30, 0.1 sin30) in odom's axes.
  EXPECT_NEAR(std::hypot(goalAfter.x - goalBefore.x, goalAfter.y - goalBefore.y), 0.1, kClose);
  EXPECT_NEAR(goalAfter.x - goalBefore.x, -0.1 * kCos30, kClose);
  EXPECT_NEAR(goalAfter.y - goalBefore.y, 0.05, kClose);
}

TEST(NodeFrames, PathInBaseLinkGoesThroughOdomToBaseLink) {
  // The robot stands at (1, 2) in odom, facing odom's y.
  FrameBuffer frames;
  addMoving(frames, planar("odom", "base_link", 1.0, 2.0, 90.0, stamp(7)));
  const auto path = node::pathInFrame(pathIn("base_link", {poseAt("base_link", 1.0, 0.0, 0.0),
                                                           poseAt("base_link", 0.0, -1.0, 0.0)}),
                                      "odom", frames);
  ASSERT_TRUE(path.has_value());
  // 1 m ahead of the robot is 1 m along odom's y; 1 m to its right is 1 m along odom's x.
  EXPECT_NEAR(path->poses[0].pose.position.x, 1.0, kClose);
  EXPECT_NEAR(path->poses[0].pose.position.y, 3.0, kClose);
  EXPECT_NEAR(path->poses[1].pose.position.x, 2.0, kClose);
  EXPECT_NEAR(path->poses[1].pose.position.y, 2.0, kClose);
  EXPECT_NEAR(yawDegrees(path->poses[0].pose.orientation), 90.0, 1e-7);
}

TEST(NodeFrames, PathNeedingNoTransformIsReturnedAsItIs) {
  const struct {
    const char* what;
    nav_msgs::msg::Path path;
  } cases[] = {
      {"frame empty", pathIn("", {poseAt("map", 1.0, 2.0, 45.0)})},
      {"frame is the target", pathIn("odom", {poseAt("odom", 1.0, 2.0, 45.0)})},
      {"no poses, frame unknown", pathIn("nowhere", {})},
  };
  FrameBuffer frames;  // knows no transform at all
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto path = node::pathInFrame(c.path, "odom", frames);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, c.path);
  }
}

TEST(NodeFrames, PathWithoutAKnownTransformIsNotMoved) {
  FrameBuffer frames;
  addStatic(frames, planar("map", "odom", 2.0, 1.0, 30.0));
  addStatic(frames, planar("world", "site", 1.0, 0.0, 0.0));  // a tree of its own
  const auto pose = poseAt("x", 1.0, 0.0, 0.0);
  EXPECT_FALSE(node::pathInFrame(pathIn("site", {pose}), "odom", frames).has_value());
  EXPECT_FALSE(node::pathInFrame(pathIn("earth", {pose}), "odom", frames).has_value());
  EXPECT_FALSE(node::pathInFrame(pathIn("map", {pose}), "base_link", frames).has_value());
}

TEST(NodeFrames, ZeroOrientationTakesTheFramesRotation) {
  // The controller reads a zero quaternion as heading 0 in the path's frame.
  FrameBuffer frames = mapOverOdom();
  auto pose = poseAt("map", 3.0, 1.0, 0.0);
  pose.pose.orientation = geometry_msgs::msg::Quaternion();
  pose.pose.orientation.w = 0.0;
  const auto path = node::pathInFrame(pathIn("map", {pose}), "odom", frames);
  ASSERT_TRUE(path.has_value());
  EXPECT_NEAR(yawDegrees(path->poses[0].pose.orientation), -30.0, 1e-7);
}

TEST(NodeFrames, MovedPathsKeepTheirShapeAndComeBackWhole) {
  std::mt19937 random(20240611);
  std::uniform_real_distribution<double> coordinate(-50.0, 50.0);
  std::uniform_real_distribution<double> degrees(-180.0, 180.0);
  for (int round = 0; round < 300; ++round) {
    FrameBuffer frames;
    addStatic(frames,
              planar("map", "odom", coordinate(random), coordinate(random), degrees(random)));
    nav_msgs::msg::Path path = pathIn("map", {});
    for (int i = 0; i < 5; ++i) {
      path.poses.push_back(poseAt("map", coordinate(random), coordinate(random), degrees(random)));
    }
    const auto inOdom = node::pathInFrame(path, "odom", frames);
    ASSERT_TRUE(inOdom.has_value());
    const auto back = node::pathInFrame(*inOdom, "map", frames);
    ASSERT_TRUE(back.has_value());
    for (std::size_t i = 0; i < path.poses.size(); ++i) {
      const auto& p = path.poses[i].pose;
      const auto& q = inOdom->poses[i].pose;
      ASSERT_TRUE(std::isfinite(q.position.x) && std::isfinite(q.position.y));
      EXPECT_NEAR(back->poses[i].pose.position.x, p.position.x, 1e-9);
      EXPECT_NEAR(back->poses[i].pose.position.y, p.position.y, 1e-9);
      EXPECT_NEAR(
          std::remainder(yawDegrees(back->poses[i].pose.orientation) - yawDegrees(p.orientation),
                         360.0),
          0.0, 1e-6);
      if (i > 0) {  // a rigid move: distances and turns between poses stay
        const auto& p0 = path.poses[i - 1].pose;
        const auto& q0 = inOdom->poses[i - 1].pose;
        EXPECT_NEAR(std::hypot(q.position.x - q0.position.x, q.position.y - q0.position.y),
                    std::hypot(p.position.x - p0.position.x, p.position.y - p0.position.y), 1e-9);
        EXPECT_NEAR(std::remainder(yawDegrees(q.orientation) - yawDegrees(q0.orientation) -
                                       yawDegrees(p.orientation) + yawDegrees(p0.orientation),
                                   360.0),
                    0.0, 1e-6);
      }
    }
  }
}

TEST(NodeFrames, RobotPoseIsBaseLinkInTheGlobalFrameAtTheLatestCommonTime) {
  FrameBuffer frames = mapOverOdom();
  addMoving(frames, planar("odom", "base_link", 1.0, 0.0, 0.0, stamp(5)));
  addMoving(frames, planar("odom", "base_link", 2.0, 0.0, 0.0, stamp(6)));

  auto pose = node::robotPoseFromTf(frames, "map", "base_link");
  ASSERT_TRUE(pose.has_value());
  // 2 m along odom's x: (2 + 2 cos30, 1 + 2 sin30) in the map, facing 30 degrees.
  EXPECT_EQ(pose->header.frame_id, "map");
  EXPECT_EQ(pose->header.stamp, stamp(6));
  EXPECT_NEAR(pose->pose.position.x, 2.0 + 2.0 * kCos30, kClose);
  EXPECT_NEAR(pose->pose.position.y, 2.0, kClose);
  EXPECT_NEAR(yawDegrees(pose->pose.orientation), 30.0, 1e-7);

  // A localisation that last corrected at 5.5 s holds the chain there: odometry is interpolated
  // to that time, half way from x = 1 to x = 2.
  FrameBuffer corrected;
  addMoving(corrected, planar("map", "odom", 0.0, 0.0, 0.0, stamp(5, 500000000)));
  addMoving(corrected, planar("odom", "base_link", 1.0, 0.0, 0.0, stamp(5)));
  addMoving(corrected, planar("odom", "base_link", 2.0, 0.0, 0.0, stamp(6)));
  pose = node::robotPoseFromTf(corrected, "map", "base_link");
  ASSERT_TRUE(pose.has_value());
  EXPECT_EQ(pose->header.stamp, stamp(5, 500000000));
  EXPECT_NEAR(pose->pose.position.x, 1.5, kClose);

  EXPECT_FALSE(node::robotPoseFromTf(frames, "map", "base_footprint").has_value());
}

TEST(NodeFrames, PoseFeedHandsOutEachNewTransformOnce) {
  FrameBuffer frames;
  node::TfPoseFeed feed("odom", "base_link");
  EXPECT_FALSE(feed.next(frames).has_value());  // no TF yet

  addMoving(frames, planar("odom", "base_link", 1.0, 0.0, 0.0, stamp(5)));
  const auto first = feed.next(frames);
  ASSERT_TRUE(first.has_value());
  EXPECT_NEAR(first->pose.position.x, 1.0, kClose);
  // TF stopped: the buffer still answers, the feed does not, so the pose ages and the node stops.
  EXPECT_FALSE(feed.next(frames).has_value());
  EXPECT_FALSE(feed.next(frames).has_value());

  addMoving(frames, planar("odom", "base_link", 1.2, 0.0, 0.0, stamp(5, 20000000)));
  const auto second = feed.next(frames);
  ASSERT_TRUE(second.has_value());
  EXPECT_NEAR(second->pose.position.x, 1.2, kClose);
  EXPECT_EQ(second->header.stamp, stamp(5, 20000000));
}

TEST(NodeFrames, LookupAtATimeInterpolatesAndRefusesWhatItCannotKnow) {
  FrameBuffer frames;
  addMoving(frames, planar("odom", "base_link", 1.0, 0.0, 0.0, stamp(10)));
  addMoving(frames, planar("odom", "base_link", 3.0, 0.0, 0.0, stamp(11)));
  const auto middle = frames.lookup("odom", "base_link", stamp(10, 250000000));
  ASSERT_TRUE(middle.has_value());
  EXPECT_NEAR(middle->transform.translation.x, 1.5, kClose);
  EXPECT_EQ(middle->header.frame_id, "odom");
  EXPECT_EQ(middle->child_frame_id, "base_link");

  EXPECT_FALSE(frames.lookup("odom", "base_link", stamp(12)).has_value());  // the future
  EXPECT_FALSE(frames.lookup("odom", "base_link", stamp(9)).has_value());   // before the first
  EXPECT_FALSE(frames.lookup("odom", "base_link", stamp(-1)).has_value());
  EXPECT_FALSE(frames.lookup("odom", "base_link", stamp(10, 1000000000)).has_value());
  EXPECT_FALSE(frames.lookup("/odom", "base_link").has_value());  // tf2's frames have no '/'
}

TEST(NodeFrames, RefusedTransformsAreReportedNotPrintedAndTheRestTaken) {
  const auto good = planar("odom", "base_link", 1.0, 0.0, 0.0, stamp(20));
  auto nan = planar("odom", "base_link", 0.0, 0.0, 0.0, stamp(21));
  nan.transform.translation.y = std::nan("");
  auto unnormalised = planar("odom", "base_link", 0.0, 0.0, 0.0, stamp(22));
  unnormalised.transform.rotation.w = 2.0;
  const struct {
    const char* what;
    geometry_msgs::msg::TransformStamped transform;
    const char* reasonHas;
  } cases[] = {
      {"to itself", planar("odom", "odom", 0.0, 0.0, 0.0, stamp(21)), "TF_SELF_TRANSFORM"},
      {"no child frame", planar("odom", "", 0.0, 0.0, 0.0, stamp(21)), "TF_NO_CHILD_FRAME_ID"},
      {"no parent frame", planar("", "base_link", 0.0, 0.0, 0.0, stamp(21)), "TF_NO_FRAME_ID"},
      {"not a number", nan, "TF_NAN_INPUT"},
      {"no unit quaternion", unnormalised, "TF_DENORMALIZED_QUATERNION"},
      {"repeated stamp", good, "TF_REPEATED_DATA"},
      // A stamp older than the cache (tf2's TF_OLD_DATA) is a clock gone back: it clears the
      // buffer and is taken (AStampGoingBackClearsMovingTransformsAndKeepsStaticOnes).
      {"negative stamp", planar("odom", "base_link", 0.0, 0.0, 0.0, stamp(-3)),
       "from odom to base_link refused: stamp -3 s 0 ns is not a time"},
      {"nanoseconds past a second",
       planar("odom", "base_link", 0.0, 0.0, 0.0, stamp(21, 2000000000)),
       "stamp 21 s 2000000000 ns is not a time"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FrameBuffer frames;
    addMoving(frames, good);
    testing::internal::CaptureStderr();
    const auto refusals =
        frames.addTransforms(message({c.transform, planar("odom", "laser", 0.2, 0.0, 0.0)}), false);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(refusals.size(), 1u);
    EXPECT_NE(refusals[0].find(c.reasonHas), std::string::npos) << refusals[0];
    EXPECT_TRUE(frames.lookup("odom", "laser").has_value());  // the rest of the message is taken
    const auto robot = frames.lookup("odom", "base_link");
    ASSERT_TRUE(robot.has_value());
    EXPECT_EQ(robot->transform.translation.x, 1.0);
  }
}

// The wait of a map path for map -> odom, polled at the times given after its arrival.
struct WaitStep {
  std::chrono::milliseconds at;
  bool transformKnown;
  bool pathOut;
  const char* refusal;
};

TEST(NodeFrames, PathWaitsForItsTransformUntilTheTimeout) {
  const char* const kRefusal = "path in map refused: no transform from map to odom within 0.5 s";
  const struct {
    const char* what;
    std::vector<WaitStep> steps;
  } cases[] = {
      {"transform known at once", {{0ms, true, true, ""}, {20ms, true, false, ""}}},
      {"transform arrives while waiting",
       {{0ms, false, false, ""}, {300ms, false, false, ""}, {320ms, true, true, ""}}},
      {"transform arrives in the last cycle", {{0ms, false, false, ""}, {500ms, true, true, ""}}},
      {"no transform: refused once",
       {{0ms, false, false, ""},
        {499ms, false, false, ""},
        {500ms, false, false, kRefusal},
        {520ms, false, false, ""},
        {600ms, true, false, ""}}},
  };
  const Clock::time_point arrival{};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FrameBuffer frames;
    node::PathTransformWait wait("odom", 500ms);
    wait.receive(pathIn("map", {poseAt("map", 3.0, 1.0, 0.0)}), arrival);
    for (const auto& step : c.steps) {
      SCOPED_TRACE(step.at.count());
      if (step.transformKnown && !frames.lookup("odom", "map")) {
        addStatic(frames, planar("map", "odom", 2.0, 1.0, 30.0));
      }
      const node::PathWaitResult result = wait.poll(frames, arrival + step.at);
      EXPECT_EQ(result.path.has_value(), step.pathOut);
      EXPECT_EQ(result.refusal, step.refusal);
      if (result.path) {
        EXPECT_EQ(result.path->header.frame_id, "odom");
        EXPECT_NEAR(result.path->poses[0].pose.position.x, kCos30, kClose);
      }
    }
    EXPECT_FALSE(wait.waiting());
  }
}

TEST(NodeFrames, NewPathTakesThePlaceOfTheWaitingOneAndItsTime) {
  FrameBuffer frames;
  node::PathTransformWait wait("odom", 1250ms);
  const Clock::time_point start{};
  wait.receive(pathIn("map", {poseAt("map", 1.0, 0.0, 0.0)}), start);
  wait.receive(pathIn("site", {poseAt("site", 1.0, 0.0, 0.0)}), start + 1s);
  EXPECT_EQ(wait.poll(frames, start + 1300ms).refusal, "");
  EXPECT_TRUE(wait.waiting());
  EXPECT_EQ(wait.poll(frames, start + 2250ms).refusal,
            "path in site refused: no transform from site to odom within 1.25 s");

  // A path in the drive's own frame needs no transform and passes in the same cycle.
  wait.receive(pathIn("odom", {poseAt("odom", 1.0, 0.0, 0.0)}), start + 3s);
  const auto result = wait.poll(frames, start + 3s);
  ASSERT_TRUE(result.path.has_value());
  EXPECT_EQ(result.path->poses[0].pose.position.x, 1.0);
}

// tf2 itself as the reference: each pose of the path becomes a frame of its own under map, and
// tf2 looks it up from odom. Through a transform tilted about all three axes, every moved pose
// must be where tf2 puts that frame, position and orientation.
TEST(NodeFrames, PathMovedThroughATiltedTransformAgreesWithTf2) {
  tf2::Quaternion tilt;
  tilt.setRPY(0.2, -0.3, 0.7);
  geometry_msgs::msg::TransformStamped mapToOdom = planar("map", "odom", 1.5, -2.0, 0.0);
  mapToOdom.transform.translation.z = 0.4;
  mapToOdom.transform.rotation.x = tilt.x();
  mapToOdom.transform.rotation.y = tilt.y();
  mapToOdom.transform.rotation.z = tilt.z();
  mapToOdom.transform.rotation.w = tilt.w();
  FrameBuffer frames;
  addStatic(frames, mapToOdom);

  tf2::BufferCore reference;
  const auto toTf2 = [](const std::string& parent, const std::string& child,
                        const geometry_msgs::msg::Vector3& t,
                        const geometry_msgs::msg::Quaternion& q) {
    geometry_msgs::TransformStamped transform;
    transform.header.frame_id = parent;
    transform.child_frame_id = child;
    transform.transform.translation.x = t.x;
    transform.transform.translation.y = t.y;
    transform.transform.translation.z = t.z;
    transform.transform.rotation.x = q.x;
    transform.transform.rotation.y = q.y;
    transform.transform.rotation.z = q.z;
    transform.transform.rotation.w = q.w;
    return transform;
  };
  // tf2 names transforms parent -> child; odom's pose in map is the node's map -> odom.
  ASSERT_TRUE(reference.setTransform(
      toTf2("map", "odom", mapToOdom.transform.translation, mapToOdom.transform.rotation), "test",
      true));
  const auto path =
      pathIn("map", {poseAt("map", 0.0, 0.0, 0.0), poseAt("map", 3.0, 1.0, 45.0),
                     poseAt("map", -2.5, 4.0, -120.0), poseAt("map", 7.0, -3.0, 179.0)});
  for (std::size_t i = 0; i < path.poses.size(); ++i) {
    const auto& pose = path.poses[i].pose;
    geometry_msgs::msg::Vector3 position;
    position.x = pose.position.x;
    position.y = pose.position.y;
    position.z = pose.position.z;
    ASSERT_TRUE(reference.setTransform(
        toTf2("map", "pose" + std::to_string(i), position, pose.orientation), "test", true));
  }
  const auto moved = node::pathInFrame(path, "odom", frames);
  ASSERT_TRUE(moved);
  for (std::size_t i = 0; i < path.poses.size(); ++i) {
    SCOPED_TRACE(i);
    const auto expected =
        reference.lookupTransform("odom", "pose" + std::to_string(i), ros::Time(0)).transform;
    const auto& pose = moved->poses[i].pose;
    EXPECT_NEAR(pose.position.x, expected.translation.x, kClose);
    EXPECT_NEAR(pose.position.y, expected.translation.y, kClose);
    EXPECT_NEAR(pose.position.z, expected.translation.z, kClose);
    // q and -q are one rotation.
    const auto& q = pose.orientation;
    const auto& e = expected.rotation;
    EXPECT_NEAR(std::fabs(q.x * e.x + q.y * e.y + q.z * e.z + q.w * e.w), 1.0, kClose);
  }
}

// A moving transform stamped over a second before the newest of its frame clears the buffer, so
// that it is taken instead of refused as old data; static transforms stay.
TEST(NodeFrames, AStampGoingBackClearsMovingTransformsAndKeepsStaticOnes) {
  FrameBuffer frames;
  addStatic(frames, planar("map", "odom", 2.0, 1.0, 0.0));
  addMoving(frames, planar("odom", "base_link", 1.0, 0.0, 0.0, stamp(1000)));
  addMoving(frames, planar("odom", "base_link", 1.1, 0.0, 0.0, stamp(1000, 500000000)));
  EXPECT_FALSE(frames.takeStampJumpBack());
  addMoving(frames, planar("odom", "base_link", 0.2, 0.0, 0.0, stamp(999, 500000000)));
  EXPECT_FALSE(frames.takeStampJumpBack());  // a second back: a late message
  addMoving(frames, planar("odom", "base_link", 0.3, 0.0, 0.0, stamp(999, 499999999)));
  const auto back = frames.takeStampJumpBack();
  ASSERT_TRUE(back);
  EXPECT_NEAR(*back, 1.000000001, 1e-9);
  EXPECT_FALSE(frames.takeStampJumpBack());
  const auto base = frames.lookup("map", "base_link");
  ASSERT_TRUE(base);
  EXPECT_NEAR(base->transform.translation.x, 2.3, kClose);
  EXPECT_EQ(base->header.stamp, stamp(999, 499999999));

  // Older than tf2's cache, which tf2 alone refuses as TF_OLD_DATA: taken.
  EXPECT_TRUE(
      frames.addTransforms(message({planar("odom", "base_link", 0.4, 0.0, 0.0, stamp(5))}), false)
          .empty());
  EXPECT_NEAR(frames.takeStampJumpBack().value_or(0.0), 994.499999999, 1e-9);
  EXPECT_EQ(frames.lookup("map", "base_link")->header.stamp, stamp(5));
}

}  // namespace
