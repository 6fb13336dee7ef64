#pragma once

// Everything the package offers a host: libtrelvo, and the route unit of libtrelvo_route
// (trelvo/route.hpp, which needs that library linked as well: trelvo::route).

#include "trelvo/controller.hpp"
#include "trelvo/geometry.hpp"
#include "trelvo/logger.hpp"
#include "trelvo/motion.hpp"
#include "trelvo/pid.hpp"
#include "trelvo/route.hpp"
