#!/usr/bin/env python3
"""Prints the slowest tests of ctest's JUnit reports: slowest_tests.py COUNT REPORT.xml..."""

import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path


def main() -> None:
    count = int(sys.argv[1])
    cases = []
    for report in sys.argv[2:]:
        stage = Path(report).stem
        for case in ElementTree.parse(report).iter("testcase"):
            cases.append((float(case.get("time", "0")), stage, case.get("name", "?")))
    cases.sort(reverse=True)
    for seconds, stage, name in cases[:count]:
        print(f"   {seconds:7.1f} s  {stage:<10} {name}")


if __name__ == "__main__":
    main()
