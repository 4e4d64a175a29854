#include "engine/oblique.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/engine/test_support.h"

namespace quillmarch {
namespace {

using testing::CountingHost;
using testing::Image;

struct Placed {
  FrameGeometry geometry;
  StripTable table;
  Front front;
};

Placed Place(std::int32_t mode, double completion, double width, std::int32_t direction_mode,
             double degrees, std::int32_t w, std::int32_t h) {
  Image<Pixel8> image(1, 1);
  StandaloneHost host(image.View());
  const WipeSettings settings =
      testing::Settings(mode, completion, width, direction_mode, degrees, 0);
  Placed placed{ComputeFrameGeometry(settings, w, h, host), {}, {}};
  placed.table = BuildStripTable(settings, placed.geometry, w, h, host);
  placed.front = PlaceFront(settings, placed.geometry, placed.table, host);
  return placed;
}

TEST(PlaceFront, NormalSharesTheCompletionByLength) {
  const Placed right = Place(kModeNormal, 0.25, 20, kToRight, 30, 101, 51);
  EXPECT_EQ(right.front.current_strip, 1);
  EXPECT_EQ(right.front.front_offset, 38);
  EXPECT_NEAR(right.front.front_position, 38.684301, 5e-7);
  const Placed left = Place(kModeNormal, 0.25, 20, kToLeft, 30, 101, 51);
  EXPECT_EQ(left.front.current_strip, 1);
  EXPECT_EQ(left.front.front_offset, 38);
  EXPECT_NEAR(left.front.front_position, 27.710980, 5e-7);
}

TEST(PlaceFront, ConstantGivesEveryStripTheSameShare) {
  const Placed right = Place(kModeConstant, 0.25, 20, kToRight, 30, 101, 51);
  EXPECT_EQ(right.front.current_strip, 1);
  EXPECT_EQ(right.front.front_offset, 46);
  EXPECT_EQ(right.front.front_position, 46.0);
  const Placed left = Place(kModeConstant, 0.25, 20, kToLeft, 30, 101, 51);
  EXPECT_EQ(left.front.front_offset, 46);
  EXPECT_NEAR(left.front.front_position, 20.395281, 5e-7);
}

// A hand-made table, so that the completion lands exactly on a strip's end.
TEST(PlaceFront, AStripIsFinishedWhenTheRemainderEqualsItsLength) {
  Image<Pixel8> image(1, 1);
  StandaloneHost host(image.View());
  WipeSettings settings = testing::Settings(kModeNormal, 0.5, 4, kToRight, 30, 0);
  FrameGeometry geometry{};
  geometry.strip_count = 2;
  geometry.along_extent = 12;
  StripTable table{{{2.0, 12.0}, {1.0, 11.0}}, 20.0};
  const Front front = PlaceFront(settings, geometry, table, host);
  EXPECT_EQ(front.current_strip, 1);
  EXPECT_EQ(front.front_offset, 0);
  EXPECT_EQ(front.front_position, 1.0);
}

// The front never leaves the table: a completion a hair below 1 can round
// past the last strip in Constant mode, and strips a hair shorter than zero
// let Normal mode's walk run on.
TEST(PlaceFront, StaysInsideTheTable) {
  Image<Pixel8> image(1, 1);
  StandaloneHost host(image.View());
  const double almost_one = std::nextafter(1.0, 0.0);
  for (std::int32_t n = 1; n <= 64; ++n) {
    SCOPED_TRACE(n);
    FrameGeometry geometry{};
    geometry.strip_count = n;
    geometry.along_extent = 10;
    StripTable table;
    for (std::int32_t j = 0; j < n; ++j) table.spans.push_back({3.0, 3.0 - 6e-6});
    table.spans[0] = {0.0, 10.0};
    for (const StripSpan& s : table.spans)
      table.total_length = (s.end - s.start) + table.total_length;
    for (std::int32_t mode : {kModeNormal, kModeConstant}) {
      const WipeSettings settings = testing::Settings(mode, almost_one, 4, kToLeft, 30, 0);
      const Front front = PlaceFront(settings, geometry, table, host);
      EXPECT_GE(front.current_strip, 0);
      EXPECT_LE(front.current_strip, n - 1);
      EXPECT_GE(front.front_offset, 0);
      EXPECT_LE(front.front_offset, 10);
    }
  }
}

// The 8 x 6 frame at 30 degrees, width 2, completion 0.3, 8-bit, all alpha 255.
using AlphaRows = std::array<std::array<int, 8>, 6>;

struct Rendered {
  AlphaRows alphas{};
  int samples = 0;
  std::size_t reports = 0;
};

Rendered RenderEightBySix(std::int32_t mode, std::int32_t direction_mode) {
  Image<Pixel8> input(8, 6, 1), output(8, 6, 1);
  testing::FillPattern(input);
  CountingHost host(input.View());
  EXPECT_EQ(
      testing::Render(testing::Settings(mode, 0.3, 2, direction_mode, 30, 0), input, output, host),
      kErrNone);
  Rendered rendered;
  for (std::int32_t y = 0; y < 6; ++y) {
    for (std::int32_t x = 0; x < 8; ++x) {
      rendered.alphas[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
          output.At(x, y).alpha;
    }
  }
  rendered.samples = host.samples;
  rendered.reports = host.progress.size();
  return rendered;
}

TEST(RenderOblique, EightBySixNormalToRight) {
  const Placed placed = Place(kModeNormal, 0.3, 2, kToRight, 30, 8, 6);
  EXPECT_EQ(placed.table.spans.size(), 5u);
  EXPECT_EQ(placed.front.current_strip, 1);
  EXPECT_NEAR(placed.front.front_position, 2.969466, 5e-7);
  const AlphaRows expected = {{{0, 0, 0, 152, 255, 255, 255, 255},
                               {0, 0, 59, 255, 255, 255, 255, 255},
                               {0, 0, 117, 255, 255, 255, 255, 255},
                               {0, 0, 0, 255, 255, 255, 255, 255},
                               {0, 0, 0, 152, 255, 255, 255, 255},
                               {0, 0, 59, 255, 255, 255, 255, 255}}};
  const Rendered rendered = RenderEightBySix(kModeNormal, kToRight);
  EXPECT_EQ(rendered.alphas, expected);
  EXPECT_EQ(rendered.samples, 0);
  EXPECT_EQ(rendered.reports, 6u);
}

TEST(RenderOblique, EightBySixNormalToLeft) {
  EXPECT_NEAR(Place(kModeNormal, 0.3, 2, kToLeft, 30, 8, 6).front.front_position, 3.670062, 5e-7);
  const AlphaRows expected = {{{0, 0, 0, 0, 0, 84, 255, 255},
                               {0, 0, 0, 0, 0, 211, 255, 255},
                               {0, 0, 13, 0, 118, 255, 255, 255},
                               {0, 93, 239, 255, 245, 255, 255, 255},
                               {0, 220, 255, 255, 255, 255, 255, 255},
                               {127, 255, 255, 255, 255, 255, 255, 255}}};
  EXPECT_EQ(RenderEightBySix(kModeNormal, kToLeft).alphas, expected);
}

TEST(RenderOblique, EightBySixConstantToRight) {
  const Placed placed = Place(kModeConstant, 0.3, 2, kToRight, 30, 8, 6);
  EXPECT_EQ(placed.front.front_offset, 3);
  EXPECT_EQ(placed.front.front_position, 3.0);
  const AlphaRows expected = {{{0, 0, 0, 152, 255, 255, 255, 255},
                               {0, 0, 59, 255, 255, 255, 255, 255},
                               {0, 0, 111, 255, 255, 255, 255, 255},
                               {0, 0, 0, 255, 255, 255, 255, 255},
                               {0, 0, 0, 152, 255, 255, 255, 255},
                               {0, 0, 59, 255, 255, 255, 255, 255}}};
  EXPECT_EQ(RenderEightBySix(kModeConstant, kToRight).alphas, expected);
}

TEST(ObliquePixel, RampAcrossTheFront) {
  // Away from the border row, a pixel exactly at the front has coverage 0,
  // half a pixel ahead 0.5, one pixel ahead 1, in both directions. Strip 0
  // has no border factor, so a frame whose only strip is in progress shows it.
  Image<Pixel8> image(1, 1);
  StandaloneHost host(image.View());
  for (bool to_left : {false, true}) {
    ObliqueFrame frame{{0, 5.0, 5}, 100.0, to_left, {1, 0}, {1, 0}, 0.0, 0.0};
    const double sign = to_left ? -1.0 : 1.0;
    for (auto [ahead, coverage] : {std::pair{0.0, 0.0}, {0.5, 0.5}, {1.0, 1.0}}) {
      // along position = x here; pick the pixel at 5 + ahead by moving the
      // front instead, since pixels sit at whole positions.
      frame.front.front_position = 5.0 - sign * ahead;
      PixelDecision decision{};
      ASSERT_TRUE(ObliquePixel(frame, 5, 0, host, decision));
      EXPECT_EQ(decision.coverage, coverage) << to_left << " " << ahead;
      EXPECT_TRUE(decision.in_progress);
    }
  }
}

TEST(RenderOblique, WidthOneMakesEveryPixelABorderPixel) {
  // With width 1 every position within the strip is below 1: pixels of the
  // next strip on the erased side of the front take it as their coverage.
  const std::int32_t w = 12, h = 9;
  Image<Pixel8> input(w, h), output(w, h);
  testing::FillPattern(input);
  CountingHost host(input.View());
  ASSERT_EQ(
      testing::Render(testing::Settings(kModeNormal, 0.5, 1, kToRight, 37, 0), input, output, host),
      kErrNone);
  const Placed placed = Place(kModeNormal, 0.5, 1, kToRight, 37, w, h);
  const FrameGeometry& g = placed.geometry;
  int checked = 0;
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      const double across = DotPixel(x, y, g.across_axis) - g.across_min;
      const double along = DotPixel(x, y, g.along_axis) - g.along_min;
      const bool next =
          static_cast<std::int32_t>(std::floor(across)) == placed.front.current_strip + 1;
      if (next && placed.front.front_position > along) {
        EXPECT_EQ(output.At(x, y).alpha, static_cast<std::uint8_t>(255.0 * std::fmod(across, 1.0)))
            << x << "," << y;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 0);
}

TEST(RenderOblique, SinglePixelKeepsTheCopyAndReportsItsRow) {
  Image<Pixel8> input(1, 1), output(1, 1);
  testing::FillPattern(input);
  for (std::int32_t mode : {kModeNormal, kModeConstant}) {
    CountingHost host(input.View());
    ASSERT_EQ(
        testing::Render(testing::Settings(mode, 0.5, 4, kToRight, 30, 1), input, output, host),
        kErrNone);
    EXPECT_EQ(output.pixels(), input.pixels());
    ASSERT_EQ(host.progress.size(), 1u);
    EXPECT_EQ(host.progress[0].count, 0);
    EXPECT_EQ(host.progress[0].total, 1);
  }
}

TEST(RenderOblique, ConstantShortStripPastItsEndIsErasedWithoutSamples) {
  // 60 x 20 at 60 degrees, width 10: five strips, the first one short, so
  // nine tenths into its share its front is past its far end.
  const Placed placed = Place(kModeConstant, 0.18, 10, kToRight, 60, 60, 20);
  ASSERT_EQ(placed.front.current_strip, 0);
  const StripSpan& first = placed.table.spans[0];
  ASSERT_GT(placed.front.front_position, first.end);
  Image<Pixel8> input(60, 20), output(60, 20);
  testing::FillPattern(input);
  CountingHost host(input.View());
  testing::Render(testing::Settings(kModeConstant, 0.18, 10, kToRight, 60, 1), input, output, host);
  EXPECT_EQ(host.samples, 0);
  EXPECT_EQ(output.At(0, 0).alpha, 0);
}

}  // namespace
}  // namespace quillmarch
