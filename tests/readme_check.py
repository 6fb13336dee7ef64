#!/usr/bin/env python3
"""Holds the README to what the project does, so that it cannot drift:

  readme_check.py PROJECT BUILD

- it stays short enough to read in ten minutes;
- the package counts are those of scripts/bootstrap.sh;
- the node's parameter table (in docs/node.md) is the one `trelvo-node --help` gives (`--table`
  prints it);
- its C++ examples are lines of the consumer programs the installed-package test builds and runs;
- its launch file is Python and its parameter files set parameters the node has;
- every shell command is one this script runs (the node on one machine, the simulator's examples)
  or one another test or the CI run runs, named in KNOWN_ELSEWHERE;
- the node on one machine keeps to loopback on a domain of its own and is stopped at the end.
"""

import os
import re
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

import yaml

from dds_domain import free_domain

MOST_LINES = 250

# Commands a reader copies that another test, or the CI run itself, runs.
KNOWN_ELSEWHERE = {
    "bash scripts/sim.sh": "SimScript.RunsInTheCallersFolder",
    "bash scripts/test.sh": "the CI run (.ci/run)",
    "cmake -S . -B build -DTRELVO_BUILD_TESTS=OFF -DTRELVO_BUILD_BENCHMARKS=OFF": "the CI run's build",
    "cmake --build build -j2": "the CI run's build",
    "cmake --install build": "InstalledPackage.ConsumerBuildsAndRuns",
}

# The README's "on one machine" run takes this domain of the test's own in place of its own.
DOMAIN = str(free_domain())

failures = []


def fail(message):
    failures.append(message)


def blocks(text, language):
    return re.findall(r"^```" + language + r"\n(.*?)^```$", text, re.S | re.M)


def count_packages(bootstrap, array):
    body = re.search(r"^" + array + r"=\((.*?)^\)", bootstrap, re.S | re.M).group(1)
    words = []
    for line in body.splitlines():
        words += line.split("#", 1)[0].split()
    return len(words)


def parse_help(text):
    """Options of `--help` as (option, value, default, description)."""
    rows = []
    lines = text.splitlines()
    for i, line in enumerate(lines):
        match = re.match(r"^  (--[a-z-]+(?:,--[a-z-]+)*)(.*)$", line)
        if not match or match.group(1) in ("--help", "--version"):
            continue
        option, rest = match.groups()
        option = option.replace(",", "`, `")  # another name of the same option
        head, _, description = rest.partition("  ")
        head = re.sub(r" (Excludes|Needs): .*", "", head).strip()
        head = re.sub(r" x \d+$", "", head)
        if not description.strip() and i + 1 < len(lines):
            description = lines[i + 1]
        value, _, default = head.partition("=")
        rows.append((option, value.strip() or "(flag)", default or "", description.strip()))
    return rows


def table(rows):
    return "\n".join(
        f"| `{option}` | {value} | {('`' + default + '`') if default else ''} | {description} |"
        for option, value, default, description in rows
    )


def check_parameters(reference, node):
    rows = parse_help(subprocess.run([node, "--help"], capture_output=True, text=True,
                                     check=True).stdout)
    if len(rows) < 10:
        fail(f"trelvo-node --help gave only {len(rows)} options: its format changed")
    section = re.search(r"<!-- parameters:.*?-->\n\| option.*?\n\|---.*?\n(.*?)<!-- end",
                        reference, re.S)
    if not section:
        fail("docs/node.md has no parameter table between its markers")
        return rows
    if section.group(1).strip() != table(rows):
        fail("docs/node.md's parameter table is not trelvo-node --help's; print it with "
             "tests/readme_check.py --table BUILD/tools/node/trelvo-node")
    return rows


def check_examples(readme, project, parameters):
    sources = [path.read_text().splitlines() for path in (project / "tests/consumer").glob("*.cpp")]
    for block in blocks(readme, "cpp"):
        lines = [line for line in block.splitlines() if line.strip()]
        if not any(all(line in source for line in lines) for source in sources):
            fail("a C++ example is not lines of tests/consumer: " + lines[0])
    for block in blocks(readme, "python"):
        try:
            compile(block, "launch file", "exec")
        except SyntaxError as error:
            fail(f"the launch file is not Python: {error}")
    names = {option[2:].replace("-", "_") for option, *_ in parameters}
    for block in blocks(readme, "yaml"):
        for node, section in yaml.safe_load(block).items():
            if not node.endswith("trelvo_node"):
                continue  # another node's parameters: the lifecycle manager's
            for name in section["ros__parameters"]:
                if name not in names:
                    fail(f"the parameter file sets {name}, which the node does not have")


def node_block(readme):
    return next(block for block in blocks(readme, "sh") if "trelvo-node &" in block)


def run_node_example(readme, build, here):
    """The README's node and vehicle on one machine, run as the reader runs them."""
    block = node_block(readme)
    if not re.search(r"CYCLONEDDS_URI='[^']*<NetworkInterface name=\"lo\"/>[^']*"
                     r"<AllowMulticast>false</AllowMulticast>", block):
        fail("the node on one machine does not keep Cyclone DDS to the lo interface, no multicast")
    if not re.search(r"\bexport\b.*\bROS_DOMAIN_ID=\d+", block):
        fail("the node on one machine does not choose a ROS_DOMAIN_ID")
    # Without its build line: the node and the vehicle of the build under test run.
    lines = [line.replace("build-sim/", f"{build}/") for line in block.splitlines()
             if not line.startswith("cmake --build")]
    lines = [line + " --time-limit 60" if "trelvo-sim --dds" in line else line for line in lines]
    script = re.sub(r"\bROS_DOMAIN_ID=\d+", "ROS_DOMAIN_ID=" + DOMAIN, "\n".join(lines))
    env = {name: value for name, value in os.environ.items()
           if name not in ("CYCLONEDDS_URI", "ROS_DOMAIN_ID")}
    env["SPDLOG_SYSTEMD"] = "false"
    with open(here / "node.log", "w") as log:
        run = subprocess.Popen(["bash", "-e", "-c", script], env=env, stdout=log,
                               stderr=subprocess.STDOUT, start_new_session=True)
        try:
            status = run.wait(timeout=90)
            try:
                os.killpg(run.pid, 0)
                fail("the node on one machine was left running")
            except ProcessLookupError:
                pass
        finally:
            try:
                os.killpg(run.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            run.wait()
    output = (here / "node.log").read_text()
    if status != 0:
        fail(f"the node on one machine exited {status}: {output[-500:]}")
    if "route finished" not in output:
        fail("the README's node did not log the route finished")


def check_commands(readme, project, build):
    node = node_block(readme)
    commands = [line.split("#", 1)[0].strip() for block in blocks(readme, "sh") if block != node
                for line in block.splitlines() if line.strip()]
    with tempfile.TemporaryDirectory() as folder:
        here = Path(folder)
        for line in commands:
            if line in KNOWN_ELSEWHERE:
                continue
            if line.startswith("bash scripts/sim.sh "):
                for name in re.findall(r"(scenarios/\S+)", line):
                    (here / name).parent.mkdir(parents=True, exist_ok=True)
                    (here / name).write_text((project / name).read_text())
                env = dict(os.environ, TRELVO_BUILD_DIR=str(build))
                result = subprocess.run(["bash", str(project / "scripts/sim.sh")] + line.split()[2:],
                                        cwd=here, env=env, capture_output=True, text=True)
                if result.returncode != 0:
                    fail(f"'{line}' exited {result.returncode}: {result.stdout[-300:]}")
                continue
            fail(f"nothing runs the README's command '{line}'")
        run_node_example(readme, build, here)


def main():
    if sys.argv[1] == "--table":
        print(table(parse_help(subprocess.run([sys.argv[2], "--help"], capture_output=True,
                                              text=True, check=True).stdout)))
        return
    project, build = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    readme = (project / "README.md").read_text()
    if readme.count("\n") > MOST_LINES:
        fail(f"the README has {readme.count(chr(10))} lines, over {MOST_LINES}")

    bootstrap = (project / "scripts/bootstrap.sh").read_text()
    flat = " ".join(readme.split())
    main_job, tests = count_packages(bootstrap, "main_job"), count_packages(bootstrap, "tests")
    if f"The main job installs {main_job} packages" not in flat:
        fail(f"the README must say: The main job installs {main_job} packages")
    if f"install those and {tests} more" not in flat:
        fail(f"the README must say: install those and {tests} more")

    parameters = check_parameters((project / "docs/node.md").read_text(),
                                  build / "tools/node/trelvo-node")
    check_examples(readme, project, parameters)
    check_commands(readme, project, build)
    for message in failures:
        print("readme_check:", message, file=sys.stderr)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
