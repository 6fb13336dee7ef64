"""Writes the seed corpora of the fuzz harnesses into fuzz/corpus/<harness>/.

The seeds are committed; run this again only after changing how a harness reads its input
(fuzz/fuzz_support.hpp and the harnesses). Each seed is a readable script of calls below. Beside
them, a corpus may hold inputs named by their SHA-1, which a longer campaign (scripts/fuzz.sh
SECONDS HARNESS) found to reach code the seeds do not; they read differently once the harness
reads its input differently: remove them then.
"""

import math
import pathlib
import struct

# fuzz::Input's table of special values, in order: a tag byte below 64 picks entry tag % 36.
SPECIAL = [0.0, -0.0, 1.0, -1.0, 0.5, -0.5, math.pi, -math.pi, math.pi / 2, -math.pi / 2,
           2 * math.pi, 3 * math.pi, "nan", "-nan", math.inf, -math.inf, 1e300, -1e300,
           1.7976931348623157e308, -1.7976931348623157e308, 2.2250738585072014e-308, 5e-324,
           -5e-324, 1e-300, 1e-4, 0.001, 0.02, 0.05, 0.1, 150.0, 70.0, 195.0, 1000.0, 3.1e5,
           1e16, 9007199254740993.0]
NAN = "nan"


def raw(value):
    """value as eight raw bytes, for a value the shorter encodings cannot give."""
    return bytes([192]) + struct.pack("<d", value)


def real(value):
    """The shortest encoding fuzz::Input::real() reads back as value."""
    for tag, special in enumerate(SPECIAL):
        if value == special and (isinstance(value, str) or
                                 math.copysign(1, value) == math.copysign(1, special)):
            return bytes([tag])
    if isinstance(value, str):
        raise ValueError(value)
    if value * 4 == int(value * 4) and -128 <= value * 4 <= 127 and not (value == 0):
        return bytes([64]) + struct.pack("<b", int(value * 4))
    hundredths = round(value * 100)
    if hundredths / 100.0 == value and -32768 <= hundredths <= 32767:
        return bytes([128]) + struct.pack("<h", hundredths)
    return raw(value)


def reals(*values):
    return b"".join(real(value) for value in values)


def byte(value):
    return bytes([value % 256])


# ---- toolkit: a byte (mod 27) chooses the call --------------------------------------------------
FSAT, SETLIMIT, MAX, SIGN, NORM, NORMPOS, ROTFN, ANGLEERR, LINEDELTA, TRAPEZOID, MVRUN, NEWPID3 = \
    range(12)
ROTATION, VW2WHEELSNEW, RESTRICT, WHEELDIR, VW2WHEELS_DS, ODOMETER = 12, 14, 15, 16, 17, 18
LINETRAJ, LINETRAJ_DS, ARCMOVE, PREMOVE, PIDINIT, PARAMCONFIG, MECHCONFIG, SETGLOBAL = range(19, 27)
ROTATE_MIN, ROTATE_MAX, OFFSET, DIAMETER_L, DIAMETER_R, RATIO, VXCTRL, VYCTRL, WCTRL = \
    4, 5, 3, 0, 1, 2, 6, 7, 8
MOUNT_A, MOUNT_B = 0, 1


def set_global(which, *values):
    return byte(SETGLOBAL) + byte(which) + reals(*values)


def set_slot(which, slot, value):
    return byte(SETGLOBAL) + byte(which) + byte(slot) + real(value)


def fnv1a(data):
    value = 2166136261
    for b in data:
        value = ((value ^ b) * 16777619) & 0xFFFFFFFF
    return value


def chosen_one_in(count, seed, endings):
    """The seed with the first of the endings (byte strings) that makes its FNV-1a hash a multiple
    of count: a harness runs its costly check on those inputs only (fuzz::oneIn)."""
    for ending in endings:
        if fnv1a(seed + ending) % count == 0:
            return seed + ending
    raise ValueError("no ending chooses the seed")


def pose(x, y, theta):
    return reals(x, y, theta)


TOOLKIT = {
    "clamps_and_angles": b"".join([
        byte(FSAT) + reals(2, 0, 1), byte(FSAT) + reals(NAN, 0, 1),
        byte(FSAT) + reals(0.5, 1, 0), byte(SETLIMIT) + reals(0.5, 0, 1),
        byte(SETLIMIT) + reals(2, NAN, 0), byte(MAX) + reals(NAN, 3), byte(SIGN) + reals(-0.0),
        byte(SIGN) + reals(NAN), byte(NORM) + reals(3 * math.pi), byte(NORMPOS) + reals(2 * math.pi),
        byte(ROTFN) + reals(-2 * math.pi), byte(ANGLEERR) + reals(0.1, 6.2),
    ]),
    "line_profile_and_pid": b"".join([
        byte(LINEDELTA) + reals(4, 1, 0.1, 0, 0, 10, 0, 0),
        byte(LINEDELTA) + reals(1, 1, 0, 2, 2, 2, 2, 0),
        byte(TRAPEZOID) + reals(0, 2, 1.9, 0.03, -0.03, 0.1, 0.4, 0.1, 0.05),
        byte(TRAPEZOID) + reals(0, 2, 1, 0.03, 0.03, 0.1, 0.4, 0.1, 0),
        byte(PIDINIT), byte(MVRUN) + reals(-2.0, 0.4, 0.2), byte(MVRUN) + reals(NAN, 1e300, -3),
        set_slot(VXCTRL, 0, 100), set_slot(VXCTRL, 1, -100), set_slot(VYCTRL, 0, 2),
        byte(NEWPID3) + reals(100, 30, 0, 0, 0, 0, 1000, 0, 50, 50, 300, 50, 0.5),
    ]),
    "wheels": b"".join([
        set_global(ROTATE_MIN, -math.pi / 2), set_global(ROTATE_MAX, math.pi / 2),
        byte(VW2WHEELSNEW) + reals(100, 0, 0, 0, 0) + byte(MOUNT_A) + byte(MOUNT_B) + reals(0, 0),
        byte(VW2WHEELSNEW) + reals(100, 20, 0.5, 0.1, 0) + byte(MOUNT_A) + byte(MOUNT_B)
        + reals(0, 0),
        byte(RESTRICT) + reals(50, 3.0, 50, -3.0, 0),
        byte(WHEELDIR) + reals(0, 0, 10, 10, 0, 0),
        byte(MECHCONFIG) + reals(500), byte(VW2WHEELS_DS) + reals(100, 0, 0.5, 0, 0),
        byte(ODOMETER) + reals(0.1, 0.1, 0.1, 500, 100, 0, 100, 0) + pose(0, 0, 0),
    ]),
    "trajectory_steps": b"".join([
        set_global(DIAMETER_L, 150), set_global(DIAMETER_R, 150), set_global(RATIO, 20),
        set_global(ROTATE_MIN, -math.pi / 2), set_global(ROTATE_MAX, math.pi / 2),
        set_slot(VXCTRL, 0, 100), set_slot(VXCTRL, 1, -100), set_slot(WCTRL, 0, 0.1),
        set_slot(WCTRL, 1, -0.1),
        byte(LINETRAJ) + pose(100, 30, 0) + pose(0, 0, 0) + pose(1000, 0, 0)
        + reals(50, 50, 300, 50, 0.5) + byte(MOUNT_A) + byte(MOUNT_B) + reals(0, 1),
        byte(LINETRAJ_DS) + pose(100, 30, 0) + pose(0, 0, math.pi) + pose(1000, 0, 0)
        + reals(50, 50, 300, 50, 0.5, 1),
        byte(ARCMOVE) + pose(0, 0, 0.1) + pose(0, 0, 0) + pose(1000, 1000, math.pi / 2)
        + reals(0.05, 0.1, 0.5, 0.1, 0, 0.01),
        byte(PREMOVE) + reals(0, 0, 0, 10, 10, 1, 0) + byte(2) + byte(0) + byte(0),
        byte(PREMOVE) + reals(0, 0, 0, 10, 10, 1, 0) + byte(3) + byte(1) + byte(0),
    ]),
    "extremes": b"".join([
        byte(FSAT) + reals(math.inf, -math.inf, NAN), byte(SETLIMIT) + reals(-0.0, 0.0, -0.0),
        byte(TRAPEZOID) + reals(1e300, -1e300, 5e-324, math.inf, NAN, 1, 2, 3, 0),
        set_global(OFFSET, 1e16),
        byte(VW2WHEELSNEW) + reals(1e300, 1e-300, 1e-4, math.inf, 0) + byte(MOUNT_A)
        + byte(2) + reals(0, 0, 0) + reals(1, 2),
        byte(NEWPID3) + reals(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
        byte(ARCMOVE) + pose(0, 0, 0) + pose(1, 1, 0) + pose(1, 1, 4) + reals(0, 0, 0, 0, 0, 0),
    ]),
    # Inputs of everyday size that once gave infinite speeds or a NaN pose: an unset right wheel,
    # an arc without curvature, odometry without a track.
    "unsafe_outputs": b"".join([
        set_global(DIAMETER_L, 150), set_global(RATIO, 20), set_global(ROTATE_MIN, -math.pi / 2),
        set_global(ROTATE_MAX, math.pi / 2), set_slot(VXCTRL, 0, 100), set_slot(VXCTRL, 1, -100),
        byte(LINETRAJ) + pose(100, 30, 0) + pose(0, 0, 0) + pose(1000, 0, 0)
        + reals(50, 50, 300, 50, 0.5) + byte(MOUNT_A) + byte(MOUNT_B) + reals(0, 1),
        set_slot(WCTRL, 0, 0.1), set_slot(WCTRL, 1, -0.1),
        byte(ARCMOVE) + pose(0, 0, 0) + pose(0, 0, 0) + pose(0, 0, 0) + reals(0.05, 0.1, 0.5, 0.1, 0, 0.01),
        byte(ODOMETER) + reals(0.1, 0.1, 0.1, 0, 90, 0, 110, 0) + pose(0, 0, 0),
    ]),
    # Just under a million half turns between angle and bound: the slowest steering there is.
    "steering_far_from_range": b"".join([
        set_global(ROTATE_MIN, -3.1e6), set_global(ROTATE_MAX, 3.1e6),
        byte(RESTRICT) + reals(50, 3.1e6, 50, -3.1e6, 0),
        set_global(ROTATE_MIN, 0), set_global(ROTATE_MAX, 0), set_global(OFFSET, -3.1e6),
        byte(VW2WHEELSNEW) + reals(100, 0, 0, 0, 0) + byte(MOUNT_A) + byte(MOUNT_B) + reals(0, 0),
        byte(WHEELDIR) + reals(0, 0, 1, 0, 3.1e6, 0),
    ]),
}

# ---- controller ---------------------------------------------------------------------------------
INIT, SET_PATH, GET_PATH, POSE, SLIP, DRIVE = 0, 1, 2, 3, 4, 5


def heading_pose(x, y, heading):
    return reals(x, y) + byte(1) + real(heading)


def quaternion_pose(x, y, qx, qy, qz, qw):
    return reals(x, y) + byte(0) + reals(qx, qy, qz, qw)


def path(*poses):
    return byte(len(poses)) + b"".join(poses)


def drive(cycles_over_four):
    return byte(DRIVE) + byte(cycles_over_four)


def closing(vehicle, first_goal, second_goal):
    """The closing runs read first: three (x, y, heading) in eighths, the vehicle's x shifted by
    a sixteenth."""
    return b"".join(bytes(struct.pack("<b", round(value * 8))) for value in
                    (*vehicle, *first_goal, *second_goal))


CLOSING = closing((1, 1, 0), (3, -2, 1.5), (-4, 2, -3))
STALL_CHECK_ONE_IN = 16


def stall_checked(seed):
    """The seed with a last slip by nothing, the first that makes the harness run the closing runs:
    an action byte of SLIP modulo 8 and three values that read as 0.0 or -0.0."""
    zeros = [bytes([tag]) for tag in (0, 1, len(SPECIAL), len(SPECIAL) + 1)]
    slips = [byte(action) + x + y + heading for action in (SLIP, SLIP + 8)
             for x in zeros for y in zeros for heading in zeros]
    return chosen_one_in(STALL_CHECK_ONE_IN, seed, slips)


CONTROLLER = {
    # A path mid-run whose goal lies behind the vehicle, close to the end of the line from (4, 0).
    "goal_behind_mid_line": closing((0.25, 0, 0), (0.125, 0, 1.75), (2, 2, 0))
    + path(heading_pose(4, 0, 0), heading_pose(8, 0, 0)) + heading_pose(4, 0, 0) + drive(25),
    "full_run": CLOSING + path(heading_pose(0, 0, 0), heading_pose(4, 2, math.pi / 2))
    + heading_pose(0, 0, math.pi) + drive(255) * 3,
    "near_station": CLOSING + path(heading_pose(0, 0, 0), heading_pose(0.03, 0.049, 1))
    + heading_pose(0, 0, 0) + drive(40),
    "init_and_new_path_midway": CLOSING + path(heading_pose(0, 0, 0), heading_pose(0, -3, 0))
    + heading_pose(0, 0, 0) + drive(60) + byte(INIT) + byte(SET_PATH)
    + path(heading_pose(1, 1, 0), heading_pose(-2, 1, -math.pi / 2)) + drive(120)
    + byte(GET_PATH) + path(heading_pose(5, 5, 3)) + drive(100),
    "non_finite_and_odd_poses": CLOSING + path(heading_pose(0, 0, 0), heading_pose(2, 0, 0))
    + heading_pose(0, 0, 0) + byte(POSE) + heading_pose(NAN, 0, 0)
    + byte(POSE) + heading_pose(1, math.inf, 0) + byte(POSE) + quaternion_pose(1, 0, 0, 1, 0, 1)
    + byte(POSE) + quaternion_pose(1, 0, 0, 0, 0, 0) + byte(POSE) + heading_pose(1e300, -1e300, 1e16)
    + drive(20),
    "empty_and_origin_paths": CLOSING + byte(0) + heading_pose(0, 0, 0) + drive(2)
    + byte(SET_PATH) + path(heading_pose(0, 0, 0)) + drive(2)
    + byte(SET_PATH) + path(quaternion_pose(3, 0, 0, 0, 0, 0)) + drive(50),
    "slips_during_the_line": CLOSING + path(heading_pose(0, 0, 0), heading_pose(3, 0, math.pi))
    + heading_pose(0, 0, 0.04) + drive(10) + byte(SLIP) + reals(0, 0.5, 0.3) + drive(30)
    + byte(SLIP) + reals(4, 0, 0) + drive(30),
}
# Every seed ends in the closing runs too.
CONTROLLER = {name: stall_checked(seed) for name, seed in CONTROLLER.items()}

# ---- geometry -----------------------------------------------------------------------------------
NEAREST_POINT, NEAREST_LINE, LOOKUPS, PRIMITIVES, RECTANGLES, COPY, GROW = range(7)
ELEMENT, PAST_END, OUTSIDE, NULL = 0, 1, 2, 3


def built_segment(x1, y1, x2, y2):
    return reals(x1, y1, x2, y2) + byte(1)


def raw_segment(x1, y1, x2, y2, gradient, length, length_squared, distance):
    return reals(x1, y1, x2, y2) + byte(0) + reals(gradient, length, length_squared, distance)


def lists(points, segments):
    return (byte(len(points)) + b"".join(reals(*p) for p in points)
            + byte(len(segments)) + b"".join(segments))


def rectangle_call():
    from_pose = reals(0, 0, 0, 0, 0, 1)
    to_pose = reals(10, 0, 0, 0, 0, 1)
    return (byte(RECTANGLES) + from_pose + to_pose + reals(4, 2, 1) + reals(0, 0, 0, 0)
            + reals(0, 0, 4, 3, 4, 3, 0, 3, 2, 1)
            + reals(2.5, 0, 0.6, 0, 0, 1.75, 1, 0.5, -0.875))


GEOMETRY = {
    "searches": lists([(1, 0), (0, 1), (5, 5)],
                      [built_segment(0, 0, 10, 0), built_segment(0, 5, 10, 5)])
    + byte(NEAREST_POINT) + reals(0, 0) + byte(NEAREST_LINE) + reals(5, 1)
    + byte(LOOKUPS) + byte(ELEMENT) + byte(2) + byte(ELEMENT) + byte(1)
    + byte(LOOKUPS) + byte(OUTSIDE) + byte(PAST_END),
    "single_elements": lists([(2, 2)], [built_segment(2, 2, 2, 2)])
    + byte(NEAREST_POINT) + reals(9, 9) + byte(NEAREST_LINE) + reals(5, 6)
    + byte(LOOKUPS) + byte(OUTSIDE) + byte(NULL),
    "empty_lists": lists([], []) + byte(NEAREST_POINT) + reals(0, 0) + byte(NEAREST_LINE)
    + reals(0, 0) + byte(LOOKUPS) + byte(NULL) + byte(PAST_END) + byte(GROW) + reals(1, 1)
    + built_segment(0, 0, 1, 1) + byte(NEAREST_POINT) + reals(0, 0),
    "nan_and_degenerate": lists([(NAN, 0), (1, 1), (1, 1), (math.inf, -math.inf)],
                                [raw_segment(0, 0, 5, 0, 0, 5, 0, 0),
                                 raw_segment(NAN, 0, 1, 1, NAN, NAN, NAN, NAN),
                                 built_segment(1e300, 1e300, -1e300, -1e300)])
    + byte(NEAREST_POINT) + reals(1, 1) + byte(NEAREST_LINE) + reals(0, 1)
    + byte(PRIMITIVES) + reals(2, 3, 5, 7) + built_segment(0, 0, 10, 0)
    + built_segment(5, -1, 5, 1),
    "primitives_rectangles_copies": lists([(0, 0), (3, 4)], [built_segment(0, 0, 10, 0),
                                                             built_segment(10, 0, 12, 3)])
    + byte(PRIMITIVES) + reals(-1, 0, 0, 0) + built_segment(0, 0, 10, 0)
    + built_segment(11, -1, 11, 1) + rectangle_call()
    + byte(COPY) + reals(1, 1) + reals(2, 2) + reals(3, 3),
    "many_points": lists([(i * 1.25 % 17, i * 2.5 % 13) for i in range(40)],
                         [built_segment(i, 0, i + 1, 1) for i in range(20)])
    + byte(NEAREST_POINT) + reals(6, 6) + byte(NEAREST_LINE) + reals(7.5, 3),
}

# ---- PID: six parameters, then calls (a byte, 0 moves the handle first) -------------------------


def pid_calls(*pairs):
    return b"".join(byte(1) + reals(setpoint, measured) for setpoint, measured in pairs)


PID = {
    "worked_example": reals(0.5, 100, -100, 2, 1, 4) + pid_calls((3, 1), (3, 2), (100, 0)),
    "zero_time_step": reals(0, 1, -1, 1, 1, 1) + pid_calls((1, 0), (1, 0), (0, 1)),
    "crossed_bounds": reals(0.1, 1, 5, 1, 0, 0) + pid_calls((0.5, 0), (3, 0), (10, 0)),
    "extremes_and_moves": reals(1e-300, math.inf, -math.inf, 1e300, -1e300, 5e-324)
    + pid_calls((NAN, 0), (1e300, -1e300)) + byte(0) + reals(1, 1) + pid_calls((0, 0)),
}

# ---- route: start heading, a path in one of three forms, a goal orientation, then actions -------
LISTED, DENSE, SWINGING = 0, 1, 2
RAW_GOAL, GOAL_HEADING = 0, 1
RESEND, REFUSE, STRETCH = 0, 1, 2


def eighths(*values):
    """Coordinates of everyday size, one byte each: value * 8 as a signed byte."""
    return b"".join(struct.pack("<b", round(value * 8)) for value in values)


def listed(*points):
    """(x, y) or (x, y, z) poses, each with its byte choosing whether z follows."""
    out = byte(LISTED) + byte(len(points))
    for point in points:
        out += reals(point[0], point[1]) + (byte(0) + real(point[2]) if len(point) > 2 else byte(1))
    return out


def dense(corners, spacing_mm, jitter_mm, copies):
    # The spacing comes in steps of 100 mm, or of 2 mm after a unit choice of 0.
    if spacing_mm % 100 == 0:
        spacing = byte(1) + byte(spacing_mm // 100 - 1)
    else:
        spacing = byte(0) + byte(round(spacing_mm / 2) - 1)
    return (byte(DENSE) + byte(len(corners) - 1) + eighths(*(v for c in corners for v in c))
            + spacing + byte(round(jitter_mm * 2)) + byte(copies - 1))


LONG_PATH_SCALE = 10


def swinging(count, period, step, drift):
    half = (count - 1) // 2
    # The count comes in one byte, for long paths (a choice of 0) in steps of LONG_PATH_SCALE.
    size = byte(0) + byte(half // LONG_PATH_SCALE) if half > 255 else byte(1) + byte(half)
    return (byte(SWINGING) + size + byte(period - 1) + reals(*step)
            + eighths(*(d * 64 for d in drift)))


def goal_heading(heading):
    return byte(GOAL_HEADING) + real(heading)


def stretch(cycles_over_four):
    return byte(STRETCH) + byte(cycles_over_four)


DRIVE_ONE_IN = 16


def driven(seed):
    """The seed with one more action byte, the first that makes the harness drive it. An action
    read after the drive's end is never taken; one read before it is a resend, a refusal or a
    stretch."""
    return chosen_one_in(DRIVE_ONE_IN, seed, [byte(action) for action in range(256)])


# Small enough to be driven in closed loop.
L_CORNERS = [(0, 0), (0.625, 0), (0.625, 0.375)]

ROUTE = {
    "planner_l_with_resends": driven(
        eighths(0.5) + dense(L_CORNERS, 50, 0, 1) + goal_heading(math.pi) + stretch(30)
        + byte(RESEND) + stretch(60) + byte(REFUSE) + stretch(200) + byte(RESEND)),
    "u_turn_round_a_shelf": driven(eighths(0) + listed((0, 0), (0.5, 0), (0.5, 0.25), (0, 0.25))
    + goal_heading(-math.pi / 2)),
    "back_and_forth": driven(eighths(3) + listed((0, 0), (0.5, 0), (0, 0), (0, 0.001), (0.375, 0))
    + goal_heading(0.5)),
    "one_position_at_the_origin": driven(eighths(-2) + listed((0, 0), (0, 0)) + goal_heading(1.5)),
    "non_finite_and_huge": eighths(0) + listed((0, 0), (NAN, 1), (1, math.inf), (1e300, 0),
                                               (1, 1, NAN), (2, 2))
    + byte(RAW_GOAL) + reals(0, 0, 1e-160, 1e-160),
    "zero_quaternion_goal": eighths(1) + listed((1, 1), (3, 1)) + byte(RAW_GOAL)
    + reals(0, 0, 0, 0),
    "jittered_square_with_repeats": eighths(-1)
    + dense([(-10, -10), (10, -10), (10, 10), (-10, 10)], 2, 20, 3) + goal_heading(3),
    "five_thousand_swings": eighths(0) + swinging(5000, 7, (0.5, 0.25), (0.125, 0))
    + goal_heading(0),
}


# ---- clearance: footprint, route ahead, command, settings, points, then where to place a point -
def clearance(vertices, radius, corners, final_heading, command, settings, min_points, points,
              picks):
    data = byte(len(vertices)) + b"".join(reals(*v) for v in vertices) + real(radius)
    data += byte(len(corners)) + b"".join(reals(*c) for c in corners)
    data += (byte(1) + real(final_heading)) if final_heading is not None else byte(0)
    data += reals(*command) + reals(*settings) + byte(min_points)
    data += byte(len(points)) + b"".join(reals(*p) for p in points)
    return data + bytes(picks)


RECTANGLE = [(-0.3, -0.2), (0.3, -0.2), (0.3, 0.2), (-0.3, 0.2)]
EVERYDAY_SETTINGS = (0.05, 0.5, 1, 0.5, 2)
CLEARANCE = {
    "rectangle_on_an_l": clearance(RECTANGLE, 0, [(2, 0), (2, 2)], math.pi / 2, (0.4, 0.1),
                                   EVERYDAY_SETTINGS, 1, [(1, 0.1), (2.25, 1), (5, 5), (0.5, 0.3)],
                                   [128, 200, 0, 100, 50, 25]),
    "round_turning_in_place": clearance([], 0.3, [], None, (0, 0.5), EVERYDAY_SETTINGS, 2,
                                        [(0.25, 0.1), (NAN, NAN), (math.inf, 0), (0.2, -0.2)],
                                        [0, 0, 128]),
    "half_turn_at_a_corner": clearance(RECTANGLE, 0.05, [(0.5, 0), (-1, 0.01)], None, (1.5, 0),
                                       (0, 0.8, 3, 0.25, 1), 1, [(0.5, 0.35), (-0.5, 0)],
                                       [255, 60, 0, 255, 255, 255]),
    "degenerate_and_huge": clearance([(0, 0), (1, 0), (2, 0)], 0, [(1e300, 0), (NAN, 1)], NAN,
                                     (NAN, math.inf), (NAN, 0, -1, 2, -1), 0,
                                     [(1e300, -1e300), (0, 0)], [1, 2, 3]),
}


def main():
    root = pathlib.Path(__file__).resolve().parent / "corpus"
    for harness, seeds in (("toolkit", TOOLKIT), ("controller", CONTROLLER),
                           ("geometry", GEOMETRY), ("pid", PID),
                           ("route", ROUTE), ("clearance", CLEARANCE)):
        folder = root / harness
        folder.mkdir(parents=True, exist_ok=True)
        for name, data in seeds.items():
            (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
