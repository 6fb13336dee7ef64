"""Shared set-up of trelvo-sim's plotting scripts: matplotlib on the Agg backend."""

import sys

# trelvo-sim recognises this exit status and names the missing package.
MISSING_MATPLOTLIB = 4

STATE_COLOURS = {
    "first_turn": "tab:orange",
    "line_move": "tab:blue",
    "final_turn": "tab:green",
}
STATE_LABELS = {
    "first_turn": "first turn",
    "line_move": "line move",
    "final_turn": "final turn",
}


def pyplot():
    """matplotlib.pyplot drawing into files only; exits with MISSING_MATPLOTLIB without it."""
    try:
        import matplotlib
    except ImportError:
        print("python3-matplotlib is missing: apt-get install python3-matplotlib",
              file=sys.stderr)
        sys.exit(MISSING_MATPLOTLIB)
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    return plt


def number(text):
    """A CSV field as a float; an empty field is NaN."""
    return float(text) if text else float("nan")
