#include "engine/strip_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/pixel_ops.h"
#include "tests/engine/test_support.h"

namespace quillmarch {
namespace {

struct Built {
  FrameGeometry geometry;
  StripTable table;
};

Built Build(double degrees, double width, std::int32_t w, std::int32_t h) {
  testing::Image<Pixel8> image(1, 1);
  StandaloneHost host(image.View());
  const WipeSettings settings = testing::Settings(1, 0.5, width, kToRight, degrees, 0);
  Built built{ComputeFrameGeometry(settings, w, h, host), {}};
  built.table = BuildStripTable(settings, built.geometry, w, h, host);
  return built;
}

void ExpectSpans(const Built& built, const std::vector<StripSpan>& expected) {
  ASSERT_EQ(built.table.spans.size(), expected.size());
  for (std::size_t j = 0; j < expected.size(); ++j) {
    SCOPED_TRACE(::testing::Message() << "strip " << j);
    EXPECT_NEAR(built.table.spans[j].start, expected[j].start, 5e-7);
    EXPECT_NEAR(built.table.spans[j].end, expected[j].end, 5e-7);
  }
}

TEST(StripTable, ThirtyDegreesAndTheOppositeDirection) {
  const std::vector<StripSpan> expected = {{8.660254, 54.848276},  {0, 66.395281},
                                           {8.660254, 77.942286},  {20.207259, 89.489292},
                                           {31.754265, 93.301270}, {43.301270, 70.096189}};
  for (double degrees : {30.0, 210.0}) {
    SCOPED_TRACE(degrees);
    const Built built = Build(degrees, 20, 101, 51);
    EXPECT_NEAR(built.geometry.along_extent, 93.301270, 5e-7);
    ExpectSpans(built, expected);
    EXPECT_NEAR(built.table.total_length, 339.489292, 5e-7);
    // The corners themselves are exact: the start corner at 0, the end
    // corner at the along extent.
    EXPECT_EQ(built.table.spans[1].start, 0.0);
    EXPECT_EQ(built.table.spans[4].end, built.geometry.along_extent);
  }
}

TEST(StripTable, LastStripHoldsACornerNoBoundaryPassed) {
  ExpectSpans(Build(150, 60, 101, 51), {{15.358984, 93.301270}, {0, 73.094011}});
  const Built single = Build(45, 1000, 11, 11);
  ExpectSpans(single, {{0, 14.142136}});
  EXPECT_EQ(single.table.spans[0].end, single.geometry.along_extent);
  EXPECT_EQ(single.table.total_length, single.geometry.along_extent);
}

TEST(StripTable, NearAnAxisTheFirstBoundaryPassesTheEndCorner) {
  const Built built = Build(89.5, 20, 1920, 1080);
  ASSERT_EQ(built.table.spans.size(), 55u);
  EXPECT_EQ(built.table.spans[0].end, built.geometry.along_extent);
  for (std::size_t j = 1; j < 55; ++j) {
    EXPECT_LT(built.table.spans[j].end, built.geometry.along_extent) << j;
  }
}

TEST(StripTable, SinglePixelHasNoStrip) {
  const Built built = Build(30, 4, 1, 1);
  EXPECT_TRUE(built.table.spans.empty());
  EXPECT_EQ(built.table.total_length, 0.0);
}

// The least and greatest along position of the rectangle's part between two
// across positions, from the vertices of that convex piece.
StripSpan BruteForce(const FrameGeometry& g, double w1, double h1, double low, double high) {
  const Vector corners[4] = {{0, 0}, {w1, 0}, {w1, h1}, {0, h1}};
  auto across = [&](Vector p) { return Dot(p, g.across_axis) - g.across_min; };
  auto along = [&](Vector p) { return Dot(p, g.along_axis) - g.along_min; };
  double least = 1e300, greatest = -1e300;
  auto take = [&](Vector p) {
    least = std::min(least, along(p));
    greatest = std::max(greatest, along(p));
  };
  for (int i = 0; i < 4; ++i) {
    const Vector p = corners[i], q = corners[(i + 1) % 4];
    const double ap = across(p), aq = across(q);
    if (ap >= low && ap <= high) take(p);
    for (double bound : {low, high}) {
      if (ap == aq) continue;
      const double t = (bound - ap) / (aq - ap);
      if (t > 0 && t < 1) take({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
    }
  }
  return {least, greatest};
}

TEST(StripTable, MatchesBruteForceForRandomFrames) {
  std::mt19937 random(20261211);
  std::uniform_real_distribution<double> angle(0.0, 360.0);
  std::uniform_int_distribution<std::int32_t> size(2, 300);
  std::uniform_real_distribution<double> width(1.0, 60.0);
  for (int round = 0; round < 400; ++round) {
    double degrees = angle(random);
    if (std::fmod(degrees, 90.0) < 0.01) degrees += 0.5;
    const std::int32_t w = size(random), h = size(random);
    const double strip_width = width(random);
    SCOPED_TRACE(::testing::Message()
                 << w << "x" << h << " at " << degrees << " width " << strip_width);
    const Built built = Build(degrees, strip_width, w, h);
    const StripTable& table = built.table;
    ASSERT_EQ(static_cast<double>(table.spans.size()), built.geometry.strip_count);
    const double tolerance = 1e-6 * (1.0 + built.geometry.along_extent);
    double total = 0.0;
    for (std::size_t j = 0; j < table.spans.size(); ++j) {
      const double low = static_cast<double>(j) * strip_width;
      const StripSpan truth = BruteForce(built.geometry, w - 1.0, h - 1.0, low, low + strip_width);
      EXPECT_NEAR(table.spans[j].start, truth.start, tolerance) << "strip " << j;
      EXPECT_NEAR(table.spans[j].end, truth.end, tolerance) << "strip " << j;
      total = (table.spans[j].end - table.spans[j].start) + total;
    }
    EXPECT_EQ(table.total_length, total);
  }
}

}  // namespace
}  // namespace quillmarch
