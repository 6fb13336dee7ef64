// The stall watch over cycles of 20 Hz: commands that should move the vehicle, and the poses it
// reports, give one warning 3 s into a stall, armed again once the vehicle moves or the commands
// stop.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "common/pose.hpp"
#include "common/pose_messages.hpp"
#include "node/watch/stall_watch.hpp"

namespace {

using namespace std::chrono_literals;
using node::Clock;

constexpr auto kPeriod = 50ms;

geometry_msgs::msg::Twist twist(double forward, double turn, double sideways = 0.0) {
  geometry_msgs::msg::Twist command;
  command.linear.x = forward;
  command.linear.y = sideways;
  command.angular.z = turn;
  return command;
}

// Seconds since the first cycle: the command sent, and the vehicle's pose then.
using Motion = std::function<common::Pose2D(double seconds)>;

struct StallCase {
  const char* what;
  geometry_msgs::msg::Twist command;
  Motion vehicle;
  double firstWarningSeconds;  // NAN: none
};

// A watch given one cycle every 50 ms, its clock running on from one stretch to the next.
class Cycles {
 public:
  /// Runs `seconds` of cycles and returns the times of the warnings given, from the stretch's
  /// start.
  std::vector<double> run(const geometry_msgs::msg::Twist& command, const Motion& vehicle,
                          double seconds) {
    std::vector<double> times;
    const auto start = now_;
    for (auto at = 0ms; at <= std::chrono::duration<double>(seconds); at += kPeriod) {
      const double t = std::chrono::duration<double>(at).count();
      const auto pose = common::stampedPose(vehicle(t));
      now_ = start + at;
      if (watch.update(command, &pose.pose, now_)) {
        times.push_back(t);
      }
    }
    now_ += kPeriod;
    return times;
  }

  node::StallWatch watch;

  explicit Cycles(node::StallLimits limits = {}) : watch(limits) {}

 private:
  Clock::time_point now_ = Clock::now();
};

common::Pose2D standing(double) {
  return {1.0, 2.0, 0.5};
}

TEST(StallWatch, WarnsOnceThreeSecondsIntoCommandsThatMoveNothing) {
  const StallCase cases[] = {
      {"blocked wheels", twist(0.3, 0.0), standing, 3.0},
      {"blocked turn on the spot", twist(0.0, -0.4), standing, 3.0},
      {"blocked sideways", twist(0.0, 0.0, 0.2), standing, 3.0},
      {"creeping 0.9 cm in 3 s", twist(0.3, 0.0),
       [](double t) {
         return common::Pose2D{0.003 * t, 0, 0};
       },
       3.0},
      {"turning 0.9 degrees in 3 s", twist(0.0, 0.4),
       [](double t) {
         return common::Pose2D{0, 0, common::toRadians(0.3) * t};
       },
       3.0},
      {"driving", twist(0.3, 0.0),
       [](double t) {
         return common::Pose2D{0.3 * t, 0, 0};
       },
       NAN},
      {"driving slowly, 1 cm in 2 s", twist(0.005 * 2, 0.0),
       [](double t) {
         return common::Pose2D{0.005 * t, 0, 0};
       },
       NAN},
      {"turning", twist(0.0, 0.4),
       [](double t) {
         return common::Pose2D{0, 0, 0.4 * t};
       },
       NAN},
      {"turning across +-pi", twist(0.0, 0.4),
       [](double t) {
         return common::Pose2D{0, 0, common::wrapAngle(3.0 + 0.4 * t)};
       },
       NAN},
      {"blocked facing -x, its heading flickering across +-pi", twist(0.3, 0.0),
       [](double t) {
         const bool even = std::lround(t / 0.05) % 2 == 0;
         return common::Pose2D{1, 2, even ? M_PI - 0.001 : -M_PI + 0.001};
       },
       3.0},
      {"stopped", twist(0.0, 0.0), standing, NAN},
      {"commands too slow to tell", twist(0.0099, 0.017), standing, NAN},
  };
  for (const auto& c : cases) {
    const auto times = Cycles().run(c.command, c.vehicle, 10.0);
    if (std::isnan(c.firstWarningSeconds)) {
      EXPECT_TRUE(times.empty()) << c.what << ": first at " << times.front();
    } else {
      ASSERT_EQ(times.size(), 1u) << c.what;
      EXPECT_NEAR(times.front(), c.firstWarningSeconds, 1e-9) << c.what;
    }
  }
}

// Nav2's progress checker's settings: required_movement_radius within movement_time_allowance.
TEST(StallWatch, LimitsSetTheDistanceAndTimeOfAStall) {
  const node::StallLimits nav2{0.5, 10s};
  const auto creeping = [](double metresPerSecond) {
    return [metresPerSecond](double t) { return common::Pose2D{metresPerSecond * t, 0.0, 0.0}; };
  };
  Cycles slow(nav2);
  EXPECT_EQ(slow.run(twist(0.3, 0.0), creeping(0.045), 12.0), std::vector<double>{10.0})
      << "0.45 m in 10 s";
  Cycles moving(nav2);
  EXPECT_TRUE(moving.run(twist(0.3, 0.0), creeping(0.055), 12.0).empty()) << "0.55 m in 10 s";
  Cycles defaults;
  EXPECT_TRUE(defaults.run(twist(0.3, 0.0), creeping(0.045), 12.0).empty());
}

TEST(StallWatch, TheWarningSaysWhatWasCommandedAndWhatToCheck) {
  node::StallWatch watch;
  const auto pose = common::stampedPose(standing(0));
  const auto start = Clock::now();
  EXPECT_FALSE(watch.update(twist(0.3, -0.1), &pose.pose, start));
  const auto warning = watch.update(twist(0.3, -0.1), &pose.pose, start + 3s);
  ASSERT_TRUE(warning);
  EXPECT_EQ(*warning,
            "the vehicle moved less than 1 cm and turned less than 1° in 3 s under commands of "
            "0.30 m/s and -0.10 rad/s: check that nothing blocks its wheels, that its driver "
            "takes this node's commands, and that the poses are this vehicle's");
  EXPECT_EQ(watch.standing(), std::vector<std::string>{*warning});
}

TEST(StallWatch, ArmedAgainOnceTheVehicleMovesOrTheCommandsStop) {
  Cycles cycles;
  const auto forward = twist(0.3, 0.0);
  EXPECT_EQ(cycles.run(forward, standing, 10.0), std::vector<double>{3.0}) << "one stall";
  EXPECT_FALSE(cycles.watch.standing().empty());

  // The wheels come free: the vehicle moves 2 cm, and is blocked again where it got to.
  const auto moved = [](double) { return common::Pose2D{1.02, 2.0, 0.5}; };
  EXPECT_EQ(cycles.run(forward, moved, 10.0), std::vector<double>{3.0});

  // It turns 2 degrees, and is blocked again.
  const auto turned = [](double) { return common::Pose2D{1.02, 2.0, 0.5 + 0.035}; };
  EXPECT_EQ(cycles.run(forward, turned, 10.0), std::vector<double>{3.0});

  // The commands stop for a cycle, and blocked commands come again.
  EXPECT_TRUE(cycles.run(twist(0.0, 0.0), turned, 0.0).empty());
  EXPECT_TRUE(cycles.watch.standing().empty());
  EXPECT_EQ(cycles.run(forward, turned, 4.0), std::vector<double>{3.0});
}

TEST(StallWatch, CyclesWithoutAPoseNeitherArmNorWarn) {
  node::StallWatch watch;
  const auto pose = common::stampedPose(standing(0));
  const auto start = Clock::now();
  EXPECT_FALSE(watch.update(twist(0.3, 0), &pose.pose, start));
  EXPECT_FALSE(watch.update(twist(0.3, 0), nullptr, start + 5s));
  EXPECT_TRUE(watch.update(twist(0.3, 0), &pose.pose, start + 5050ms)) << "still where it was";

  node::StallWatch fresh;
  EXPECT_FALSE(fresh.update(twist(0.3, 0), nullptr, start));
  EXPECT_FALSE(fresh.update(twist(0.3, 0), &pose.pose, start + 5s)) << "the stall starts here";
  EXPECT_TRUE(fresh.update(twist(0.3, 0), &pose.pose, start + 8s));
}

}  // namespace
