#pragma once

// The texts of the controller's debug lines, in the order a cycle can write them. Operators
// search logs and journals for them, so they stay exactly as they are, misspellings included.
// The benchmark formats the same texts for the floor it holds a controller cycle against.

// Every cycle with a path: step, coutt; then the path and goal heading.
inline constexpr char kStepMessage[] = "####step: {}, coutt: {}";
inline constexpr char kPathMessage[] =
    "pseCallback_startPointX: {:.3f}, startPointy: {:.3f}, endPointX: {:.3f}, endPointy: {:.3f}, "
    "goal_angle: {}";

// Start of a run: pose x, y, goal x, y (and the distances |dx|, |dy| when not near).
inline constexpr char kNearStationMessage[] =
    "near station-current pose: {:.3f}, {:.3f}, EndPoint: {:.3f}, {:.3f}";
inline constexpr char kNotNearStationMessage[] =
    "NO, near station-current pose: {:.3f}, {:.3f}, EndPoint: {:.3f}, {:.3f}, X_dis: {:.3f}, "
    "Y_dis: {:.3f}";

// Turn progress: start error (deg), heading (deg), target (deg), wc, e, previous e.
inline constexpr char kFirstTurnProgressMessage[] =
    "AngleError_Rotate: {}, Angle_current: {}, nvgi-yaw_degree: {}, wc: {}, "
    "angle_error_current_last: {}, {}";
inline constexpr char kFinalTurnProgressMessage[] =
    "AngleError_Rotate: {}, Angle_current: {}, goal_angle_degree: {}, wc: {}, "
    "angle_error_current_last: {}, {}";

// Turn done: isNearPoint, e; and e, previous e.
inline constexpr char kFirstTurnDoneMessage[] =
    "step1urn successful, isNearPoint: {}, dAngleErrorRotate_cerrent: {}";
inline constexpr char kFinalTurnDoneMessage[] =
    "step2turn successful, angleError: {}, dgAngleErrorRotate_last: {}";

// Line move: the followed line, then the deviation (r in degrees); on arrival the deviation, its
// length, coutt and isNearPoint.
inline constexpr char kLineMessage[] =
    "startPose_x: {}, startPose_Y: {}, endPointX: {}, endPointy: {}";
inline constexpr char kDeviationMessage[] = "pDeltaX: {}, pDeltaY: {}, pDeltaR_degree: {:.3f}";
inline constexpr char kLineDoneMessage[] =
    "line move successful, DeltaX: {}, DeltaY: {}, station resolution: {}, coutt: {}, "
    "isNearPoint: {}";
