#include "sim/run/failure_reason.hpp"

#include <fmt/format.h>

namespace sim {

std::string failureReason(const RunResult& result, const RunSettings& settings) {
  switch (result.outcome) {
    case Outcome::Reached:
      return {};
    case Outcome::OutsideTolerance:
      return fmt::format("ended outside the tolerances ({:.4g} m, {:.4g} deg)",
                         settings.positionTolerance, common::toDegrees(settings.headingTolerance));
    case Outcome::TimeLimit:
      return fmt::format("not finished within the time limit of {} s{}", settings.timeLimit,
                         result.blockedAtEnd ? ", standing for an obstacle" : "");
    case Outcome::BadCommand:
      return "the controller handed out a command beyond +-0.5: " + result.badCommand;
    case Outcome::Contact:
      break;
  }
  return fmt::format("touched an obstacle at {:.2f} s", result.contactTime);
}

}  // namespace sim
