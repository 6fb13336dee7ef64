#pragma once

// Everything libtrelvo offers a host.

#include "trelvo/controller.hpp"
#include "trelvo/motion.hpp"
