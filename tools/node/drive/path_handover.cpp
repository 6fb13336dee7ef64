#include "node/drive/path_handover.hpp"

namespace node {

std::optional<Handover> handOverPath(DriveFrames& frames, DriveCycle& drive,
                                     Clock::time_point now) {
  const auto path = frames.readyPath(now);
  if (const auto refusal = frames.takeRefusal()) {
    drive.notePathRefused(*refusal);
    return Handover{Handover::Kind::NoTransform, *refusal};
  }
  if (!path) {
    return std::nullopt;
  }
  switch (drive.receivePath(*path)) {
    case trelvo::PathReception::Taken:
      frames.routeTaken(*path);
      return Handover{};
    case trelvo::PathReception::Unchanged:
      return Handover{};
    case trelvo::PathReception::Stopped:
      return Handover{Handover::Kind::Empty, {}};
    case trelvo::PathReception::Refused:
      return Handover{Handover::Kind::Refused, trelvo::refusalReason(*path)};
  }
  return std::nullopt;
}

}  // namespace node
