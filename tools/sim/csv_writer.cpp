#include "sim/csv_writer.hpp"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "sim/output_folder.hpp"

namespace sim {

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
    fmt::print(out, ",{:.9g},{:.9g}\n", r.headingError, r.crossTrack);
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
    fmt::print(out, "{},{},{},{},{},{},{},{},{},{},{:.9g},{:.9g},{:.9g}\n", run.index, s.start.x,
               s.start.y, run.startHeadingDegrees, s.goal.x, s.goal.y, run.goalHeadingDegrees,
               s.noiseSeed, outcomeKey(r.outcome), r.cycles, r.simulatedTime, r.positionError,
               toDegrees(r.headingError));
  }
  pending.commit();
}

}  // namespace sim
