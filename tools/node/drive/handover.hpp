#pragma once

// What became of a path that left the frames for the drive.

#include <string>

namespace node {

struct Handover {
  enum class Kind {
    Driven,       // a new route, or the route under way resent or replanned
    Empty,        // an empty path: the route under way ends
    Refused,      // a path the controller cannot drive
    NoTransform,  // TF did not join the path's frame to the poses' in time
  };
  Kind kind = Kind::Driven;
  std::string reason;  // why the path was refused
};

}  // namespace node
