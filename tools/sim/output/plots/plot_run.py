"""Draws one trelvo-sim run from its CSV trace.

Top: the path in the plane: start and goal with their headings, the straight line between them
(or a route's legs, its corners marked), the trajectory coloured by the controller's state, the
look-ahead points of the line move, the obstacles (a walker where it starts, dashed where its walk
ends), where the clearance check stopped or slowed the vehicle, and where it came closest to an
obstacle.
Below: the handed-out commands, and the heading error, against time.
"""

import argparse
import csv
import math

import plot_common


def read_trace(path):
    with open(path, newline="") as f:
        rows = list(csv.DictReader(f))
    columns = {name: [plot_common.number(row[name]) for row in rows]
               for name in rows[0] if name not in WORDS} if rows else {}
    for name in WORDS:
        columns[name] = [row[name] for row in rows]
    return columns


# The trace's columns that hold words, not numbers.
WORDS = ("state", "clearance_action")


def obstacle_patch(plt, words, x, y, style):
    """The patch of one obstacle, as --obstacle gives it, with its centre at (x, y)."""
    if words[0] == "circle":
        return plt.Circle((x, y), float(words[3]), **style)
    length, width = float(words[4]), float(words[5])
    angle = math.radians(float(words[3]))
    # Rectangle takes its lower-left corner, turned with it about that corner.
    corner = (x - (length * math.cos(angle) - width * math.sin(angle)) / 2,
              y - (length * math.sin(angle) + width * math.cos(angle)) / 2)
    return plt.Rectangle(corner, length, width, angle=math.degrees(angle), **style)


def draw_obstacles(ax, plt, obstacles):
    for i, text in enumerate(obstacles):
        words = text.split(",")
        x, y = float(words[1]), float(words[2])
        label = "obstacle" if i == 0 else None
        ax.add_patch(obstacle_patch(plt, words, x, y,
                                    dict(color="0.35", alpha=0.6, label=label)))
        ax.plot([x], [y], alpha=0)
        if "to" in words:
            to = words.index("to")
            tx, ty = float(words[to + 1]), float(words[to + 2])
            ax.annotate("", xy=(tx, ty), xytext=(x, y),
                        arrowprops=dict(arrowstyle="->", color="0.35", ls=":"))
            ax.add_patch(obstacle_patch(plt, words, tx, ty,
                                        dict(fill=False, ec="0.35", ls="--")))
            ax.plot([tx], [ty], alpha=0)


def draw_clearance(ax, trace):
    """Where the clearance check stopped or slowed the vehicle, and its closest approach."""
    for action, marker, colour, label in (("slow", ".", "gold", "slowed for an obstacle"),
                                          ("stop", "x", "tab:red", "stopped for an obstacle")):
        picks = [i for i, a in enumerate(trace["clearance_action"]) if a == action]
        if picks:
            ax.plot([trace["x_m"][i] for i in picks], [trace["y_m"][i] for i in picks], marker,
                    color=colour, markersize=7, label=label, zorder=6)
    gaps = [(g, i) for i, g in enumerate(trace["clearance_m"]) if not math.isnan(g)]
    if gaps:
        gap, i = min(gaps)
        ax.plot([trace["x_m"][i]], [trace["y_m"][i]], "*", color="black", markersize=12,
                label=f"smallest clearance {gap:.3f} m", zorder=7)


def state_runs(states):
    """(state, first index, last index) of each stretch of equal states."""
    runs = []
    for i, state in enumerate(states):
        if runs and runs[-1][0] == state:
            runs[-1][2] = i
        else:
            runs.append([state, i, i])
    return runs


def shade_states(ax, trace, runs):
    time = trace["time_s"]
    for state, first, last in runs:
        end = time[last + 1] if last + 1 < len(time) else time[last]
        ax.axvspan(time[first], end, color=plot_common.STATE_COLOURS[state], alpha=0.08, lw=0)


def heading_arrow(ax, x, y, degrees, length, colour, label):
    angle = math.radians(degrees)
    tip = (x + length * math.cos(angle), y + length * math.sin(angle))
    # Drawn even where the tip leaves the axes; the invisible tip point widens the axes to fit.
    ax.annotate("", xy=tip, xytext=(x, y), annotation_clip=False,
                arrowprops=dict(arrowstyle="-|>", color=colour, lw=2))
    ax.plot([tip[0]], [tip[1]], alpha=0)
    ax.plot([x], [y], "o", color=colour, markersize=8, label=label, zorder=5)


def heading_ticks(ax, trace, length):
    """Short heading arrows along the trajectory, about one per second, so that the turns on the
    spot show as fans."""
    time = trace["time_s"]
    period = time[1] - time[0] if len(time) > 1 else 1.0
    every = max(1, round(1.0 / period))
    picks = range(0, len(time), every)
    x = [trace["x_m"][i] for i in picks]
    y = [trace["y_m"][i] for i in picks]
    dx = [length * math.cos(trace["heading_rad"][i]) for i in picks]
    dy = [length * math.sin(trace["heading_rad"][i]) for i in picks]
    ax.quiver(x, y, dx, dy, color=[plot_common.STATE_COLOURS[trace["state"][i]] for i in picks],
              angles="xy", scale_units="xy", scale=1, width=0.003, alpha=0.7)
    # Quiver arrows do not widen the axes; their invisible tips do.
    ax.plot([a + b for a, b in zip(x, dx)], [a + b for a, b in zip(y, dy)], alpha=0)


def draw_route(ax, route):
    """The legs of a route as lines and the corners between them as markers; route holds the
    points the legs join, x then y."""
    xs, ys = route[0::2], route[1::2]
    ax.plot(xs, ys, "--", color="0.6", lw=1, label=f"route: {len(xs) - 1} legs")
    if len(xs) > 2:
        ax.plot(xs[1:-1], ys[1:-1], "D", color="0.25", markersize=6, label="corner",
                zorder=5)


def draw_path(ax, trace, runs, start, goal, route, obstacles, plt):
    if route:
        xs, ys = route[0::2], route[1::2]
        extent = max(max(xs) - min(xs), max(ys) - min(ys), 1.0)
        draw_route(ax, route)
    else:
        extent = max(math.hypot(goal[0] - start[0], goal[1] - start[1]), 1.0)
        ax.plot([start[0], goal[0]], [start[1], goal[1]], "--", color="0.6", lw=1,
                label="path line")
    arrow = 0.15 * extent
    x, y = trace["x_m"], trace["y_m"]
    labelled = set()
    for state, first, last in runs:
        # Each stretch joins the next one so that the trajectory is drawn without gaps.
        stop = min(last + 2, len(x))
        label = None if state in labelled else plot_common.STATE_LABELS[state]
        labelled.add(state)
        ax.plot(x[first:stop], y[first:stop], color=plot_common.STATE_COLOURS[state], lw=2.5,
                label=label)
    ahead = [(ax_, ay_) for ax_, ay_ in zip(trace["lookahead_x_m"], trace["lookahead_y_m"])
             if not math.isnan(ax_)]
    if ahead:
        ax.plot([p[0] for p in ahead], [p[1] for p in ahead], ".", color="tab:purple",
                markersize=3, alpha=0.5, label="look-ahead point")
    draw_obstacles(ax, plt, obstacles)
    draw_clearance(ax, trace)
    heading_ticks(ax, trace, 0.5 * arrow)
    heading_arrow(ax, start[0], start[1], start[2], arrow, "black", "start and heading")
    heading_arrow(ax, goal[0], goal[1], goal[2], arrow, "tab:red", "goal and goal heading")
    ax.set_aspect("equal", adjustable="datalim")
    ax.margins(0.15)
    ax.set_xlabel("x (m)")
    ax.set_ylabel("y (m)")
    ax.grid(True, alpha=0.3)
    ax.legend(loc="best", fontsize=8)


def draw_commands(ax, trace, runs):
    shade_states(ax, trace, runs)
    ax.step(trace["time_s"], trace["cmd_linear_x_mps"], where="post", label="linear.x (m/s)")
    ax.step(trace["time_s"], trace["cmd_angular_z_radps"], where="post",
            label="angular.z (rad/s)")
    ax.axhline(0.5, color="0.5", lw=0.8, ls=":")
    ax.axhline(-0.5, color="0.5", lw=0.8, ls=":")
    ax.set_ylabel("command")
    ax.grid(True, alpha=0.3)
    # Commands stay within the +-0.5 lines; the legend sits in the headroom above them, where it
    # hides no peak.
    ax.set_ylim(-0.6, 0.9)
    ax.legend(loc="upper center", ncol=2, fontsize=8)


def draw_heading_error(ax, trace, runs):
    shade_states(ax, trace, runs)
    ax.plot(trace["time_s"], [math.degrees(e) for e in trace["heading_error_rad"]],
            color="tab:red")
    ax.set_ylabel("heading error (deg)")
    ax.set_xlabel("time (s)")
    ax.grid(True, alpha=0.3)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--csv", required=True, help="trace written by trelvo-sim")
    parser.add_argument("--png", required=True, help="picture to write")
    parser.add_argument("--start", nargs=3, type=float, required=True, metavar=("X", "Y", "DEG"))
    parser.add_argument("--goal", nargs=3, type=float, required=True, metavar=("X", "Y", "DEG"))
    parser.add_argument("--route", nargs="+", type=float, metavar="X Y",
                        help="a route's legs: the points they join, x then y")
    parser.add_argument("--obstacle", action="append", default=[], metavar="SPEC",
                        help="an obstacle as trelvo-sim --obstacle takes it")
    parser.add_argument("--title", default="trelvo-sim run")
    args = parser.parse_args()

    plt = plot_common.pyplot()
    trace = read_trace(args.csv)
    if not trace["state"]:
        parser.error(f"{args.csv} holds no cycles")
    runs = state_runs(trace["state"])
    if args.route and (len(args.route) < 4 or len(args.route) % 2):
        parser.error("--route needs two or more points, x then y")

    figure = plt.figure(figsize=(9, 11), constrained_layout=True)
    grid = figure.add_gridspec(3, 1, height_ratios=[3, 1, 1])
    draw_path(figure.add_subplot(grid[0]), trace, runs, args.start, args.goal, args.route,
              args.obstacle, plt)
    commands = figure.add_subplot(grid[1])
    draw_commands(commands, trace, runs)
    draw_heading_error(figure.add_subplot(grid[2], sharex=commands), trace, runs)
    figure.suptitle(args.title, fontsize=10)
    figure.savefig(args.png, format="png", dpi=100)


if __name__ == "__main__":
    main()
