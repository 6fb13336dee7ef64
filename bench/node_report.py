"""Prints trelvo-node's per-cycle latency and CPU share from its --latency-log file.

Usage: node_report.py LATENCY.csv

The file has one row per control cycle, latency_us (from taking the newest pose to the command
written) and progress_changed (1 where the route changed state or leg: the controller pauses
about 10 ms there on purpose), and a closing line '# cpu_s C wall_s W'. The node's share beside
its floors, over the same window, is window_report.py's. Exits 1 when a target fails.
"""

import statistics
import sys

P99_TARGET_US = 1000.0  # outside the controller's own pauses
CPU_TARGET = 0.02  # of one core, at 20 Hz


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def main(path):
    steady, changes, cpu, wall = [], [], None, None
    with open(path) as log:
        next(log)
        for line in log:
            if line.startswith("#"):
                fields = line.split()
                cpu, wall = float(fields[2]), float(fields[4])
                continue
            latency, changed = line.strip().split(",")
            (changes if changed == "1" else steady).append(float(latency))
    print(f"trelvo-node: {len(steady) + len(changes)} cycles in {wall:.1f} s")
    print(f"  pose to command, steady cycles ({len(steady)}): median {statistics.median(steady):.1f} us,"
          f" p99 {percentile(steady, 0.99):.1f} us, worst {max(steady):.1f} us")
    if changes:
        print(f"  pose to command, cycles at a change of state or leg ({len(changes)}):"
              f" median {statistics.median(changes):.1f} us, worst {max(changes):.1f} us")
    share = cpu / wall
    print(f"  CPU {cpu:.3f} s in {wall:.1f} s: {100 * share:.2f} % of a core")
    held = True
    for name, value, limit, unit in (("p99 pose to command", percentile(steady, 0.99), P99_TARGET_US, "us"),
                                     ("CPU share", share, CPU_TARGET, "")):
        verdict = "holds" if value <= limit else "fails"
        held &= value <= limit
        print(f"target {name}: {value:.4g} (limit {limit:g}{unit}) {verdict}")
    return 0 if held else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
