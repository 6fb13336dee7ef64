"""Prints the fleet benchmark's table from the logs of its runs, one markdown row per fleet size,
and checks the fleet's targets against every row.

Usage: fleet_report.py RUN_FOLDER...

A run folder holds run.txt (lines 'robots N', 'started EPOCH_S', 'load L', 'cpu_s C', 'cores K',
'idle_s I', 'wall_s W': the launch time, the load average then, the CPU time of every node and
vehicle, the machine's cores and their idle time, over the run's wall time) and, for each robot K of 1..N, robotK-node.log, robotK-sim.log and
robotK-latency.csv (trelvo-node's --latency-log), and may hold window.txt (side_by_side.py's CPU
times of every node, DDS floor and UDP floor over one window: the same-window columns, not a
target).
A robot reached its route when its node logged
'route finished' and its vehicle 'reached the last waypoint'. Exits 1 when a target fails, or a
log is missing or incomplete (the node did not stop cleanly, or never took its route).
"""

import pathlib
import re
import statistics
import sys

import window_report

P99_TARGET_US = 1000.0  # pose to command, outside the controller's own pauses
NODE_CPU_TARGET = 0.01  # of one core, each node

# The node's log lines carry the local wall time to the millisecond. Its first command of a route
# comes in the cycle that has both the route and a pose.
# rclcpp's console form: "[INFO] [1796714488.250000000] [robot1.trelvo_node]: ...".
LOGGED_AT = r"\[[A-Z]+\] \[(\d+\.\d+)\] \[[^\]]+\]: "
ROUTE_TAKEN = re.compile(LOGGED_AT + "new route of")
FIRST_POSE = re.compile(LOGGED_AT + "first pose:")


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def read_latency(path):
    """(p99 of the steady cycles in us, CPU share of a core); None for what the file lacks."""
    steady, share = [], None
    if not path.exists():
        return None, None
    with path.open() as log:
        next(log, None)
        for line in log:
            if line.startswith("#"):
                fields = line.split()
                cpu, wall = float(fields[2]), float(fields[4])
                share = cpu / wall if wall > 0 else None
                continue
            latency, changed = line.strip().split(",")
            if changed == "0":
                steady.append(float(latency))
    return (percentile(steady, 0.99) if steady else None), share


def text_of(path):
    return path.read_text(errors="replace") if path.exists() else ""


def route_command_after(node_log, started):
    """Seconds from the fleet's start to the node's first command of its route, or None."""
    times = []
    for line in (ROUTE_TAKEN, FIRST_POSE):
        match = line.search(node_log)
        if not match:
            return None
        times.append(float(match.group(1)))
    return max(times) - started


class Robot:
    def __init__(self, folder, name, started):
        node_log = text_of(folder / f"{name}-node.log")
        self.name = name
        self.reached = ("route finished" in node_log and
                        "reached the last waypoint" in text_of(folder / f"{name}-sim.log"))
        self.route_after = route_command_after(node_log, started)
        self.p99_us, self.cpu_share = read_latency(folder / f"{name}-latency.csv")


class Run:
    def __init__(self, folder):
        folder = pathlib.Path(folder)
        fields = dict(line.split(None, 1) for line in (folder / "run.txt").read_text().splitlines()
                      if line.strip())
        self.size = int(fields["robots"])
        self.load = float(fields["load"])
        wall = float(fields["wall_s"])
        self.fleet_cores = float(fields["cpu_s"]) / wall
        cores = int(fields["cores"])
        self.machine_cores = cores - float(fields["idle_s"]) / wall
        started = float(fields["started"])
        self.robots = [Robot(folder, f"robot{k}", started) for k in range(1, self.size + 1)]
        window = window_report.read_window(folder)
        self.window = window[1] if window else {role: [] for role in window_report.ROLES}

    def values(self, attribute):
        return [getattr(robot, attribute) for robot in self.robots
                if getattr(robot, attribute) is not None]

    def missing(self, attribute):
        return [robot.name for robot in self.robots if getattr(robot, attribute) is None]


def spread(values, scale, digits, middle=statistics.median):
    if not values:
        return "none"
    return f"{middle(values) * scale:.{digits}f} / {max(values) * scale:.{digits}f}"


def window_columns(shares):
    """'node / DDS floor / UDP' as mean shares of a core over one window, then the two ratios."""
    if not all(shares.values()):
        return "none | none"
    means = " / ".join(f"{100 * statistics.mean(shares[role]):.2f}" for role in window_report.ROLES)
    node_floor, floor_udp = window_report.ratios(shares)
    return f"{means} | {node_floor:.2f} / {floor_udp:.2f}"


def row(run):
    reached = sum(robot.reached for robot in run.robots)
    return (f"| {run.size} | {reached} of {run.size} | {spread(run.values('route_after'), 1, 2)} | "
            f"{spread(run.values('cpu_share'), 100, 2, statistics.mean)} | "
            f"{window_columns(run.window)} | "
            f"{spread(run.values('p99_us'), 1, 0)} | {run.fleet_cores:.2f} of {run.machine_cores:.2f} | "
            f"{run.load:.2f} |")


def verdicts(run):
    """(holds, line) for each target of one fleet size."""
    lines = []

    def judge(name, holds, detail):
        lines.append((holds, f"target {run.size} robots, {name}: {detail} "
                             f"{'holds' if holds else 'fails'}"))

    unreached = [robot.name for robot in run.robots if not robot.reached]
    judge("every route reached", not unreached,
          f"not reached by {', '.join(unreached)}" if unreached else "all reached")
    for attribute, name, limit, scale, digits, unit in (
            ("cpu_share", "each node's CPU", NODE_CPU_TARGET, 100, 2, " % of a core"),
            ("p99_us", "each node's p99 pose to command", P99_TARGET_US, 1, 0, " us")):
        values, missing = run.values(attribute), run.missing(attribute)
        worst = max(values) if values else None
        detail = (f"worst {worst * scale:.{digits}f}{unit}" if values else "no figure") + \
            f" (under {limit * scale:g}{unit})" + \
            (f", no figure from {', '.join(missing)}" if missing else "")
        judge(name, not missing and worst < limit, detail)
    missing = run.missing("route_after")
    if missing:
        judge("route driven", False, f"no route command from {', '.join(missing)}")
    return lines


def main(folders):
    runs = [Run(folder) for folder in folders]
    print("| robots | routes reached | start to route command, median / worst (s) | "
          "node CPU, mean / worst (% of a core) | same window: node / DDS floor / UDP floor, mean "
          "(% of a core) | node ÷ DDS floor / DDS floor ÷ UDP | "
          "p99 pose to command, median / worst node (µs) | "
          "fleet CPU of the machine's (cores) | load average at the start |")
    print("|---|---|---|---|---|---|---|---|---|")
    for run in runs:
        print(row(run))
    print()
    held = True
    for run in runs:
        for holds, line in verdicts(run):
            held &= holds
            print(line)
    return 0 if held else 1


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1:]))
