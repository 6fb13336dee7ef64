"""trelvo-sim's JUnit XML read back as a CI system reads it, with Debian's python3-junitparser:
a suite with passing and failing scenarios, and a batch with failed runs.

Usage: sim_junit_roundtrip.py TRELVO_SIM
"""

import csv
import pathlib
import subprocess
import sys
import tempfile

from junitparser import Failure, JUnitXml

SUITE = """\
scenarios:
  - name: reaches
    start: [0, 0, 0]
    goal: [2, 0, 0]
  - name: cut-off
    start: [0, 0, 180]
    goal: [4, 2, 90]
    pass: {time_limit: 3}
  - name: wanders
    start: [0, 0, 0]
    vehicle_start: [0, 0.2, 0]
    goal: [4, 0, 0]
    pass: {max_cross_track: 0.1, max_distance_ratio: 0.9}
"""


def run(program, *arguments, cwd):
    return subprocess.run([program, *arguments, "--no-plot"], cwd=cwd, capture_output=True,
                          text=True, check=False)


def cases_of(path):
    xml = JUnitXml.fromfile(str(path))
    suites = list(xml)
    assert len(suites) == 1, suites
    return suites[0], {case.name: case for case in suites[0]}


def failure_of(case):
    failures = [r for r in case.result if isinstance(r, Failure)]
    return failures[0].message if failures else None


def check_suite(program, work):
    (work / "site.yaml").write_text(SUITE)
    result = run(program, "--suite", "site.yaml", "--junit", "site.xml", "--out", "s", cwd=work)
    assert result.returncode == 1, result
    suite, cases = cases_of(work / "site.xml")
    assert suite.name == "site", suite.name
    assert (suite.tests, suite.failures, suite.errors) == (3, 2, 0), suite
    assert list(cases) == ["reaches", "cut-off", "wanders"], list(cases)
    assert failure_of(cases["reaches"]) is None
    assert failure_of(cases["cut-off"]) == "not finished within the time limit of 3 s", \
        failure_of(cases["cut-off"])
    message = failure_of(cases["wanders"])
    assert message.startswith("largest cross-track error of the line move 0.2000 m, over 0.1 m; "
                              "travelled "), message
    assert message.endswith(" times the straight-line distance, over 0.9"), message
    # Each case's time is its simulated time, as suite.csv records it.
    with open(work / "s" / "suite.csv", newline="") as rows:
        for row in csv.DictReader(rows):
            assert abs(cases[row["scenario"]].time - float(row["time_s"])) < 1e-3, row


def check_batch(program, work):
    result = run(program, "--batch", "12", "--time-limit", "15", "--seed", "2", "--junit",
                 "batch.xml", "--out", "b", cwd=work)
    assert result.returncode == 1, result
    suite, cases = cases_of(work / "batch.xml")
    with open(work / "b" / "batch.csv", newline="") as rows:
        outcomes = {f"scenario {row['index']}": row["outcome"] for row in csv.DictReader(rows)}
    assert suite.name == "batch" and suite.tests == 12, suite
    assert suite.failures == sum(o != "reached" for o in outcomes.values()) > 0, suite
    for name, case in cases.items():
        message = failure_of(case)
        if outcomes[name] == "reached":
            assert message is None, (name, message)
        else:
            assert message == "not finished within the time limit of 15 s", (name, message)
            assert f"replay: {program} --start=" in case.result[0].text, case.result[0].text


def main():
    program = sys.argv[1]
    with tempfile.TemporaryDirectory() as folder:
        work = pathlib.Path(folder)
        check_suite(program, work)
        check_batch(program, work)
    print("JUnit files read back: suite and batch")


if __name__ == "__main__":
    main()
