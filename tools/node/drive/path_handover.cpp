#include "node/drive/path_handover.hpp"

namespace node {

void handOverPath(DriveFrames& frames, DriveCycle& drive, Clock::time_point now) {
  const auto path = frames.readyPath(now);
  if (const auto refusal = frames.takeRefusal()) {
    drive.notePathRefused(*refusal);
  }
  if (path && drive.receivePath(*path) == trelvo::PathReception::Taken) {
    frames.routeTaken(*path);
  }
}

}  // namespace node
