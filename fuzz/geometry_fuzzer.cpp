// A Geometry with arbitrary point and segment lists, asked arbitrary questions. Segments are
// mostly built with getLineSegment (as the host must), sometimes with arbitrary cached values.
// Every search result must be null or point into its list, agree with a plain scan over the same
// distances (ties to the last element, NaN distances left out), and leave an index whose entries
// point into the list under their own distances. NaN coordinates make the boolean tests false.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include <tf2/LinearMath/Vector3.h>

#include "fuzz_support.hpp"
#include "trelvo/geometry.hpp"

namespace {

using fuzz::check;
using fuzz::Input;
using fuzz::same;
using LineSegment = Geometry::LineSegment;

constexpr unsigned kLongestList = 64;
constexpr int kMostQuestionsPerRun = 64;

VECTOR2D readPoint(Input& in) {
  return {in.real(), in.real()};
}

LineSegment readSegment(Input& in, Geometry& geometry) {
  VECTOR2D from = readPoint(in);
  VECTOR2D to = readPoint(in);
  if (in.choice(8) != 0) {
    return geometry.getLineSegment(from, to);
  }
  return {from, to, in.real(), in.real(), in.real(), in.real()};
}

void fillLists(Input& in, Geometry& geometry) {
  const unsigned pointCount = in.choice(kLongestList);
  for (unsigned i = 0; i < pointCount; ++i) {
    geometry.points.push_back(readPoint(in));
  }
  const unsigned segmentCount = in.choice(kLongestList);
  for (unsigned i = 0; i < segmentCount; ++i) {
    geometry.lineSegments.push_back(readSegment(in, geometry));
  }
}

template <typename Element>
bool pointsInto(const std::vector<Element>& list, const Element* element) {
  return !list.empty() && element >= list.data() && element < list.data() + list.size();
}

bool hasNaN(const VECTOR2D& point) {
  return std::isnan(point.x) || std::isnan(point.y);
}

bool hasNaN(const LineSegment& segment) {
  return hasNaN(segment.start) || hasNaN(segment.end);
}

// The search result against a scan of the same distances: the last element at the smallest
// distance that is not NaN; a one-element list answers that element without an index.
template <typename Element, typename Index, typename DistanceOf>
void checkSearch(std::vector<Element>& list, const Element* result, const Index& index,
                 DistanceOf distanceOf) {
  check(result == nullptr || pointsInto(list, result), "a search result points into its list");
  if (list.size() == 1) {
    check(result == &list[0] && index.empty(), "a one-element list answers at once");
    return;
  }
  const Element* nearest = nullptr;
  double smallest = 0.0;
  for (Element& element : list) {
    const double distance = distanceOf(element);
    if (!std::isnan(distance) && (nearest == nullptr || distance <= smallest)) {
      nearest = &element;
      smallest = distance;
    }
  }
  check(result == nearest, "the search agrees with a scan: last of the nearest, NaN left out");
  check(index.size() <= list.size(), "the index holds at most one entry per element");
  for (const auto& [distance, element] : index) {
    check(pointsInto(list, element), "index entries point into the list");
    check(distance == distanceOf(*element), "index entries sit under their own distance");
  }
}

void nearestPoint(Input& in, Geometry& geometry, fuzz::CallTimer& timer) {
  VECTOR2D query = readPoint(in);
  VECTOR2D* result = nullptr;
  timer.time("getNearestPoint", [&] { result = geometry.getNearestPoint(query); });
  checkSearch(geometry.points, result, geometry.pointsByDistance,
              [&](VECTOR2D& point) { return geometry.getDistance(query, point); });
  if (result != nullptr) {
    check(geometry.searchAPoint(result) == result - geometry.points.data(),
          "searchAPoint finds the nearest point's index");
  }
}

void nearestLine(Input& in, Geometry& geometry, fuzz::CallTimer& timer) {
  VECTOR2D query = readPoint(in);
  LineSegment* result = nullptr;
  timer.time("getNearestLine", [&] { result = geometry.getNearestLine(query); });
  if (geometry.lineSegments.size() > 1) {
    for (LineSegment& segment : geometry.lineSegments) {
      LineSegment copy = segment;
      check(same(segment.distance, geometry.getMinimumDistancePointToLine(copy, query)),
            "getNearestLine records each segment's distance");
    }
  }
  checkSearch(geometry.lineSegments, result, geometry.linesByDistance, [&](LineSegment& segment) {
    LineSegment copy = segment;
    return geometry.getMinimumDistancePointToLine(copy, query);
  });
}

// An element of the list, the address just past it, a copy of an element, or null.
template <typename Element>
Element* readAddress(Input& in, std::vector<Element>& list, Element& outside) {
  const unsigned kind = in.choice(4);
  if (kind == 0 && !list.empty()) {
    return &list[in.choice(static_cast<unsigned>(list.size()))];
  }
  if (kind == 1) {
    return list.data() + list.size();
  }
  if (kind == 2) {
    return &outside;
  }
  return nullptr;
}

void lookUps(Input& in, Geometry& geometry, fuzz::CallTimer& timer) {
  VECTOR2D outsidePoint{};
  VECTOR2D* candidate = readAddress(in, geometry.points, outsidePoint);
  int index = 0;
  timer.time("searchAPoint", [&] { index = geometry.searchAPoint(candidate); });
  const std::vector<VECTOR2D>& points = geometry.points;
  const int expected = points.size() == 1              ? 0
                       : pointsInto(points, candidate) ? static_cast<int>(candidate - points.data())
                                                       : -1;
  check(index == expected, "searchAPoint finds by address");

  LineSegment outsideSegment{};
  LineSegment* current = readAddress(in, geometry.lineSegments, outsideSegment);
  LineSegment* next = nullptr;
  timer.time("getNextLineSegment", [&] { next = geometry.getNextLineSegment(current); });
  std::vector<LineSegment>& segments = geometry.lineSegments;
  if (segments.size() == 1) {
    check(next == &segments[0], "a one-segment chain answers its segment");
  } else if (pointsInto(segments, current)) {
    const std::size_t after = static_cast<std::size_t>(current - segments.data()) + 1;
    check(next == &segments[after % segments.size()], "the chain closes on itself");
  } else {
    check(next == nullptr, "an address outside the chain has no next segment");
  }
}

void primitives(Input& in, Geometry& geometry, fuzz::CallTimer& timer) {
  VECTOR2D a = readPoint(in);
  VECTOR2D b = readPoint(in);
  LineSegment first = readSegment(in, geometry);
  LineSegment second = readSegment(in, geometry);
  timer.time("primitives", [&] {
    geometry.crossProduct(a, b);
    geometry.dotProduct(a, b);
    geometry.getDistanceSquared(a, b);
    geometry.correctAngle(a.x);
    geometry.getMinimumDistancePointToLineSquared(first, a);
    geometry.getMinimumDistanceLine(first, b);
  });
  double gradient = 0.0;
  timer.time("getGradient", [&] { gradient = geometry.getGradient(a, b); });
  check(std::isnan(gradient) || (gradient >= -M_PI && gradient <= M_PI),
        "getGradient within [-pi, pi]");

  LineSegment box = geometry.getBoundingBox(first);
  check(hasNaN(box.start) || hasNaN(box.end) ||
            (box.start.x <= box.end.x && box.start.y <= box.end.y),
        "a bounding box runs from its smallest to its largest corner");

  bool intersect = false;
  bool onLine = false;
  bool right = false;
  timer.time("segment tests", [&] {
    intersect = geometry.doLinesIntersect(first, second);
    onLine = geometry.isPointOnLine(first, a);
    right = geometry.isPointRightOfLine(first, a);
    geometry.lineSegmentTouchesOrCrossesLine(first, second);
  });
  if (hasNaN(first) || hasNaN(second)) {
    check(!intersect, "segments with a NaN coordinate do not intersect");
  }
  if (hasNaN(first) || hasNaN(a)) {
    check(!onLine && !right, "a NaN coordinate is neither on nor right of a line");
  }
}

geometry_msgs::msg::PoseStamped readPose(Input& in) {
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = in.real();
  pose.pose.position.y = in.real();
  pose.pose.orientation.x = in.real();
  pose.pose.orientation.y = in.real();
  pose.pose.orientation.z = in.real();
  pose.pose.orientation.w = in.real();
  return pose;
}

void rectangles(Input& in, Geometry& geometry, fuzz::CallTimer& timer) {
  const geometry_msgs::msg::PoseStamped from = readPose(in);
  const geometry_msgs::msg::PoseStamped to = readPose(in);
  const float length = in.single(), width = in.single(), extension = in.single();
  // The outputs' incoming z takes part in the rotation.
  tf2::Vector3 front(0, 0, in.real()), side(0, 0, in.real()), centre(0, 0, in.real()),
      corner4(0, 0, in.real());
  timer.time("generateRect", [&] {
    geometry.generateRect(front, side, centre, from, to, length, width, extension);
    geometry.generateRect(front, side, centre, corner4, from, length, width);
  });
  VECTOR2D c1 = readPoint(in), c2 = readPoint(in), c3 = readPoint(in), c4 = readPoint(in);
  VECTOR2D point = readPoint(in);
  bool inside = false;
  timer.time("checkInsideRectSimple",
             [&] { inside = geometry.checkInsideRectSimple(c1, c2, c3, c4, point); });
  if (hasNaN(c1) || hasNaN(c3) || hasNaN(point)) {
    check(!inside, "a NaN coordinate is inside no rectangle");
  }
  float circle[9];
  for (float& value : circle) {
    value = in.single();
  }
  timer.time("circle tests", [&] {
    geometry.distanceBetweenTwoPoints(circle[0], circle[1], circle[2], circle[3]);
    geometry.distanceFromPointToLine(circle[0], circle[1], circle[2], circle[3], circle[4],
                                     circle[5]);
    geometry.isCircleIntersectRectangle(circle[0], circle[1], circle[2], circle[3], circle[4],
                                        circle[5], circle[6], circle[7], circle[8]);
  });
}

// A copy or a moved-to object starts with empty indexes; searching it points into its own lists.
void copyAndSearch(Input& in, Geometry& geometry, fuzz::CallTimer& timer) {
  Geometry copy = geometry;
  check(copy.pointsByDistance.empty() && copy.linesByDistance.empty(),
        "a copy does not take over the indexes");
  nearestPoint(in, copy, timer);
  nearestLine(in, copy, timer);
  Geometry moved = std::move(copy);
  check(moved.pointsByDistance.empty() && moved.linesByDistance.empty(),
        "a moved-to object starts with empty indexes");
  nearestPoint(in, moved, timer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::withinBudget([&](fuzz::CallTimer& timer) {
    Input in(data, size);
    Geometry geometry;
    fillLists(in, geometry);
    for (int questions = 0; questions < kMostQuestionsPerRun && !in.empty(); ++questions) {
      switch (in.choice(7)) {
        case 0:
          nearestPoint(in, geometry, timer);
          break;
        case 1:
          nearestLine(in, geometry, timer);
          break;
        case 2:
          lookUps(in, geometry, timer);
          break;
        case 3:
          primitives(in, geometry, timer);
          break;
        case 4:
          rectangles(in, geometry, timer);
          break;
        case 5:
          copyAndSearch(in, geometry, timer);
          break;
        default:
          // The host changes a list; the indexes are stale until the next search.
          geometry.points.push_back(readPoint(in));
          geometry.lineSegments.push_back(readSegment(in, geometry));
          break;
      }
    }
  });
  return 0;
}
