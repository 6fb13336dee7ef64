#include <cmath>
#include <cstddef>
#include <map>
#include <utility>

#include "distance_sort.hpp"
#include "trelvo/geometry.hpp"

namespace {

// Rebuilds index from elements by distanceTo and returns the element under the smallest key.
// One entry per distance: among elements at the same distance the last in list order holds it. A
// NaN key compares neither less nor greater than any other and would break the map's ordering:
// such elements stay out. The distances are sorted first (stably, so equal ones keep list order)
// and inserted in ascending order at the end of the map, in amortised constant time each. The
// nodes of the index being replaced carry the new entries: moving a node between maps costs no
// allocation and no freeing.
template <typename Element, typename DistanceTo>
Element* rebuildIndex(std::vector<Element>& elements, std::map<double, Element*>& index,
                      std::vector<DistanceEntry>& order, std::vector<DistanceEntry>& scratch,
                      DistanceTo distanceTo) {
  std::map<double, Element*> previous;  // what it still holds is freed on return
  previous.swap(index);
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
  for (std::size_t next = 0; next < order.size(); ++next) {
    const auto [distance, position] = order[next];
    if (next + 1 < order.size() && order[next + 1].first == distance) {
      continue;  // a later element at the same distance takes the key
    }
    if (previous.empty()) {
      index.emplace_hint(index.end(), distance, &elements[position]);
    } else {
      auto node = previous.extract(previous.begin());
      node.key() = distance;
      node.mapped() = &elements[position];
      index.insert(index.end(), std::move(node));
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
