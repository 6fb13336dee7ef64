#include "sim/output/report.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "sim/output/statistics.hpp"
#include "sim/run/scenario_path.hpp"
#include "sim/world/obstacle_text.hpp"

namespace sim {
namespace {

// Failed scenarios listed under the batch table; the CSV has them all.
constexpr std::size_t kListedFailures = 10;

std::string noiseWords(const common::VehicleSettings& vehicle) {
  if (vehicle.noiseXY == 0.0 && vehicle.noiseHeading == 0.0) {
    return "noise off";
  }
  return fmt::format("noise {} m / {} deg", vehicle.noiseXY,
                     common::toDegrees(vehicle.noiseHeading));
}

std::string accelWords(const common::VehicleSettings& vehicle) {
  std::string words;
  if (vehicle.maxAccel > 0.0) {
    words += fmt::format(", acceleration limit {} m/s2", vehicle.maxAccel);
  }
  if (vehicle.maxTurnAccel > 0.0) {
    words += fmt::format(", turn acceleration limit {} rad/s2", vehicle.maxTurnAccel);
  }
  return words;
}

std::string poseWords(const common::Pose2D& pose) {
  return fmt::format("({:.3f}, {:.3f}) heading {:.1f} deg", pose.x, pose.y,
                     common::toDegrees(pose.heading));
}

// How the runs among obstacles went: contacts, waits and the smallest clearance.
void printBatchObstacles(std::FILE* out, const std::vector<BatchRun>& runs) {
  int contacts = 0;
  int waited = 0;
  int blocked = 0;
  long long waits = 0;
  std::vector<double> waitTimes;
  double smallest = std::numeric_limits<double>::infinity();
  std::size_t obstacles = 0;
  for (const BatchRun& run : runs) {
    const RunResult& r = run.result;
    obstacles += run.scenario.obstacles.size();
    contacts += r.outcome == Outcome::Contact ? 1 : 0;
    blocked += r.blockedAtEnd ? 1 : 0;
    smallest = std::min(smallest, r.minClearance);
    if (r.waits > 0) {
      ++waited;
      waits += r.waits;
      waitTimes.push_back(r.waitTime);
    }
  }
  if (obstacles == 0) {
    return;
  }
  const Spread wait = spreadOf(waitTimes);
  fmt::print(out, "  obstacles                 {}, contact in {}, smallest clearance {:.3f} m\n",
             obstacles, countOf(contacts, "run"), smallest);
  fmt::print(out, "  stood for obstacles       {} ({}), {} blocked at the end\n",
             countOf(waited, "run"), countOf(waits, "time"), blocked);
  fmt::print(out, "  time stood            s   {:9.2f} {:9.2f} {:9.2f}  ({} that stood)\n",
             wait.median, wait.p95, wait.worst, countOf(waitTimes.size(), "run"));
}

}  // namespace

const char* vehicleName(common::VehicleKind kind) {
  return kind == common::VehicleKind::Differential ? "differential" : "unicycle";
}

std::string describeSettings(const RunSettings& settings) {
  const common::VehicleSettings& vehicle = settings.vehicle;
  std::string words = fmt::format("{} vehicle", vehicleName(vehicle.kind));
  if (vehicle.kind == common::VehicleKind::Differential) {
    words += fmt::format(" (wheels {} m apart)", vehicle.width);
  }
  return words + fmt::format(", period {} s, {}{}", settings.period, noiseWords(vehicle),
                             accelWords(vehicle));
}

std::string describeLegs(const std::vector<trelvo::Leg>& legs) {
  std::string words = fmt::format("{} {}:", legs.size(), legs.size() == 1 ? "leg" : "legs");
  for (std::size_t i = 0; i < legs.size(); ++i) {
    if (i == 0) {
      words += fmt::format(" ({:g}, {:g})", legs[i].start.x, legs[i].start.y);
    }
    words += fmt::format(" -> ({:g}, {:g})", legs[i].end.x, legs[i].end.y);
  }
  return words;
}

void printRunHeader(std::FILE* out, const Scenario& scenario, const RunSettings& settings) {
  fmt::print(out, "trelvo-sim: {}\n", describeSettings(settings));
  fmt::print(out, "start {}, goal {}\n", poseWords(scenario.start), poseWords(scenario.goal));
}

void printPhase(std::FILE* out, const PhaseStats& phase, std::size_t legs) {
  if (legs > 1) {
    fmt::print(out, "leg {} ", phase.leg + 1);
  }
  fmt::print(out, "{:<12} {:8.2f} s {:8.3f} m travelled, largest cross-track error {:.4f} m{}\n",
             std::string(phaseName(phase.phase)) + ":", phase.duration, phase.distance,
             phase.maxCrossTrack, phase.completed ? "" : " (stopped before it ended)");
}

void printSummary(std::FILE* out, const Scenario& scenario, const RunResult& result,
                  const RunSettings& settings) {
  fmt::print(out, "summary\n");
  if (!scenario.waypoints.empty()) {
    fmt::print(out, "  route                 {}\n", describeLegs(routeLegs(scenario)));
  }
  if (succeeded(result)) {
    fmt::print(out,
               "  finished              yes, within {:.4g} m and {:.4g} deg of the goal pose\n",
               settings.positionTolerance, common::toDegrees(settings.headingTolerance));
  } else {
    fmt::print(out, "  finished              {} {}\n",
               result.finished ? "yes, but" : "no:", failureReason(result, settings));
  }
  fmt::print(out, "  cycles                {}\n", result.cycles);
  fmt::print(out, "  simulated time        {:.2f} s\n", result.simulatedTime);
  fmt::print(out, "  final position error  {:.4f} m\n", result.positionError);
  fmt::print(out, "  final heading error   {:.2f} deg\n", common::toDegrees(result.headingError));
  if (!scenario.obstacles.empty()) {
    printObstacleSummary(out, scenario, result);
  }
}

void printObstacleSummary(std::FILE* out, const Scenario& scenario, const RunResult& result) {
  fmt::print(out, "  obstacles             {}, smallest clearance {:.3f} m{}\n",
             scenario.obstacles.size(), std::max(result.minClearance, 0.0),
             result.outcome == Outcome::Contact ? ", CONTACT" : "");
  fmt::print(out, "  stood for obstacles   {}, {:.2f} s{}; slowed {:.2f} s\n",
             countOf(result.waits, "time"), result.waitTime,
             result.blockedAtEnd ? ", still standing at the end" : "", result.slowTime);
}

std::string countOf(std::size_t count, const std::string& noun) {
  return fmt::format("{} {}{}", count, noun, count == 1 ? "" : "s");
}

std::string replayCommand(const std::string& program, const BatchRun& run,
                          const RunSettings& settings) {
  const Scenario& s = run.scenario;
  const common::VehicleSettings& vehicle = settings.vehicle;
  const RunSettings defaults;
  std::string command =
      fmt::format("{} --start={},{},{} --goal={},{},{} --seed {}", program, s.start.x, s.start.y,
                  run.startHeadingDegrees, s.goal.x, s.goal.y, run.goalHeadingDegrees, s.noiseSeed);
  if (vehicle.kind != defaults.vehicle.kind) {
    command += fmt::format(" --mode {} --width {}", vehicleName(vehicle.kind), vehicle.width);
  }
  const auto addIfChanged = [&command](const char* option, double value, double usual) {
    if (value != usual) {
      command += fmt::format(" {} {}", option, value);
    }
  };
  addIfChanged("--period", settings.period, defaults.period);
  addIfChanged("--time-limit", settings.timeLimit, defaults.timeLimit);
  addIfChanged("--max-accel", vehicle.maxAccel, 0.0);
  addIfChanged("--max-turn-accel", vehicle.maxTurnAccel, 0.0);
  addIfChanged("--noise-xy", vehicle.noiseXY, 0.0);
  addIfChanged("--noise-heading", common::toDegrees(vehicle.noiseHeading), 0.0);
  addIfChanged("--position-tolerance", settings.positionTolerance, defaults.positionTolerance);
  addIfChanged("--heading-tolerance", common::toDegrees(settings.headingTolerance),
               common::toDegrees(defaults.headingTolerance));
  for (const Obstacle& obstacle : s.obstacles) {
    command += " --obstacle " + obstacleText(obstacle);
  }
  return command;
}

void printBatchTable(std::FILE* out, const std::vector<BatchRun>& runs, const BatchFigures& figures,
                     const BatchSettings& batch, const RunSettings& settings,
                     const std::string& program) {
  std::vector<double> positionErrors;
  std::vector<double> headingErrors;
  std::vector<double> timesToGoal;
  for (const BatchRun& run : runs) {
    positionErrors.push_back(run.result.positionError);
    headingErrors.push_back(std::fabs(common::toDegrees(run.result.headingError)));
    if (run.result.finished) {
      timesToGoal.push_back(run.result.simulatedTime);
    }
  }
  const Spread position = spreadOf(positionErrors);
  const Spread heading = spreadOf(headingErrors);
  const Spread time = spreadOf(timesToGoal);

  fmt::print(out, "batch: {} within {} m of the origin, seed {}, {}\n",
             countOf(figures.runs, "scenario"), batch.radius, batch.seed,
             describeSettings(settings));
  fmt::print(out, "  success rate              {}/{} ({:.1f} %)\n", figures.successes, figures.runs,
             figures.runs > 0 ? 100.0 * figures.successes / figures.runs : 0.0);
  fmt::print(out, "                            {:>9} {:>9} {:>9}\n", "median", "p95", "worst");
  fmt::print(out, "  final position error  m   {:9.4f} {:9.4f} {:9.4f}\n", position.median,
             position.p95, position.worst);
  fmt::print(out, "  final heading error   deg {:9.3f} {:9.3f} {:9.3f}\n", heading.median,
             heading.p95, heading.worst);
  fmt::print(out, "  time to goal          s   {:9.2f} {:9.2f} {:9.2f}  ({})\n", time.median,
             time.p95, time.worst, countOf(timesToGoal.size(), "finished run"));
  const auto perSecond = [](double amount, double seconds) {
    return seconds > 0.0 ? amount / seconds : 0.0;
  };
  fmt::print(out,
             "  simulated {} cycles ({:.0f} s) in {:.2f} s wall, {:.0f}x real time: {:.0f} cycles "
             "per second\n",
             figures.cycles, figures.simulatedSeconds, figures.wallSeconds,
             perSecond(figures.simulatedSeconds, figures.wallSeconds),
             perSecond(static_cast<double>(figures.cycles), figures.wallSeconds));
  fmt::print(out, "  ({:.2f} s CPU in {} {}: {:.0f} cycles per CPU second)\n", figures.cpuSeconds,
             figures.jobs, figures.jobs == 1 ? "process" : "worker processes",
             perSecond(static_cast<double>(figures.cycles), figures.cpuSeconds));

  printBatchObstacles(out, runs);

  std::size_t listed = 0;
  for (const BatchRun& run : runs) {
    if (succeeded(run.result)) {
      continue;
    }
    if (listed++ == kListedFailures) {
      fmt::print(out, "  ... and {} (see the CSV)\n",
                 countOf(figures.runs - figures.successes - kListedFailures, "more failed run"));
      break;
    }
    fmt::print(out, "  failed #{}: {}\n    replay: {}\n", run.index,
               failureReason(run.result, settings), replayCommand(program, run, settings));
  }
}

}  // namespace sim
