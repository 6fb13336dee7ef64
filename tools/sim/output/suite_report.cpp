#include "sim/output/suite_report.hpp"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "sim/output/report.hpp"
#include "sim/run/scenario_path.hpp"

namespace sim {
namespace {

// A figure in a column of `width` with `decimals`: '-' when the run has no such figure, '*'
// after one that broke its criterion.
std::string cell(const Measure& measure, int width, int decimals) {
  const std::string text = std::isnan(measure.value)
                               ? std::string("-")
                               : fmt::format("{:.{}f}", measure.value, decimals);
  return fmt::format("{:>{}}{}", text, width, measure.failed ? "*" : " ");
}

// The legs each route of waypoints became.
void printRoutes(std::FILE* out, const Suite& suite) {
  for (const SuiteScenario& scenario : suite.scenarios) {
    if (!scenario.scenario.waypoints.empty()) {
      fmt::print(out, "  {}: {}\n", scenario.name, describeLegs(routeLegs(scenario.scenario)));
    }
  }
}

}  // namespace

void printSuiteTable(std::FILE* out, const Suite& suite, const std::string& file,
                     const std::vector<Verdict>& verdicts) {
  std::size_t nameWidth = 8;
  for (const SuiteScenario& scenario : suite.scenarios) {
    nameWidth = std::max(nameWidth, scenario.name.size());
  }
  fmt::print(out, "suite {}: {} from {}\n", suite.name, countOf(suite.scenarios.size(), "scenario"),
             file);
  // Each figure's column: its width, then the '*' mark.
  fmt::print(out, "  {:<{}} {:<6}{:>9}  {:>8}  {:>6}  {:>12}  {:>9}  {:>12}  {:>9}  {:>6}\n", "",
             nameWidth, "", "position", "heading", "time", "cross-track", "distance", "first turn",
             "clearance", "stood");
  fmt::print(out, "  {:<{}} {:<6}{:>9}  {:>8}  {:>6}  {:>12}  {:>9}  {:>5}  {:>5}  {:>9}  {:>6}\n",
             "scenario", nameWidth, "result", "m", "deg", "s", "line move m", "ratio", "m", "deg",
             "m", "s");
  int passed = 0;
  for (std::size_t i = 0; i < verdicts.size(); ++i) {
    const Verdict& v = verdicts[i];
    passed += v.passed ? 1 : 0;
    std::string row =
        fmt::format("  {:<{}} {:<6}{} {} {} {} {} {} {} {} {}", suite.scenarios[i].name, nameWidth,
                    v.passed ? "pass" : "FAIL", cell(v.positionError, 9, 4),
                    cell(v.headingError, 8, 2), cell(v.time, 6, 2), cell(v.crossTrack, 12, 4),
                    cell(v.distanceRatio, 9, 3), cell(v.firstTurnTravel, 5, 3),
                    cell(v.lineStartOffset, 5, 1), cell(v.clearance, 9, 3), cell(v.waited, 6, 2));
    row.erase(row.find_last_not_of(' ') + 1);
    fmt::print(out, "{}\n", row);
  }
  printRoutes(out, suite);
  for (std::size_t i = 0; i < verdicts.size(); ++i) {
    if (!verdicts[i].passed) {
      fmt::print(out, "  {} failed:\n", suite.scenarios[i].name);
      for (const std::string& reason : verdicts[i].failures) {
        fmt::print(out, "    {}\n", reason);
      }
    }
  }
  fmt::print(out, "suite: {}/{} scenarios passed\n", passed, verdicts.size());
}

std::string describeMeasures(const Verdict& v) {
  const auto figure = [](const Measure& measure, int decimals) {
    return std::isnan(measure.value) ? std::string("-")
                                     : fmt::format("{:.{}f}", measure.value, decimals);
  };
  return fmt::format(
      "position error {} m, heading error {} deg, time {} s, largest cross-track error of the "
      "line move {} m, distance ratio {}, first turn travelled {} m, line move started {} deg "
      "off the line, smallest clearance {} m, stood {} s for obstacles",
      figure(v.positionError, 4), figure(v.headingError, 2), figure(v.time, 2),
      figure(v.crossTrack, 4), figure(v.distanceRatio, 3), figure(v.firstTurnTravel, 3),
      figure(v.lineStartOffset, 1), figure(v.clearance, 3), figure(v.waited, 2));
}

std::string failureLine(const Verdict& verdict) {
  return fmt::format("{}", fmt::join(verdict.failures, "; "));
}

}  // namespace sim
