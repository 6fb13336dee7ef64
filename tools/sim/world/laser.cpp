#include "sim/world/laser.hpp"

#include <cmath>
#include <limits>

namespace sim {

std::size_t beamCount(const LaserSettings& settings) {
  // The small allowance keeps the far edge's beam where the division rounds just below a whole.
  return static_cast<std::size_t>(std::floor(settings.fieldOfView / settings.resolution + 1e-9)) +
         1;
}

Laser::Laser(const LaserSettings& settings, std::uint64_t noiseSeed)
    : settings_(settings), noise_(noiseSeed) {}

double Laser::beamAngle(std::size_t beam) const {
  return -settings_.fieldOfView / 2 + beam * settings_.resolution;
}

std::vector<double> Laser::scan(const common::Pose2D& vehicle,
                                const std::vector<Outline>& obstacles) {
  const double c = std::cos(vehicle.heading);
  const double s = std::sin(vehicle.heading);
  const common::Pose2D& m = settings_.mount;
  const Point2D origin{vehicle.x + c * m.x - s * m.y, vehicle.y + s * m.x + c * m.y};
  std::vector<double> ranges;
  for (std::size_t beam = 0; beam < beamCount(settings_); ++beam) {
    const double angle = vehicle.heading + m.heading + beamAngle(beam);
    const Point2D direction{std::cos(angle), std::sin(angle)};
    double range = std::numeric_limits<double>::infinity();
    for (const Outline& obstacle : obstacles) {
      if (const std::optional<double> hit = rayHit(obstacle, origin, direction)) {
        range = std::min(range, *hit);
      }
    }
    if (settings_.noise > 0.0 && std::isfinite(range)) {
      range = std::max(0.0, range + settings_.noise * gauss_(noise_));
    }
    ranges.push_back(range <= settings_.range ? range : std::numeric_limits<double>::infinity());
  }
  return ranges;
}

std::vector<Point2D> Laser::pointsOf(const std::vector<double>& ranges) const {
  const common::Pose2D& m = settings_.mount;
  std::vector<Point2D> points;
  for (std::size_t beam = 0; beam < ranges.size(); ++beam) {
    if (std::isfinite(ranges[beam])) {
      const double angle = m.heading + beamAngle(beam);
      points.push_back(
          {m.x + ranges[beam] * std::cos(angle), m.y + ranges[beam] * std::sin(angle)});
    }
  }
  return points;
}

}  // namespace sim
