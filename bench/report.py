"""Prints the benchmark figures of trelvo_bench runs and checks the cost targets.

Usage: report.py RESULT.json [RESULT.json ...]  (Google Benchmark JSON output)

Each figure is the median CPU time per call over the repetitions. A target compares a benchmark
with the floor it is held against; the ratio must not exceed the limit. Exits 1 when a figure
that a target needs is missing (the benchmark was skipped or not run), else 0.
"""

import json
import sys

# (what is held, benchmark, floor, limit); a limit of None prints the ratio only.
RATIOS = [
    ("first-turn cycle at info / formatting its messages",
     "ControllerCycle/FirstTurn", "MessageFormatting/FirstTurn", None),
    ("line-move cycle at info / formatting its messages",
     "ControllerCycle/LineMove", "MessageFormatting/LineMove", 1.00),
    ("final-turn cycle at info / formatting its messages",
     "ControllerCycle/FinalTurn", "MessageFormatting/FinalTurn", None),
    ("line-move cycle at debug, console to /dev/null / formatting its messages",
     "ControllerCycleAtDebug/LineMove", "MessageFormatting/LineMove", None),
] + [
    (f"{search} / linear scan at {count} elements",
     f"Geometry/{search}/{count}", f"Geometry/{scan}/{count}", limit if count == 100000 else None)
    # An index node per element bounds the point search: its scan costs only a few ns per element.
    for search, scan, limit in (("getNearestPoint", "PointScan", 20.0),
                                ("getNearestLine", "LineScan", 8.0))
    for count in (10, 1000, 100000)
]

SCALE = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load_figures(paths):
    """Benchmark name -> median CPU time in nanoseconds."""
    figures = {}
    for path in paths:
        with open(path, encoding="utf-8") as result:
            benchmarks = json.load(result)["benchmarks"]
        for run in benchmarks:
            if run.get("error_occurred"):
                continue
            if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
                continue
            name = run.get("run_name", run["name"])
            figures[name] = run["cpu_time"] * SCALE[run.get("time_unit", "ns")]
    return figures


def readable(nanoseconds):
    for unit, size in (("ms", 1e6), ("us", 1e3)):
        if nanoseconds >= size:
            return f"{nanoseconds / size:9.2f} {unit}"
    return f"{nanoseconds:9.2f} ns"


def main(paths):
    figures = load_figures(paths)
    print("figures: median CPU time per call")
    for name in sorted(figures):
        print(f"  {name:40s}{readable(figures[name])}")

    print("ratios")
    missing = False
    for label, benchmark, floor, limit in RATIOS:
        if benchmark not in figures or floor not in figures:
            print(f"  {label}: not measured")
            missing = missing or limit is not None
            continue
        ratio = figures[benchmark] / figures[floor]
        if limit is None:
            print(f"  {label}: ratio {ratio:.2f}")
        else:
            verdict = "holds" if ratio <= limit else "fails"
            print(f"  target {label}: ratio {ratio:.2f} (limit {limit:.2f}) {verdict}")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
