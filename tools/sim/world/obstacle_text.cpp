#include "sim/world/obstacle_text.hpp"

#include <cmath>
#include <sstream>
#include <vector>

#include <fmt/format.h>

#include "common/number_text.hpp"

namespace sim {
namespace {

constexpr std::size_t kCircleNumbers = 3;  // X, Y, R
constexpr std::size_t kBoxNumbers = 5;     // X, Y, DEG, LENGTH, WIDTH
constexpr std::size_t kWalkNumbers = 4;    // X, Y, SPEED, FROM

std::vector<std::string> wordsOf(const std::string& text) {
  std::vector<std::string> words;
  std::stringstream in(text);
  for (std::string word; std::getline(in, word, ',');) {
    words.push_back(word);
  }
  return words;
}

constexpr const char* kForm =
    "expected circle,X,Y,R or box,X,Y,DEG,LENGTH,WIDTH, then for a "
    "walker ,to,X,Y,SPEED,FROM";

}  // namespace

std::variant<Obstacle, std::string> obstacleFromText(const std::string& text) {
  const std::vector<std::string> words = wordsOf(text);
  if (words.empty() || (words[0] != "circle" && words[0] != "box")) {
    return std::string(kForm);
  }
  Obstacle obstacle;
  obstacle.shape = words[0] == "circle" ? ObstacleShape::Circle : ObstacleShape::Box;
  const std::size_t shapeNumbers =
      obstacle.shape == ObstacleShape::Circle ? kCircleNumbers : kBoxNumbers;
  const bool walks = words.size() > shapeNumbers + 1;
  if (words.size() != 1 + shapeNumbers + (walks ? 1 + kWalkNumbers : 0) ||
      (walks && words[1 + shapeNumbers] != "to")) {
    return std::string(kForm);
  }
  std::vector<double> numbers;
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (i == 1 + shapeNumbers) {
      continue;
    }
    if (const auto complaint = common::realComplaint(words[i], common::Bound::Any)) {
      return fmt::format("{}: {}", words[i], *complaint);
    }
    numbers.push_back(std::stod(words[i]));
  }
  obstacle.at = {numbers[0], numbers[1], 0.0};
  if (obstacle.shape == ObstacleShape::Circle) {
    obstacle.radius = numbers[2];
  } else {
    obstacle.at.heading = common::toRadians(numbers[2]);
    obstacle.length = numbers[3];
    obstacle.width = numbers[4];
  }
  if (!(obstacle.radius > 0.0 || (obstacle.length > 0.0 && obstacle.width > 0.0))) {
    return std::string("the obstacle's size must be above 0");
  }
  if (walks) {
    const double* walk = &numbers[shapeNumbers];
    if (!(walk[2] > 0.0) || walk[3] < 0.0) {
      return std::string("a walker's speed must be above 0 and its start time not below 0");
    }
    obstacle.walk = Walk{{walk[0], walk[1]}, walk[2], walk[3]};
  }
  return obstacle;
}

std::string obstacleText(const Obstacle& obstacle) {
  const common::Pose2D& at = obstacle.at;
  std::string text =
      obstacle.shape == ObstacleShape::Circle
          ? fmt::format("circle,{},{},{}", at.x, at.y, obstacle.radius)
          : fmt::format("box,{},{},{},{},{}", at.x, at.y, common::toDegrees(at.heading),
                        obstacle.length, obstacle.width);
  if (obstacle.walk) {
    const Walk& walk = *obstacle.walk;
    text += fmt::format(",to,{},{},{},{}", walk.to.x, walk.to.y, walk.speed, walk.from);
  }
  return text;
}

}  // namespace sim
