#include "sim/run/live_vehicle.hpp"

#include <algorithm>

namespace sim {
namespace {

double seconds(LiveVehicle::Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

}  // namespace

LiveVehicle::LiveVehicle(const common::VehicleSettings& settings, const common::Pose2D& start,
                         std::uint64_t noiseSeed, Clock::time_point now)
    : vehicle_(settings, start, noiseSeed), stepped_(now), received_(now - kCommandTimeout) {}

void LiveVehicle::receiveCommand(double v, double w, Clock::time_point now) {
  commandV_ = v;
  commandW_ = w;
  received_ = now;
}

void LiveVehicle::step(Clock::time_point now) {
  if (now <= stepped_) {
    return;
  }
  // The command drives until it times out, and a zero command after that.
  const Clock::time_point expiry = received_ + kCommandTimeout;
  if (expiry > stepped_) {
    const Clock::time_point driven = std::min(expiry, now);
    vehicle_.apply(commandV_, commandW_, seconds(driven - stepped_));
    stepped_ = driven;
  }
  if (now > stepped_) {
    vehicle_.apply(0.0, 0.0, seconds(now - stepped_));
  }
  stepped_ = now;
}

bool LiveVehicle::commandIsZero(Clock::time_point now) const {
  return !commandFresh(now) || (commandV_ == 0.0 && commandW_ == 0.0);
}

bool LiveVehicle::standing(Clock::time_point now) const {
  return commandIsZero(now) && vehicle_.appliedV() == 0.0 && vehicle_.appliedW() == 0.0;
}

}  // namespace sim
