#include "node/lifecycle/bond_watch.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include <fmt/format.h>

namespace node {
namespace {

using Clock = BondWatch::Clock;

Clock::duration fromSeconds(double seconds) {
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

double seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

// The manager's period or timeout, when it is one; a zero, negative or broken value is no setting.
void adopt(float value, Clock::duration& setting) {
  if (std::isfinite(value) && value > 0.0F) {
    setting = fromSeconds(value);
  }
}

}  // namespace

const char* bondText(BondState state) {
  switch (state) {
    case BondState::Formed:
      return "formed";
    case BondState::Broken:
      return "broken";
    case BondState::None:
    case BondState::Waiting:
    case BondState::Leaving:
      break;
  }
  return "none";
}

BondWatch::BondWatch(std::string id, Tell tell)
    : id_(std::move(id)),
      tell_(std::move(tell)),
      period_(fromSeconds(kDefaultHeartbeatPeriod)),
      timeout_(fromSeconds(kDefaultHeartbeatTimeout)) {}

void BondWatch::start(std::string instanceId, Clock::time_point now) {
  instanceId_ = std::move(instanceId);
  partner_.clear();
  state_ = BondState::Waiting;
  period_ = fromSeconds(kDefaultHeartbeatPeriod);
  timeout_ = fromSeconds(kDefaultHeartbeatTimeout);
  nextStatus_ = now;
  ackDeath_ = false;
}

void BondWatch::leave(Clock::time_point now) {
  if (state_ == BondState::None || state_ == BondState::Leaving) {
    return;
  }
  // A bond never formed or already broken has no manager waiting for the end: one message.
  state_ = state_ == BondState::Formed ? BondState::Leaving : BondState::None;
  ackDeath_ = state_ == BondState::None;
  nextStatus_ = now;
  leftAt_ = now;
}

void BondWatch::receive(const bond::msg::Status& status, Clock::time_point now) {
  if (status.id != id_ || status.instance_id == instanceId_ || fromStranger(status, now)) {
    return;
  }
  switch (state_) {
    case BondState::Waiting:
    case BondState::Formed:
      adopt(status.heartbeat_period, period_);
      adopt(status.heartbeat_timeout, timeout_);
      if (!status.active) {
        if (state_ == BondState::Formed) {
          ackDeath_ = true;
          breakBond("the lifecycle manager ended the bond");
        }
        return;
      }
      if (state_ == BondState::Waiting) {
        state_ = BondState::Formed;
        partner_ = status.instance_id;
        tell_(state_,
              fmt::format("bond {} formed with the lifecycle manager ({}): heartbeats every {:.3g} "
                          "s, the vehicle stops after {:.3g} s without one from the manager",
                          id_, status.instance_id, seconds(period_), seconds(timeout_)));
      }
      lastHeartbeat_ = now;
      nextStatus_ = std::min(nextStatus_, now + period_);
      break;
    case BondState::Leaving:
      if (!status.active) {
        state_ = BondState::None;
      }
      break;
    case BondState::None:
    case BondState::Broken:
      break;
  }
}

std::optional<bond::msg::Status> BondWatch::due(Clock::time_point now) {
  if (state_ == BondState::Formed && now - lastHeartbeat_ >= timeout_) {
    breakBond(fmt::format("no heartbeat from the lifecycle manager for {:.2f} s",
                          seconds(now - lastHeartbeat_)));
  }
  if (state_ == BondState::Leaving && now - leftAt_ >= fromSeconds(kDisconnectTimeout)) {
    state_ = BondState::None;
  }
  if (ackDeath_) {
    ackDeath_ = false;
    return status(false);
  }
  if ((state_ != BondState::Waiting && state_ != BondState::Formed &&
       state_ != BondState::Leaving) ||
      now < nextStatus_) {
    return std::nullopt;
  }
  const bool leaving = state_ == BondState::Leaving;
  nextStatus_ = now + (leaving ? fromSeconds(kDeadPublishPeriod) : period_);
  return status(!leaving);
}

bool BondWatch::fromStranger(const bond::msg::Status& status, Clock::time_point now) {
  if (partner_.empty() || status.instance_id == partner_ || state_ == BondState::None) {
    return false;
  }
  if (!strangerTold_ || now - *strangerTold_ >= kIgnoredTellPeriod) {
    strangerTold_ = now;
    tell_(state_, fmt::format("bond {}: ignored a message (active={}) of lifecycle manager {}: the "
                              "bond is with {}",
                              id_, status.active ? "true" : "false", status.instance_id, partner_));
  }
  return true;
}

bond::msg::Status BondWatch::status(bool active) const {
  bond::msg::Status status;
  status.id = id_;
  status.instance_id = instanceId_;
  status.active = active;
  status.heartbeat_timeout = static_cast<float>(seconds(timeout_));
  status.heartbeat_period = static_cast<float>(seconds(period_));
  return status;
}

void BondWatch::breakBond(const std::string& why) {
  state_ = BondState::Broken;
  tell_(state_, fmt::format("bond {} broken: {}; the vehicle is stopped, no command until the "
                            "node is deactivated and activated again",
                            id_, why));
}

}  // namespace node
