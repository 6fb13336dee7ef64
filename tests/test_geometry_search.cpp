#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <type_traits>
#include <utility>
#include <vector>

#include "trelvo/geometry.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Hosts name the index types; nothing but the default allocator stands behind them.
static_assert(std::is_same_v<decltype(Geometry::pointsByDistance), std::map<double, VECTOR2D*>>);
static_assert(
    std::is_same_v<decltype(Geometry::linesByDistance), std::map<double, Geometry::LineSegment*>>);

template <typename Index>
std::vector<double> keysOf(const Index& index) {
  std::vector<double> keys;
  for (const auto& entry : index) {
    keys.push_back(entry.first);
  }
  return keys;
}

class GeometrySearch : public ::testing::Test {
 protected:
  void addSegment(VECTOR2D from, VECTOR2D to) {
    geometry.lineSegments.push_back(geometry.getLineSegment(from, to));
  }
  // Three segments of a triangle, walked 0 -> 1 -> 2 -> 0.
  void addTriangle() {
    addSegment({0, 0}, {10, 0});
    addSegment({10, 0}, {0, 10});
    addSegment({0, 10}, {0, 0});
  }

  Geometry geometry;
  VECTOR2D origin{0, 0};
};

}  // namespace

TEST_F(GeometrySearch, NearestPointTieGoesToTheLaterPointAndIndexKeepsOneEntryPerDistance) {
  geometry.points = {{1, 0}, {0, 1}, {5, 5}};
  EXPECT_EQ(geometry.getNearestPoint(origin), &geometry.points[1]);
  ASSERT_EQ(geometry.pointsByDistance.size(), 2u);
  EXPECT_EQ(geometry.pointsByDistance.at(1.0), &geometry.points[1]);
  EXPECT_EQ(geometry.pointsByDistance.at(std::sqrt(50.0)), &geometry.points[2]);
}

TEST_F(GeometrySearch, NearestPointIndexIsReplacedByEachQuery) {
  geometry.points = {{1, 0}, {4, 0}, {9, 0}};
  VECTOR2D nearLast{8, 0};
  EXPECT_EQ(geometry.getNearestPoint(nearLast), &geometry.points[2]);
  EXPECT_EQ(geometry.getNearestPoint(origin), &geometry.points[0]);
  ASSERT_EQ(geometry.pointsByDistance.size(), 3u);
  auto entry = geometry.pointsByDistance.begin();
  EXPECT_EQ((entry++)->first, 1.0);
  EXPECT_EQ((entry++)->first, 4.0);
  EXPECT_EQ(entry->first, 9.0);
}

TEST_F(GeometrySearch, SinglePointIsReturnedForAnyQueryWithTheIndexLeftEmpty) {
  geometry.points = {{1, 0}, {2, 0}};
  geometry.getNearestPoint(origin);
  geometry.points.resize(1);
  VECTOR2D nowhere{kNaN, kNaN};
  EXPECT_EQ(geometry.getNearestPoint(nowhere), &geometry.points[0]);
  EXPECT_TRUE(geometry.pointsByDistance.empty());
}

TEST_F(GeometrySearch, EmptyListsGiveNullAndEmptyIndexes) {
  geometry.points = {{1, 0}, {2, 0}};
  addSegment({0, 0}, {1, 0});
  addSegment({0, 1}, {1, 1});
  geometry.getNearestPoint(origin);
  geometry.getNearestLine(origin);
  geometry.points.clear();
  geometry.lineSegments.clear();
  EXPECT_EQ(geometry.getNearestPoint(origin), nullptr);
  EXPECT_EQ(geometry.getNearestLine(origin), nullptr);
  EXPECT_TRUE(geometry.pointsByDistance.empty());
  EXPECT_TRUE(geometry.linesByDistance.empty());
}

TEST_F(GeometrySearch, PointsAtNaNDistanceStayOutOfTheIndex) {
  geometry.points = {{kNaN, 0}, {3, 4}, {1, 1}, {0, kNaN}};
  EXPECT_EQ(geometry.getNearestPoint(origin), &geometry.points[2]);
  ASSERT_EQ(geometry.pointsByDistance.size(), 2u);
  EXPECT_EQ(geometry.pointsByDistance.at(5.0), &geometry.points[1]);
}

TEST_F(GeometrySearch, NaNQueryOrOnlyNaNElementsGiveNull) {
  geometry.points = {{1, 0}, {2, 0}};
  addTriangle();
  VECTOR2D nanQuery{kNaN, 1};
  EXPECT_EQ(geometry.getNearestPoint(nanQuery), nullptr);
  EXPECT_EQ(geometry.getNearestLine(nanQuery), nullptr);
  EXPECT_TRUE(geometry.pointsByDistance.empty());
  EXPECT_TRUE(geometry.linesByDistance.empty());

  geometry.points = {{kNaN, 0}, {0, kNaN}};
  EXPECT_EQ(geometry.getNearestPoint(origin), nullptr);
}

TEST_F(GeometrySearch, LargeIndexKeepsOneEntryPerDistanceWithTheLastPointInListOrder) {
  // Enough points for the index to be built from sorted distances; points on a few rings around
  // the origin share distances exactly, in an interleaved list order, and some are NaN.
  std::map<double, VECTOR2D*> expected;
  for (int i = 0; i < 1000; ++i) {
    const double ring = 1.0 + (i * 7) % 13 + (i % 3) * 1e-9 * i;
    geometry.points.push_back(i % 17 == 0 ? VECTOR2D{kNaN, 0}
                                          : VECTOR2D{i % 2 ? ring : 0, i % 2 ? 0 : ring});
  }
  for (VECTOR2D& point : geometry.points) {
    const double distance = geometry.getDistance(origin, point);
    if (!std::isnan(distance)) {
      expected[distance] = &point;
    }
  }
  EXPECT_EQ(geometry.getNearestPoint(origin), expected.begin()->second);
  EXPECT_TRUE(std::equal(geometry.pointsByDistance.begin(), geometry.pointsByDistance.end(),
                         expected.begin(), expected.end()));
}

TEST_F(GeometrySearch, SegmentsAtNaNDistanceStayOutOfTheIndex) {
  addSegment({kNaN, 0}, {1, 0});
  addSegment({0, 5}, {10, 5});
  EXPECT_EQ(geometry.getNearestLine(origin), &geometry.lineSegments[1]);
  ASSERT_EQ(geometry.linesByDistance.size(), 1u);
  EXPECT_EQ(geometry.linesByDistance.begin()->first, 5.0);
}

TEST_F(GeometrySearch, NearestLineRecordsEverySegmentsDistance) {
  addSegment({0, 0}, {10, 0});
  addSegment({0, 5}, {10, 5});
  VECTOR2D query{5, 1};
  EXPECT_EQ(geometry.getNearestLine(query), &geometry.lineSegments[0]);
  EXPECT_EQ(geometry.lineSegments[0].distance, 1.0);
  EXPECT_EQ(geometry.lineSegments[1].distance, 4.0);
  ASSERT_EQ(geometry.linesByDistance.size(), 2u);
  EXPECT_EQ(geometry.linesByDistance.at(1.0), &geometry.lineSegments[0]);
  EXPECT_EQ(geometry.linesByDistance.at(4.0), &geometry.lineSegments[1]);
}

TEST_F(GeometrySearch, NearestLineTieGoesToTheLaterSegment) {
  addSegment({0, 1}, {10, 1});
  addSegment({0, -1}, {10, -1});
  addSegment({0, 7}, {10, 7});
  VECTOR2D query{5, 0};
  EXPECT_EQ(geometry.getNearestLine(query), &geometry.lineSegments[1]);
  EXPECT_EQ(geometry.linesByDistance.size(), 2u);
}

TEST_F(GeometrySearch, SingleSegmentIsReturnedWithoutMeasuring) {
  addSegment({0, 0}, {10, 0});
  geometry.lineSegments[0].distance = 42;
  VECTOR2D query{5, 3};
  EXPECT_EQ(geometry.getNearestLine(query), &geometry.lineSegments[0]);
  EXPECT_EQ(geometry.lineSegments[0].distance, 42.0);
  EXPECT_TRUE(geometry.linesByDistance.empty());
}

TEST_F(GeometrySearch, SearchAPointMatchesByAddressNotCoordinates) {
  geometry.points = {{1, 0}, {0, 1}, {5, 5}};
  EXPECT_EQ(geometry.searchAPoint(&geometry.points[2]), 2);
  VECTOR2D copy = geometry.points[0];
  EXPECT_EQ(geometry.searchAPoint(&copy), -1);
  EXPECT_EQ(geometry.searchAPoint(geometry.getNearestPoint(origin)), 1);
}

TEST_F(GeometrySearch, SearchAPointShortCutsOneElementAndRefusesEmpty) {
  VECTOR2D elsewhere{1, 0};
  EXPECT_EQ(geometry.searchAPoint(&elsewhere), -1);
  geometry.points = {{1, 0}};
  EXPECT_EQ(geometry.searchAPoint(&elsewhere), 0);
}

TEST_F(GeometrySearch, NextLineSegmentWalksAClosedChain) {
  addTriangle();
  EXPECT_EQ(geometry.getNextLineSegment(&geometry.lineSegments[0]), &geometry.lineSegments[1]);
  EXPECT_EQ(geometry.getNextLineSegment(&geometry.lineSegments[2]), &geometry.lineSegments[0]);

  VECTOR2D query{6, 6};
  Geometry::LineSegment* const nearest = geometry.getNearestLine(query);
  ASSERT_EQ(nearest, &geometry.lineSegments[1]);
  Geometry::LineSegment* walker = nearest;
  for (int step = 0; step < 3; ++step) {
    walker = geometry.getNextLineSegment(walker);
  }
  EXPECT_EQ(walker, nearest);
}

TEST_F(GeometrySearch, NextLineSegmentOfOneIsItselfAndOfAStrangerIsNull) {
  Geometry::LineSegment stranger = geometry.getLineSegment(origin, origin);
  EXPECT_EQ(geometry.getNextLineSegment(&stranger), nullptr);
  addSegment({0, 0}, {1, 0});
  EXPECT_EQ(geometry.getNextLineSegment(&stranger), &geometry.lineSegments[0]);
  addSegment({1, 0}, {1, 1});
  EXPECT_EQ(geometry.getNextLineSegment(&stranger), nullptr);
}

TEST_F(GeometrySearch, CopyTakesTheListsButNotTheIndexes) {
  geometry.points = {{1, 0}, {0, 2}, {5, 5}};
  addTriangle();
  VECTOR2D query{2, 1};
  geometry.getNearestPoint(query);
  geometry.getNearestLine(query);

  Geometry copy(geometry);
  EXPECT_EQ(copy.points.size(), 3u);
  EXPECT_EQ(copy.lineSegments.size(), 3u);
  EXPECT_TRUE(copy.pointsByDistance.empty());
  EXPECT_TRUE(copy.linesByDistance.empty());
  EXPECT_EQ(geometry.pointsByDistance.size(), 3u);
  EXPECT_EQ(copy.getNearestPoint(query), &copy.points[0]);

  Geometry assigned;
  assigned.points = {{7, 7}, {8, 8}};
  assigned.getNearestPoint(query);
  assigned = geometry;
  EXPECT_EQ(assigned.points.size(), 3u);
  EXPECT_TRUE(assigned.pointsByDistance.empty());
  EXPECT_EQ(assigned.getNearestLine(query), &assigned.lineSegments[0]);
}

TEST_F(GeometrySearch, MoveTakesTheListsAndEmptiesBothObjectsIndexes) {
  geometry.points = {{1, 0}, {0, 2}, {5, 5}};
  VECTOR2D* const first = &geometry.points[0];
  geometry.getNearestPoint(origin);

  Geometry moved(std::move(geometry));
  EXPECT_EQ(&moved.points[0], first);
  EXPECT_TRUE(moved.pointsByDistance.empty());
  EXPECT_TRUE(geometry.pointsByDistance.empty());  // NOLINT(bugprone-use-after-move)

  moved.getNearestPoint(origin);
  Geometry target;
  target = std::move(moved);
  EXPECT_EQ(&target.points[0], first);
  EXPECT_TRUE(target.pointsByDistance.empty());
  EXPECT_TRUE(moved.pointsByDistance.empty());  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(target.getNearestPoint(origin), first);
}

TEST_F(GeometrySearch, EachSearchIndexesEveryElementOnceAsTheListGrowsAndShrinks) {
  // Each search builds on the nodes of the index before it, which held more or fewer entries.
  for (const int count : {300, 7, 1000, 1, 300}) {
    geometry.points.clear();
    for (int i = 0; i < count; ++i) {
      geometry.points.push_back({static_cast<double>(count - i), 0});
    }
    EXPECT_EQ(geometry.getNearestPoint(origin), &geometry.points.back());
    ASSERT_EQ(geometry.pointsByDistance.size(), count == 1 ? 0u : static_cast<std::size_t>(count));
    int misplaced = 0;
    for (const auto& [distance, point] : geometry.pointsByDistance) {
      misplaced += distance != geometry.getDistance(origin, *point);
    }
    EXPECT_EQ(misplaced, 0) << count << " points";
  }
}

TEST(GeometryIndexes, MapsTakenOutOfTheObjectKeepTheirEntriesAfterIt) {
  std::map<double, VECTOR2D*> points;
  std::map<double, Geometry::LineSegment*> lines{{-1.0, nullptr}};  // swapped in for the index
  VECTOR2D origin{0, 0};
  {
    Geometry geometry;
    geometry.points = {{3, 4}, {1, 0}, {0, 2}};
    for (double y : {1.0, 3.0}) {
      VECTOR2D from{0, y};
      VECTOR2D to{5, y};
      geometry.lineSegments.push_back(geometry.getLineSegment(from, to));
    }
    geometry.getNearestPoint(origin);
    geometry.getNearestLine(origin);
    points = std::move(geometry.pointsByDistance);
    lines.swap(geometry.linesByDistance);
    geometry.getNearestPoint(origin);
    geometry.getNearestLine(origin);
  }
  // Whatever the object freed is handed out again here.
  Geometry other;
  for (int i = 0; i < 1000; ++i) {
    other.points.push_back({7.0 + i, 7});
  }
  other.getNearestPoint(origin);

  EXPECT_EQ(keysOf(points), (std::vector<double>{1, 2, 5}));
  EXPECT_EQ(keysOf(lines), (std::vector<double>{1, 3}));
}
