#pragma once

// A path's way from its arrival to the route driven: through the frames, which hold it until TF
// joins its frame to the poses', to the drive cycle. Only a path the drive takes as a new route
// moves the frame the poses are driven in (and the look-ahead point is published in): a refused
// path, or one that repeats the route under way, leaves the route's frame as it was.

#include <optional>

#include "node/drive/drive_cycle.hpp"
#include "node/drive/drive_frames.hpp"
#include "node/drive/handover.hpp"

namespace node {

/// Hands the path that is ready at `now`, if any, to `drive`; a path the frames refused is noted
/// in the drive's status. What became of the path; nothing while none left the frames.
std::optional<Handover> handOverPath(DriveFrames& frames, DriveCycle& drive, Clock::time_point now);

}  // namespace node
