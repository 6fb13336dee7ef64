#include <cmath>
#include <utility>

#include "trelvo/geometry.hpp"

namespace {

// Rebuilds index from elements by distanceTo and returns the element under the smallest key.
// Equal keys overwrite, so ties go to the last element in list order. A NaN key compares neither
// less nor greater than any other and would break the map's ordering: such elements stay out.
template <typename Element, typename Index, typename DistanceTo>
Element* rebuildIndex(std::vector<Element>& elements, Index& index, DistanceTo distanceTo) {
  index.clear();
  const int count = static_cast<int>(elements.size());
  if (count == 1) {
    return &elements[0];
  }
  for (Element& element : elements) {
    const double distance = distanceTo(element);
    if (!std::isnan(distance)) {
      index[distance] = &element;
    }
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
  return rebuildIndex(points, pointsByDistance,
                      [&](VECTOR2D& point) { return getDistance(query, point); });
}

Geometry::LineSegment* Geometry::getNearestLine(VECTOR2D& query) {
  return rebuildIndex(lineSegments, linesByDistance, [&](LineSegment& segment) {
    return getMinimumDistancePointToLine(segment, query);
  });
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
