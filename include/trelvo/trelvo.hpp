#pragma once

// Everything libtrelvo offers a host.

#include "trelvo/controller.hpp"
#include "trelvo/geometry.hpp"
#include "trelvo/logger.hpp"
#include "trelvo/motion.hpp"
#include "trelvo/pid.hpp"
