"""CPU shares of trelvo-node and its floors measured side by side (side_by_side.py's window.txt).

Usage: window_report.py ROUND_FOLDER...

Prints one line per round (node, DDS floor and UDP floor as shares of a core, each the mean over
the round's robots, and the ratios node / DDS floor and DDS floor / UDP), then the median of each
ratio over the rounds of each mode. Exits 1 when a round lacks a figure.
"""

import pathlib
import statistics
import sys

ROLES = ("node", "dds_floor", "udp_floor")


def read_window(folder):
    """(mode, {role: [share of a core per robot]}), or None without a window.txt."""
    path = pathlib.Path(folder) / "window.txt"
    if not path.exists():
        return None
    mode, window, shares = "", None, {role: [] for role in ROLES}
    for line in path.read_text().splitlines():
        fields = line.split()
        if fields[0] == "mode":
            mode = fields[1]
        elif fields[0] == "window_s":
            window = float(fields[1])
        elif fields[0] in shares and window:
            shares[fields[0]].append(float(fields[2]) / window)
    return mode, shares


def ratios(shares):
    """(node / DDS floor, DDS floor / UDP) of the robots' mean shares; None where one is missing."""
    means = {role: statistics.mean(values) if values else None for role, values in shares.items()}
    node, dds, udp = (means[role] for role in ROLES)
    return (node / dds if node and dds else None), (dds / udp if dds and udp else None)


def main(folders):
    by_mode, complete = {}, True
    for folder in folders:
        read = read_window(folder)
        if read is None or not all(read[1].values()):
            print(f"{folder}: no complete window")
            complete = False
            continue
        mode, shares = read
        node_floor, floor_udp = ratios(shares)
        means = " / ".join(f"{100 * statistics.mean(shares[role]):.2f}" for role in ROLES)
        print(f"{mode:<8} node / DDS floor / UDP {means} % of a core: "
              f"node ÷ floor {node_floor:.2f}, floor ÷ UDP {floor_udp:.2f}")
        by_mode.setdefault(mode, []).append((node_floor, floor_udp))
    for mode, values in by_mode.items():
        print(f"{mode}, median of {len(values)} rounds: "
              f"node ÷ floor {statistics.median(v[0] for v in values):.2f}, "
              f"floor ÷ UDP {statistics.median(v[1] for v in values):.2f}")
    return 0 if complete else 1


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1:]))
