#pragma once

// Everything the package offers a host: libtrelvo, and the route and clearance units of
// libtrelvo_route (trelvo/route.hpp and trelvo/clearance.hpp, which need that library linked as
// well: trelvo::route).

#include "trelvo/clearance.hpp"
#include "trelvo/controller.hpp"
#include "trelvo/geometry.hpp"
#include "trelvo/logger.hpp"
#include "trelvo/motion.hpp"
#include "trelvo/pid.hpp"
#include "trelvo/route.hpp"
