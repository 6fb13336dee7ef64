// The node's side of the lifecycle manager's bond without middleware: heartbeats at the manager's
// period, the bond broken exactly at the manager's timeout and for good, the manager's messages
// told from everything else on the topic, and the node's side ended as bondcpp ends one.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "node/lifecycle/bond_watch.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = node::BondWatch::Clock;
using node::BondState;

constexpr auto kStep = 10ms;  // how often a test asks what is due, finer than any period here
const char* const kId = "trelvo_node";
const char* const kManager = "5c1f0d3e-manager";

bond::msg::Status managerSays(bool active, float period = 0.25F, float timeout = 4.0F,
                              const std::string& id = kId, const std::string& instance = kManager) {
  bond::msg::Status status;
  status.id = id;
  status.instance_id = instance;
  status.active = active;
  status.heartbeat_period = period;
  status.heartbeat_timeout = timeout;
  return status;
}

struct Bond {
  std::vector<std::pair<BondState, std::string>> told;
  node::BondWatch watch{
      kId, [this](BondState state, const std::string& line) { told.emplace_back(state, line); }};
  Clock::time_point now = Clock::time_point{} + 100s;
  std::vector<bond::msg::Status> sent;

  // Asks what is due every kStep for `duration`, keeping what goes out.
  void run(Clock::duration duration) {
    for (const auto until = now + duration; now < until; now += kStep) {
      if (auto status = watch.due(now)) {
        sent.push_back(std::move(*status));
      }
    }
  }
  void formed(float timeout = 4.0F) {
    watch.start("node-instance", now);
    watch.receive(managerSays(true, 0.25F, timeout), now);
    ASSERT_EQ(watch.state(), BondState::Formed);
  }
  int count(bool active) const {
    int n = 0;
    for (const auto& status : sent) {
      n += status.active == active ? 1 : 0;
    }
    return n;
  }
};

TEST(BondWatch, HeartbeatsGoOutFromActivationAtTheManagersPeriod) {
  Bond b;
  b.run(2s);
  EXPECT_TRUE(b.sent.empty()) << "no heartbeat before the node is active";

  b.watch.start("node-instance", b.now);
  b.run(2s);  // bondcpp's default period until the manager's first message
  ASSERT_EQ(b.sent.size(), 2U);
  EXPECT_EQ(b.sent[0].id, kId);
  EXPECT_EQ(b.sent[0].instance_id, "node-instance");
  EXPECT_TRUE(b.sent[0].active);
  EXPECT_FLOAT_EQ(b.sent[0].heartbeat_period, 1.0F);
  EXPECT_EQ(b.watch.state(), BondState::Waiting);
  EXPECT_FALSE(b.watch.holdsVehicle());

  b.sent.clear();
  b.watch.receive(managerSays(true, 0.25F, 1.5F), b.now);
  EXPECT_EQ(b.watch.state(), BondState::Formed);
  for (int i = 0; i < 8; ++i) {  // the manager's heartbeats, every 0.25 s for 2 s
    b.run(250ms);
    b.watch.receive(managerSays(true, 0.25F, 1.5F), b.now);
  }
  EXPECT_GE(b.sent.size(), 7U);
  EXPECT_LE(b.sent.size(), 9U);
  EXPECT_EQ(b.count(false), 0);
  EXPECT_FLOAT_EQ(b.sent.back().heartbeat_period, 0.25F);
  EXPECT_FLOAT_EQ(b.sent.back().heartbeat_timeout, 1.5F);
  ASSERT_EQ(b.told.size(), 1U);
  EXPECT_EQ(b.told[0].first, BondState::Formed);
  EXPECT_NE(b.told[0].second.find(kManager), std::string::npos) << b.told[0].second;
}

TEST(BondWatch, TheBondBreaksExactlyAtTheManagersTimeoutAndIsToldOnce) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  const struct {
    const char* what;
    float timeout;  // as the manager's messages carry it
    Clock::duration silence;
    bool broken;
  } cases[] = {
      {"Nav2's 4 s, just short", 4.0F, 3990ms, false},
      {"Nav2's 4 s, reached", 4.0F, 4s, true},
      {"1.5 s, just short", 1.5F, 1490ms, false},
      {"1.5 s, reached", 1.5F, 1500ms, true},
      {"none given: bondcpp's 4 s, just short", 0.0F, 3990ms, false},
      {"none given: bondcpp's 4 s, reached", 0.0F, 4s, true},
      {"a broken value: bondcpp's 4 s", kNaN, 4s, true},
      {"a negative value: bondcpp's 4 s, just short", -1.0F, 3990ms, false},
  };
  for (const auto& c : cases) {
    Bond b;
    b.formed(c.timeout);
    const auto heard = b.now;
    b.watch.due(heard + c.silence);
    EXPECT_EQ(b.watch.holdsVehicle(), c.broken) << c.what;
    EXPECT_EQ(b.watch.state(), c.broken ? BondState::Broken : BondState::Formed) << c.what;
    b.watch.due(heard + c.silence + 10s);  // told once, however long it lasts
    EXPECT_TRUE(b.watch.holdsVehicle()) << c.what;
    ASSERT_EQ(b.told.size(), 2U) << c.what;
    EXPECT_EQ(b.told[1].first, BondState::Broken) << c.what;
    EXPECT_NE(b.told[1].second.find("no heartbeat from the lifecycle manager"), std::string::npos)
        << b.told[1].second;
  }
}

TEST(BondWatch, OnlyTheManagersHeartbeatsFormAndKeepTheBond) {
  const struct {
    const char* what;
    bond::msg::Status status;
  } others[] = {
      {"the node's own heartbeat, as DDS hands it back",
       managerSays(true, 0.25F, 4.0F, kId, "node-instance")},
      {"another server's bond", managerSays(true, 0.25F, 4.0F, "controller_server")},
      {"the bond of a name this one begins", managerSays(true, 0.25F, 4.0F, "trelvo_node_2")},
  };
  for (const auto& other : others) {
    Bond b;
    b.watch.start("node-instance", b.now);
    b.watch.receive(other.status, b.now);
    EXPECT_EQ(b.watch.state(), BondState::Waiting) << other.what;
    b.run(10s);  // a bond never formed never breaks: the node drives without a manager
    EXPECT_FALSE(b.watch.holdsVehicle()) << other.what;
    EXPECT_EQ(b.count(true), 10) << other.what << ": heartbeats go on while waiting";

    Bond formed;
    formed.formed();
    for (int i = 0; i < 5; ++i) {
      formed.run(1s);
      formed.watch.receive(other.status, formed.now);
    }
    EXPECT_TRUE(formed.watch.holdsVehicle()) << other.what << " kept the bond";
  }
  Bond before;
  before.watch.receive(managerSays(true), before.now);
  EXPECT_EQ(before.watch.state(), BondState::None) << "nothing is formed before the start";
}

TEST(BondWatch, ABrokenBondStaysBrokenSilentUntilTheNodeStartsANewOne) {
  Bond b;
  b.formed();
  b.run(4100ms);
  ASSERT_TRUE(b.watch.holdsVehicle());
  b.sent.clear();
  for (int i = 0; i < 8; ++i) {  // the manager comes back
    b.watch.receive(managerSays(true), b.now);
    b.run(250ms);
  }
  EXPECT_TRUE(b.watch.holdsVehicle());
  EXPECT_EQ(b.count(true), 0) << "no heartbeat from a broken bond";

  b.watch.leave(b.now);  // deactivated
  b.watch.start("second-instance", b.now);
  EXPECT_FALSE(b.watch.holdsVehicle());
  EXPECT_EQ(b.watch.state(), BondState::Waiting);
  b.sent.clear();
  b.run(100ms);
  ASSERT_FALSE(b.sent.empty());
  EXPECT_EQ(b.sent.back().instance_id, "second-instance");
  EXPECT_TRUE(b.sent.back().active);
}

// bondcpp keeps one partner: the instance that formed the bond. A second manager's heartbeats
// neither keep the bond alive nor its active=false end it; each is told, at most every 10 s.
TEST(BondWatch, OnlyThePartnerThatFormedTheBondKeepsOrEndsIt) {
  const auto second = [](bool active) {
    return managerSays(active, 0.25F, 4.0F, kId, "second-manager");
  };
  Bond b;
  b.formed();
  b.run(1s);
  b.watch.receive(second(false), b.now);
  EXPECT_EQ(b.watch.state(), BondState::Formed) << "a second manager ended nothing";
  for (int i = 0; i < 16; ++i) {  // the partner goes silent, the second manager beats
    b.run(250ms);
    b.watch.receive(second(true), b.now);
  }
  EXPECT_TRUE(b.watch.holdsVehicle()) << "the second manager's heartbeats kept the bond";
  int ignored = 0;
  for (const auto& [state, line] : b.told) {
    ignored += line.find("ignored a message") != std::string::npos ? 1 : 0;
  }
  EXPECT_EQ(ignored, 1) << "told once in 5 s";

  Bond again;  // a new bond takes a new partner
  again.formed();
  again.watch.leave(again.now);
  again.watch.start("second-instance", again.now);
  again.watch.receive(second(true), again.now);
  EXPECT_EQ(again.watch.state(), BondState::Formed);
}

TEST(BondWatch, TheManagerEndingItsSideBreaksTheBondAndIsAnsweredOnce) {
  Bond b;
  b.formed();
  b.run(1s);
  b.sent.clear();
  b.watch.receive(managerSays(false), b.now);
  EXPECT_TRUE(b.watch.holdsVehicle());
  ASSERT_EQ(b.told.size(), 2U);
  EXPECT_NE(b.told[1].second.find("ended the bond"), std::string::npos) << b.told[1].second;
  b.run(3s);
  EXPECT_EQ(b.count(false), 1);
  EXPECT_EQ(b.count(true), 0);
}

TEST(BondWatch, LeavingSaysSoEveryDeadPublishPeriodUntilTheManagerAnswersOrTwoSeconds) {
  const struct {
    const char* what;
    bool formed;
    Clock::duration answer;  // 0: the manager never answers
    int ends;                // active=false sent
  } cases[] = {
      {"formed, answered after 0.3 s", true, 300ms, 6},
      {"formed, never answered: bondcpp's disconnect timeout", true, 0s, 40},
      {"never formed: once", false, 0s, 1},
  };
  for (const auto& c : cases) {
    Bond b;
    if (c.formed) {
      b.formed();
    } else {
      b.watch.start("node-instance", b.now);
    }
    b.run(500ms);
    b.sent.clear();
    b.watch.leave(b.now);
    if (c.answer > 0s) {
      b.run(c.answer);
      b.watch.receive(managerSays(false), b.now);
    }
    b.run(3s);
    EXPECT_EQ(b.count(false), c.ends) << c.what;
    EXPECT_EQ(b.count(true), 0) << c.what;
    EXPECT_EQ(b.watch.state(), BondState::None) << c.what;
    EXPECT_FALSE(b.watch.holdsVehicle()) << c.what;
  }
}

TEST(BondWatch, DiagnosticsShowNoneFormedOrBroken) {
  EXPECT_STREQ(node::bondText(BondState::None), "none");
  EXPECT_STREQ(node::bondText(BondState::Waiting), "none");
  EXPECT_STREQ(node::bondText(BondState::Leaving), "none");
  EXPECT_STREQ(node::bondText(BondState::Formed), "formed");
  EXPECT_STREQ(node::bondText(BondState::Broken), "broken");
}

}  // namespace
