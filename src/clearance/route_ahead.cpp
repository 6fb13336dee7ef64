#include <cmath>

#include "trelvo/clearance.hpp"

namespace trelvo {

RouteAhead routeAhead(const Pose2D& vehicle, const std::vector<Leg>& legs, std::size_t legIndex) {
  RouteAhead ahead;
  if (legIndex >= legs.size()) {
    return ahead;
  }
  const double c = std::cos(vehicle.heading);
  const double s = std::sin(vehicle.heading);
  for (std::size_t i = legIndex; i < legs.size(); ++i) {
    const double dx = legs[i].end.x - vehicle.x;
    const double dy = legs[i].end.y - vehicle.y;
    if (i == legIndex && std::hypot(dx, dy) <= kCornerTolerance) {
      continue;  // at the corner already: what remains of this leg is its turn
    }
    ahead.corners.push_back({c * dx + s * dy, -s * dx + c * dy});
  }
  ahead.finalHeading = std::remainder(legs.back().end.heading - vehicle.heading, 2 * M_PI);
  return ahead;
}

}  // namespace trelvo
