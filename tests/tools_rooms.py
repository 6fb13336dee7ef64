"""The rooms of tools/: a file includes only its own room or a room further down, never one above
it, so that the programs rest on what they share and nothing shared reaches up into a program.

Usage: tools_rooms.py TOOLS_FOLDER
"""

import pathlib
import re
import sys

# Top first. The programs' entry points are the files directly in node/ and sim/.
ROOMS = ["node", "node/action", "node/obstacles", "node/drive", "node/watch", "node/diagnostics", "node/ros_args", "node/frames",
         "node/lifecycle",
         "sim", "sim/modes", "sim/cli", "sim/workers", "sim/output", "sim/scenarios",
         "sim/run", "sim/world", "wire", "common"]


def room_of(path):
    folder = str(pathlib.PurePosixPath(path).parent)
    return ROOMS.index(folder) if folder in ROOMS else None


def main():
    tools = pathlib.Path(sys.argv[1])
    faults = []
    for source in sorted(tools.rglob("*.[ch]pp")):
        rank = room_of(source.relative_to(tools).as_posix())
        if rank is None:
            faults.append(f"{source.relative_to(tools)} is in no room")
            continue
        for included in re.findall(r'^#include "([^"]+)"', source.read_text(), re.M):
            target = room_of(included)
            if (tools / included).exists() and (target is None or target < rank):
                faults.append(f"{source.relative_to(tools)} includes {included}")
    print("\n".join(faults) or "every include runs downward")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
