#pragma once

// The vehicle's footprint as Nav2 gives it in text: "[[0.5, 0.3], [0.5, -0.3], [-0.5, -0.3],
// [-0.5, 0.3]]", the polygon's corners in the base frame (m), at least three.

#include <string>

#include "trelvo/clearance.hpp"

namespace node {

/// The polygon of `text`; throws std::invalid_argument naming what is wrong.
trelvo::Footprint parseFootprint(const std::string& text);

}  // namespace node
