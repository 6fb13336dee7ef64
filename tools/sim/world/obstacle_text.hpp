#pragma once

// An obstacle on one line, as --obstacle takes it and a replay command gives it back:
//   circle,X,Y,R  or  box,X,Y,DEG,LENGTH,WIDTH, followed for a walker by ,to,X,Y,SPEED,FROM

#include <string>
#include <variant>

#include "sim/world/obstacle.hpp"

namespace sim {

/// The obstacle, or what is wrong with the text.
std::variant<Obstacle, std::string> obstacleFromText(const std::string& text);
/// Text that obstacleFromText reads back as the same obstacle.
std::string obstacleText(const Obstacle& obstacle);

}  // namespace sim
