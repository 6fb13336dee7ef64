"""One round of trelvo-node beside its floors, over the same wall window, on loopback only.

Usage: side_by_side.py BUILD FOLDER ROBOTS driving|standing [NODE_ARGUMENT...]

Starts, at the same moment, three groups of ROBOTS each, every program against a vehicle of its
own: trelvo-node robotK with trelvo-sim --dds robotK (driving: the vehicle hands the node an L of 3
m and 1.5 m, 2 m beside the next robot's; standing: no route) on the DDS domain ROS_DOMAIN_ID;
trelvo-dds-floor robotK beside a standing vehicle on the next domain; and trelvo-udp-floor, the
same datagrams on plain UDP. Once discovery has settled it reads every node's and floor's CPU time
(every thread, from /proc/PID/task/*/schedstat), and again when the window ends: when the last
driving vehicle ends (at its goal or its time limit), or after TRELVO_STANDING_SECONDS (20) when
standing. So the three are measured over the same seconds of the same machine.

FOLDER receives what fleet_report.py reads: run.txt (the launch, the load, the CPU of every node
and vehicle of the node group, the machine's idle time), robotK-node.log, robotK-sim.log,
robotK-latency.csv, robotK-dds-floor.txt, robotK-udp-floor.txt, and window.txt ('mode M',
'window_s W', then 'node|dds_floor|udp_floor robotK CPU_S' per program). Exits 1 when a floor program failed (its
commands reached no reader) or a program did not stop.
"""

import os
import pathlib
import signal
import subprocess
import sys
import time

TIMEOUT_S = int(os.environ.get("TRELVO_FLEET_TIMEOUT", "180"))
STANDING_S = float(os.environ.get("TRELVO_STANDING_SECONDS", "20"))


def loopback_uri(participants):
    return ('<CycloneDDS><Domain id="any"><General><Interfaces><NetworkInterface name="lo"/>'
            "</Interfaces><AllowMulticast>false</AllowMulticast></General><Discovery>"
            "<ParticipantIndex>auto</ParticipantIndex>"
            f"<MaxAutoParticipantIndex>{participants}</MaxAutoParticipantIndex>"
            '<Peers><Peer address="localhost"/></Peers></Discovery></Domain></CycloneDDS>')


def cpu_seconds(pid):
    """On-CPU time of every thread of the process so far; None once it is gone."""
    total = 0
    try:
        for task in pathlib.Path(f"/proc/{pid}/task").iterdir():
            total += int((task / "schedstat").read_text().split()[0])
    except (FileNotFoundError, ProcessLookupError):
        return None
    return total / 1e9


def machine_idle_seconds():
    fields = pathlib.Path("/proc/stat").read_text().split("\n", 1)[0].split()
    return (int(fields[4]) + int(fields[5])) / os.sysconf("SC_CLK_TCK")


class Child:
    """A started program, reaped by wait4 so that its CPU time is known once it has ended."""

    def __init__(self, command, out, env):
        self.process = subprocess.Popen(command, stdout=out, stderr=subprocess.STDOUT, env=env)
        self.pid = self.process.pid
        self.status = None  # exit status, or minus the signal that ended it
        self.cpu = None

    def reap(self, block=False):
        if self.status is None:
            pid, status, usage = os.wait4(self.pid, 0 if block else os.WNOHANG)
            if pid == self.pid:
                self.status = os.waitstatus_to_exitcode(status)
                self.cpu = usage.ru_utime + usage.ru_stime
        return self.status is not None


class Group:
    """Programs started together, each with its output in a file of its own."""

    def __init__(self, folder):
        self.folder = folder
        self.children = []

    def start(self, role, name, file, command, env):
        with open(self.folder / f"{name}-{file}", "w") as out:
            child = Child(command, out, env)
        self.children.append((role, name, child))
        return child

    def stop(self):
        """SIGTERM to each, SIGKILL to what still runs 5 s later; the ones killed."""
        for *_, child in self.children:
            if not child.reap():
                child.process.send_signal(signal.SIGTERM)
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline and not all(c.reap() for *_, c in self.children):
            time.sleep(0.05)
        stuck = []
        for role, name, child in self.children:
            if not child.reap():
                stuck.append(f"{role} {name}")
                child.process.kill()
                child.reap(block=True)
        return stuck


def main(build, folder, robots, mode, node_arguments):
    build, folder, robots = pathlib.Path(build), pathlib.Path(folder), int(robots)
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.iterdir():
        old.unlink()
    node_program = build / "tools/node/trelvo-node"
    sim_program = build / "tools/sim/trelvo-sim"
    dds_floor = build / "bench/trelvo-dds-floor"
    udp_floor = build / "bench/trelvo-udp-floor"
    domain = int(os.environ.get("ROS_DOMAIN_ID", "201"))
    base = dict(os.environ, CYCLONEDDS_URI=loopback_uri(2 * robots + 8), SPDLOG_STDOUT="true",
                SPDLOG_SYSTEMD="false", SPDLOG_LEVEL="info")
    node_env = dict(base, ROS_DOMAIN_ID=str(domain))
    floor_env = dict(base, ROS_DOMAIN_ID=str(domain + 1))

    load = pathlib.Path("/proc/loadavg").read_text().split()[0]
    idle_before = machine_idle_seconds()
    started = time.time()
    nodes, floors, udps, vehicles = [], [], [], []
    group = Group(folder)
    for k in range(1, robots + 1):
        name, y = f"robot{k}", 2 * (k - 1)
        nodes.append((name, group.start("node", name, "node.log", [
            str(node_program), "--namespace", name,
            "--latency-log", str(folder / f"{name}-latency.csv")] + node_arguments, node_env)))
        route = (["--time-limit", str(TIMEOUT_S - 10), "--waypoints", "0", str(y), "0", "3", str(y),
                  "0", "3", f"{y + 1}.5", "90"] if mode == "driving" else
                 ["--duration", str(int(STANDING_S) + 60)])
        vehicles.append(group.start("sim", name, "sim.log", [
            str(sim_program), "--dds", "--namespace", name] + route, node_env))
        floors.append((name, group.start("dds_floor", name, "dds-floor.txt",
                                         [str(dds_floor), name], floor_env)))
        group.start("floor_sim", name, "floor-sim.log", [
            str(sim_program), "--dds", "--namespace", name, "--duration", str(TIMEOUT_S)], floor_env)
        udps.append((name, group.start("udp_floor", name, "udp-floor.txt", [str(udp_floor)], base)))

    # Discovery of 4N participants on 2 cores settles within a second or two, longer for a fleet.
    time.sleep(2 + robots / 5)
    measured = [("node", nodes), ("dds_floor", floors), ("udp_floor", udps)]
    before = {(role, name): cpu_seconds(p.pid) for role, programs in measured for name, p in programs}
    window_start = time.monotonic()
    if mode == "driving":
        deadline = time.monotonic() + TIMEOUT_S
        while not all(v.reap() for v in vehicles) and time.monotonic() < deadline:
            time.sleep(0.2)
    else:
        time.sleep(STANDING_S)
    after = {(role, name): cpu_seconds(p.pid) for role, programs in measured for name, p in programs}
    window = time.monotonic() - window_start

    stuck = group.stop()
    ended = time.time()
    node_group_cpu = sum(child.cpu for role, _, child in group.children if role in ("node", "sim"))
    lines = [f"mode {mode}", f"window_s {window:.3f}"]
    for role, name in before:
        if before[(role, name)] is not None and after[(role, name)] is not None:
            lines.append(f"{role} {name} {after[(role, name)] - before[(role, name)]:.6f}")
    (folder / "window.txt").write_text("\n".join(lines) + "\n")
    (folder / "run.txt").write_text(
        f"robots {robots}\nstarted {started}\nload {load}\ncpu_s {node_group_cpu:.3f}\n"
        f"cores {os.cpu_count()}\nidle_s {machine_idle_seconds() - idle_before:.2f}\n"
        f"wall_s {ended - started:.3f}\n")
    failed = [name for name, child in floors + udps if child.status != 0]
    for what in stuck:
        print(f"side_by_side: {what} still running 5 s after SIGTERM, killed", file=sys.stderr)
    for name in failed:
        print(f"side_by_side: a floor program of {name} failed (see {folder})", file=sys.stderr)
    return 1 if failed or stuck else 0


if __name__ == "__main__":
    if len(sys.argv) < 5 or sys.argv[4] not in ("driving", "standing"):
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:5], sys.argv[5:]))
