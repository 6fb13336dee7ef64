#pragma once

// The simulated vehicle in real time, as a vehicle driver on a network runs it: commands arrive
// whenever their sender sends them, and the vehicle drives on under the latest one for the real
// time that passes between steps.

#include <chrono>
#include <cstdint>

#include "common/pose.hpp"
#include "common/vehicle.hpp"
#include "common/vehicle_settings.hpp"

namespace sim {

/// A command older than this counts as a zero command, as diff_drive_controller's cmd_vel
/// timeout: a sender that falls silent stops the vehicle instead of letting it drive on.
inline constexpr std::chrono::milliseconds kCommandTimeout{500};

class LiveVehicle {
 public:
  using Clock = std::chrono::steady_clock;

  LiveVehicle(const common::VehicleSettings& settings, const common::Pose2D& start,
              std::uint64_t noiseSeed, Clock::time_point now);

  /// Takes a command (m/s, rad/s) received at `now`; it is in force from the next step on.
  void receiveCommand(double v, double w, Clock::time_point now);
  /// Drives from the previous step to `now` under the command in force.
  void step(Clock::time_point now);

  /// True when the command in force at `now` is zero, or there is none, or it timed out.
  bool commandIsZero(Clock::time_point now) const;
  /// Commanded to stand, and standing: the applied speeds have come down to zero.
  bool standing(Clock::time_point now) const;

  const common::Vehicle& vehicle() const { return vehicle_; }
  common::Vehicle& vehicle() { return vehicle_; }

 private:
  bool commandFresh(Clock::time_point now) const { return now < received_ + kCommandTimeout; }

  common::Vehicle vehicle_;
  Clock::time_point stepped_;
  double commandV_ = 0.0;
  double commandW_ = 0.0;
  Clock::time_point received_;
};

}  // namespace sim
