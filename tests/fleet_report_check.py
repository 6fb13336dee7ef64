"""The fleet benchmark's report over a fleet of two robots whose logs are written as trelvo-node,
its --latency-log and trelvo-sim --dds write them: a fleet where everything holds, then one fault
at a time, each of which must show in the table and fail a target.

Usage: fleet_report_check.py FLEET_REPORT_PY
"""

import pathlib
import subprocess
import sys
import tempfile

STARTED = 1796714488.25




def node_log(name, route_at, pose_at, finished=True):
    lines = [(0.1, "trelvo-node 1.0.0 started on DDS domain 201, namespace /{name}: 20 Hz"),
             (route_at, "new route of 2 legs in odom: (0.000, 0.000) -> (3.000, 0.000) -> "
                        "(3.000, 1.500), goal heading 90.0 deg"),
             (pose_at, "first pose: (0.000, 0.000, 0.0 deg) in odom")]
    if finished:
        lines.append((20.0, "route finished at (3.007, 1.495, 90.2 deg): 0.009 m and 0.2 deg "
                            "from the goal (3.000, 1.500, 90.0 deg)"))
    lines.sort()
    return "".join(f"[INFO] [{STARTED + at:.9f}] [{name}.trelvo_node]: {text.format(name=name)}\n"
                   for at, text in lines)


REACHED = ("reached the last waypoint, standing within 0.07071 m and 5 deg\n"
           "  final position error  0.0070 m\n")
NOT_REACHED = ("not standing at the last waypoint at the time limit of 170 s\n"
               "  final position error  1.2000 m\n")


def latency_log(first_us, cpu_s, wall_s=20.0, closed=True):
    # 200 steady cycles first_us .. first_us + 199 and three at a change of state (the controller
    # pauses there on purpose), which the p99 leaves out.
    rows = ["latency_us,progress_changed", "108.764,1", "10667.042,1", "10524.700,1"]
    rows += [f"{first_us + i:.3f},0" for i in range(200)]
    if closed:
        rows.append(f"# cpu_s {cpu_s:.6f} wall_s {wall_s:.6f}")
    return "\n".join(rows) + "\n"


def window(node_s=(0.10, 0.14), floor_s=(0.08, 0.12), udp_s=(0.02, 0.03), window_s=20.0):
    # CPU seconds of each robot's node, DDS floor and UDP floor over one window of window_s.
    lines = ["mode driving", f"window_s {window_s}"]
    for role, seconds in (("node", node_s), ("dds_floor", floor_s), ("udp_floor", udp_s)):
        lines += [f"{role} robot{k} {value:.6f}" for k, value in enumerate(seconds, 1)]
    return "\n".join(lines) + "\n"


def healthy_fleet():
    return {
        "run.txt": f"robots 2\nstarted {STARTED}\nload 0.31\ncpu_s 10.0\ncores 2\nidle_s 26.0\nwall_s 20.0\n",
        "robot1-node.log": node_log("robot1", route_at=0.3, pose_at=0.2),
        "robot1-sim.log": "plan: route of 3 poses sent to 1 subscriber\n" + REACHED,
        "robot1-latency.csv": latency_log(1.0, 0.10),
        "robot2-node.log": node_log("robot2", route_at=0.4, pose_at=0.5),
        "robot2-sim.log": "plan: route of 3 poses sent to 1 subscriber\n" + REACHED,
        "robot2-latency.csv": latency_log(101.0, 0.196, wall_s=28.0),
        "window.txt": window(),
    }


# p99 of 200 cycles is the 199th smallest: 199 us and 299 us; CPU 0.5 % and 0.7 % of a core. Over
# the window, nodes 0.5 % and 0.7 % (mean 0.6), DDS floors 0.4 % and 0.6 % (0.5), UDP floors 0.1 %
# and 0.15 % (0.125): node / floor 1.2, floor / UDP 4.0.
HEALTHY_ROW = ("| 2 | 2 of 2 | 0.40 / 0.50 | 0.60 / 0.70 | 0.60 / 0.50 / 0.12 | 1.20 / 4.00 | "
               "249 / 299 | 0.50 of 0.70 | 0.31 |")

CASES = [
    # (what is wrong, files changed, exit status, lines that must be printed)
    ("nothing", {}, 0, [HEALTHY_ROW, "target 2 robots, every route reached: all reached holds",
                        "each node's CPU: worst 0.70 % of a core (under 1 % of a core) holds",
                        "each node's p99 pose to command: worst 299 us (under 1000 us) holds"]),
    ("a vehicle short of its goal while its node finished",
     {"robot2-sim.log": NOT_REACHED}, 1,
     ["| 2 | 1 of 2 |", "every route reached: not reached by robot2 fails"]),
    ("a node that never finished its route",
     {"robot1-node.log": node_log("robot1", 0.3, 0.2, finished=False)}, 1,
     ["| 2 | 1 of 2 |", "every route reached: not reached by robot1 fails"]),
    ("a node stopped without its CPU line",
     {"robot2-latency.csv": latency_log(101.0, 0.196, wall_s=28.0, closed=False)}, 1,
     ["| 2 | 2 of 2 | 0.40 / 0.50 | 0.50 / 0.50 | 0.60 / 0.50 / 0.12 | 1.20 / 4.00 | 249 / 299 |",
      "each node's CPU: worst 0.50 % of a core (under 1 % of a core), no figure from robot2 fails"]),
    ("a node over 1 % of a core", {"robot1-latency.csv": latency_log(1.0, 0.21)}, 1,
     ["each node's CPU: worst 1.05 % of a core (under 1 % of a core) fails"]),
    ("a p99 at 1 ms", {"robot2-latency.csv": latency_log(802.0, 0.196, wall_s=28.0)}, 1,
     ["each node's p99 pose to command: worst 1000 us (under 1000 us) fails"]),
    ("a p99 just under 1 ms", {"robot2-latency.csv": latency_log(801.0, 0.196, wall_s=28.0)}, 0,
     ["each node's p99 pose to command: worst 999 us (under 1000 us) holds"]),
    ("a node that never took its route",
     {"robot2-node.log": "", "robot2-sim.log": NOT_REACHED}, 1,
     ["| 2 | 1 of 2 | 0.30 / 0.30 |", "route driven: no route command from robot2 fails"]),
    ("no window measured", {"window.txt": None},
     0, ["| 2 | 2 of 2 | 0.40 / 0.50 | 0.60 / 0.70 | none | none | 249 / 299 |"]),
    ("a floor that gave no figure", {"window.txt": window(floor_s=())},
     0, ["| 2 | 2 of 2 | 0.40 / 0.50 | 0.60 / 0.70 | none | none | 249 / 299 |"]),
    ("a node whose log is missing", {"robot1-node.log": None}, 1,
     ["not reached by robot1 fails", "no route command from robot1 fails"]),
]


def main(report):
    failures = []
    for name, changes, status, expected in CASES:
        with tempfile.TemporaryDirectory() as folder:
            files = {**healthy_fleet(), **changes}
            for file, text in files.items():
                if text is not None:
                    (pathlib.Path(folder) / file).write_text(text)
            result = subprocess.run([sys.executable, report, folder], capture_output=True,
                                    text=True, check=False)
        output = result.stdout + result.stderr
        if result.returncode != status:
            failures.append(f"{name}: exit status {result.returncode}, not {status}\n{output}")
        for line in expected:
            if line not in output:
                failures.append(f"{name}: no line with '{line}' in\n{output}")
    for failure in failures:
        print(failure)
    print(f"{len(CASES)} cases, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
