#include <cmath>
#include <utility>

#include "distance_sort.hpp"
#include "trelvo/geometry.hpp"

namespace {

// Rebuilds index from elements by distanceTo and returns the element under the smallest key.
// Equal keys overwrite, so ties go to the last element in list order. A NaN key compares neither
// less nor greater than any other and would break the map's ordering: such elements stay out.
// The distances are sorted first (stably, so equal keys keep list order) and inserted in
// ascending order at the end of the map.
template <typename Element, typename DistanceTo>
Element* rebuildIndex(std::vector<Element>& elements, std::pmr::map<double, Element*>& index,
                      std::vector<DistanceEntry>& order, std::vector<DistanceEntry>& scratch,
                      DistanceTo distanceTo) {
  index.clear();
  const int count = static_cast<int>(elements.size());
  if (count == 1) {
    return &elements[0];
  }
  order.clear();
  for (int position = 0; position < count; ++position) {
    const double distance = distanceTo(elements[position]);
    if (!std::isnan(distance)) {
      order.emplace_back(distance, position);
    }
  }
  sortByDistance(order, scratch);
  for (const auto& [distance, position] : order) {
    index.insert_or_assign(index.end(), distance, &elements[position]);
  }
  return index.empty() ? nullptr : index.begin()->second;
}

}  // namespace

Geometry::Geometry(const Geometry& other)
    : points(other.points), lineSegments(other.lineSegments) {}

Geometry::Geometry(Geometry&& other) noexcept
    : points(std::move(other.points)), lineSegments(std::move(other.lineSegments)) {
  other.pointsByDistance.clear();
  other.linesByDistance.clear();
}

Geometry& Geometry::operator=(const Geometry& other) {
  if (this != &other) {
    pointsByDistance.clear();
    linesByDistance.clear();
    points = other.points;
    lineSegments = other.lineSegments;
  }
  return *this;
}

Geometry& Geometry::operator=(Geometry&& other) noexcept {
  if (this != &other) {
    pointsByDistance.clear();
    linesByDistance.clear();
    other.pointsByDistance.clear();
    other.linesByDistance.clear();
    points = std::move(other.points);
    lineSegments = std::move(other.lineSegments);
  }
  return *this;
}

VECTOR2D* Geometry::getNearestPoint(VECTOR2D& query) {
  return rebuildIndex(points, pointsByDistance, distanceOrder, distanceOrderScratch,
                      [&](VECTOR2D& point) { return getDistance(query, point); });
}

Geometry::LineSegment* Geometry::getNearestLine(VECTOR2D& query) {
  return rebuildIndex(
      lineSegments, linesByDistance, distanceOrder, distanceOrderScratch,
      [&](LineSegment& segment) { return getMinimumDistancePointToLine(segment, query); });
}

int Geometry::searchAPoint(VECTOR2D* candidate) {
  const int count = static_cast<int>(points.size());
  if (count == 1) {
    return 0;
  }
  for (int index = 0; index < count; ++index) {
    if (&points[index] == candidate) {
      return index;
    }
  }
  return -1;
}

Geometry::LineSegment* Geometry::getNextLineSegment(LineSegment* current) {
  const int count = static_cast<int>(lineSegments.size());
  if (count == 1) {
    return &lineSegments[0];
  }
  for (int index = 0; index < count; ++index) {
    if (&lineSegments[index] == current) {
      return &lineSegments[index + 1 == count ? 0 : index + 1];
    }
  }
  return nullptr;
}
