#include "sim/output/csv_writer.hpp"

#include <cmath>
#include <string>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "sim/output/output_folder.hpp"
#include "sim/output/suite_report.hpp"

namespace sim {
namespace {

// A field that may hold commas and quotes, quoted as CSV readers expect.
std::string quoted(const std::string& text) {
  if (text.empty()) {
    return text;
  }
  std::string field = "\"";
  for (const char c : text) {
    field += c == '"' ? std::string("\"\"") : std::string(1, c);
  }
  return field + "\"";
}

// A gap that is infinite (no obstacle) as an empty field.
std::string gapField(double gap) {
  return std::isfinite(gap) ? fmt::format("{:.9g}", gap) : std::string();
}

}  // namespace

const char* actionKey(trelvo::ClearanceAction action) {
  switch (action) {
    case trelvo::ClearanceAction::Go:
      return "go";
    case trelvo::ClearanceAction::Slow:
      return "slow";
    case trelvo::ClearanceAction::Stop:
      break;
  }
  return "stop";
}

void writeTraceCsv(const std::filesystem::path& file, const std::vector<CycleRecord>& trace) {
  PendingFile pending(file);
  std::ofstream& out = pending.stream();
  fmt::print(out, "{}\n", kTraceHeader);
  for (const CycleRecord& r : trace) {
    fmt::print(out, "{:.9g},{:.9g},{:.9g},{:.9g},{},{:.9g},{:.9g},", r.time, r.pose.x, r.pose.y,
               r.pose.heading, phaseKey(r.phase), r.v, r.w);
    if (r.hasLookAhead) {
      fmt::print(out, "{:.9g},{:.9g}", r.lookAheadX, r.lookAheadY);
    } else {
      out << ',';
    }
    fmt::print(out, ",{:.9g},{:.9g},{},{}\n", r.headingError, r.crossTrack, actionKey(r.action),
               gapField(r.clearance));
  }
  pending.commit();
}

void writeBatchCsv(const std::filesystem::path& file, const std::vector<BatchRun>& runs) {
  PendingFile pending(file);
  std::ofstream& out = pending.stream();
  fmt::print(out, "{}\n", kBatchHeader);
  for (const BatchRun& run : runs) {
    const Scenario& s = run.scenario;
    const RunResult& r = run.result;
    // Headings as drawn, so that a row can be replayed exactly with --start and --goal.
    fmt::print(out, "{},{},{},{},{},{},{},{},{},{},{:.9g},{:.9g},{:.9g},{},{},{},{:.9g}\n",
               run.index, s.start.x, s.start.y, run.startHeadingDegrees, s.goal.x, s.goal.y,
               run.goalHeadingDegrees, s.noiseSeed, outcomeKey(r.outcome), r.cycles,
               r.simulatedTime, r.positionError, common::toDegrees(r.headingError),
               s.obstacles.size(), gapField(r.minClearance), r.waits, r.waitTime);
  }
  pending.commit();
}

void writeSuiteCsv(const std::filesystem::path& file, const Suite& suite,
                   const std::vector<Verdict>& verdicts) {
  const auto figure = [](const Measure& measure) {
    return std::isnan(measure.value) ? std::string() : fmt::format("{:.9g}", measure.value);
  };
  PendingFile pending(file);
  std::ofstream& out = pending.stream();
  fmt::print(out, "{}\n", kSuiteHeader);
  for (std::size_t i = 0; i < verdicts.size(); ++i) {
    const Verdict& v = verdicts[i];
    fmt::print(out, "{},{},{},{},{},{},{},{},{},{},{},{}\n", suite.scenarios[i].name,
               v.passed ? "pass" : "fail", figure(v.positionError), figure(v.headingError),
               figure(v.time), figure(v.crossTrack), figure(v.distanceRatio),
               figure(v.firstTurnTravel), figure(v.lineStartOffset), figure(v.clearance),
               figure(v.waited), quoted(failureLine(v)));
  }
  pending.commit();
}

}  // namespace sim
