"""Draws the histograms of a trelvo-sim batch's final position and heading errors from its CSV."""

import argparse
import csv
import math

import plot_common


def histogram(ax, values, tolerance, count, colour, label):
    """Bins from zero to past both the worst value and the tolerance, so that the margin shows."""
    upper = max(max(values), tolerance) * 1.05
    ax.hist(values, bins=[upper * i / count for i in range(count + 1)], color=colour)
    ax.axvline(tolerance, color="tab:red", ls="--", label="tolerance")
    ax.set_xlabel(label)
    ax.set_ylabel("runs")
    ax.legend()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--csv", required=True, help="batch results written by trelvo-sim")
    parser.add_argument("--png", required=True, help="picture to write")
    parser.add_argument("--position-tolerance", type=float, required=True, metavar="M")
    parser.add_argument("--heading-tolerance", type=float, required=True, metavar="DEG")
    parser.add_argument("--title", default="trelvo-sim batch")
    args = parser.parse_args()

    plt = plot_common.pyplot()
    with open(args.csv, newline="") as f:
        rows = list(csv.DictReader(f))
    if not rows:
        parser.error(f"{args.csv} holds no runs")
    position = [float(row["position_error_m"]) * 1000 for row in rows]
    heading = [abs(float(row["heading_error_deg"])) for row in rows]

    figure, (left, right) = plt.subplots(1, 2, figsize=(11, 4.5), constrained_layout=True)
    count = max(10, min(60, int(math.sqrt(len(rows)) * 2)))
    histogram(left, position, args.position_tolerance * 1000, count, "tab:blue",
              "final position error (mm)")
    histogram(right, heading, args.heading_tolerance, count, "tab:green",
              "|final heading error| (deg)")
    for ax in (left, right):
        ax.grid(True, alpha=0.3)
    figure.suptitle(args.title, fontsize=10)
    figure.savefig(args.png, format="png", dpi=100)


if __name__ == "__main__":
    main()
