#include "engine/axis_aligned.h"

#include <gtest/gtest.h>

#include "tests/engine/test_support.h"

namespace quillmarch {
namespace {

using testing::Channel;
using testing::CountingHost;
using testing::Image;

template <typename Pixel>
class AxisAligned : public ::testing::Test {};
using PixelTypes = ::testing::Types<Pixel8, Pixel16, PixelFloat>;
TYPED_TEST_SUITE(AxisAligned, PixelTypes);

// The 16 x 5 frame at 0 degrees, strip width 4, completion 0.34375: strip 0
// done, strip 1 with its front at 1.5 pixels, strip 2's first column caught
// by strip 1's front. 'F' full alpha, 'H' half, '0' none.
constexpr const char* kToRightAlphas[5] = {
    "00000FFFFFFFFFFF", "00000FFFFFFFFFFF", "00000FFFFFFFFFFF",
    "00000HHHFFFFFFFF", "000000000FFFFFFF",
};

TYPED_TEST(AxisAligned, WorkedExampleInAllFourCombinations) {
  using Pixel = TypeParam;
  const auto full = Channel<Pixel>(1.0);
  // 8 bits: 255 * 0.5 truncates to 127; 16 bits: 32768 * 0.5 = 16384.
  const auto half =
      static_cast<decltype(full)>(std::is_floating_point_v<decltype(full)> ? 0.5 : full / 2);
  for (std::int32_t direction_mode : {kToRight, kToLeft}) {
    for (std::int32_t displace : {0, 1}) {
      SCOPED_TRACE(::testing::Message()
                   << "direction mode " << direction_mode << " displace " << displace);
      Image<Pixel> input(16, 5, 3), output(16, 5, 2);
      testing::FillPattern(input);
      CountingHost host(input.View());
      const WipeSettings settings = testing::Settings(1, 0.34375, 4, direction_mode, 0, displace);
      ASSERT_EQ(testing::Render(settings, input, output, host), kErrNone);

      for (std::int32_t y = 0; y < 5; ++y) {
        // To Left is the same picture upside down.
        const std::int32_t table_row = direction_mode == kToLeft ? 4 - y : y;
        for (std::int32_t x = 0; x < 16; ++x) {
          SCOPED_TRACE(::testing::Message() << "pixel " << x << "," << y);
          const char cell = kToRightAlphas[table_row][x];
          const auto expected = cell == 'F' ? full : cell == 'H' ? half : 0;
          const Pixel& out = output.At(x, y);
          EXPECT_EQ(out.alpha, expected);
          // Displaced: the remaining content of strip 1 shows the input one
          // pixel back toward the front's start.
          const bool redrawn = displace != 0 && x >= 5 && x <= 7 && cell != '0';
          const std::int32_t source_y = redrawn ? (direction_mode == kToLeft ? y - 1 : y + 1) : y;
          EXPECT_EQ(out.red, input.At(x, source_y).red);
          EXPECT_EQ(out.green, input.At(x, source_y).green);
          EXPECT_EQ(out.blue, input.At(x, source_y).blue);
        }
        // The records past the width are never touched.
        EXPECT_EQ(output.At(16, y).alpha, Image<Pixel>::Marker().alpha);
      }
      EXPECT_EQ(host.samples, displace != 0 ? 12 : 0);
      ASSERT_EQ(host.progress.size(), 5u);
      for (std::int32_t y = 0; y < 5; ++y) {
        EXPECT_EQ(host.progress[static_cast<std::size_t>(y)].count, y);
        EXPECT_EQ(host.progress[static_cast<std::size_t>(y)].total, 5);
      }
    }
  }
}

TYPED_TEST(AxisAligned, CompletionOneErasesEveryPixelWithoutSampling) {
  using Pixel = TypeParam;
  for (double degrees : {0.0, 90.0, 180.0, 270.0}) {
    SCOPED_TRACE(degrees);
    Image<Pixel> input(9, 6), output(9, 6);
    testing::FillPattern(input);
    CountingHost host(input.View());
    ASSERT_EQ(
        testing::Render(testing::Settings(1, 1.0, 2, kToRight, degrees, 1), input, output, host),
        kErrNone);
    for (std::int32_t y = 0; y < 6; ++y) {
      for (std::int32_t x = 0; x < 9; ++x) {
        EXPECT_EQ(output.At(x, y).alpha, 0);
        EXPECT_EQ(output.At(x, y).red, input.At(x, y).red);
      }
    }
    EXPECT_EQ(host.samples, 0);
    EXPECT_EQ(host.progress.size(), 6u);  // still reported: no shortcut here
  }
}

TEST(AxisAlignedEdges, CompletionZeroLeavesTheCopyAndReportsNothing) {
  Image<Pixel8> input(7, 4), output(7, 4);
  testing::FillPattern(input);
  CountingHost host(input.View());
  ASSERT_EQ(testing::Render(testing::Settings(1, 0.0, 2, kToRight, 90, 1), input, output, host),
            kErrNone);
  EXPECT_EQ(output.pixels(), input.pixels());
  EXPECT_TRUE(host.progress.empty());
}

TEST(AxisAlignedEdges, ModeDoesNotMatter) {
  for (double degrees : {0.0, 90.0, 180.0, 270.0}) {
    Image<Pixel8> input(13, 9), normal(13, 9), constant(13, 9);
    testing::FillPattern(input);
    CountingHost host(input.View());
    testing::Render(testing::Settings(kModeNormal, 0.4, 3, kToLeft, degrees, 1), input, normal,
                    host);
    testing::Render(testing::Settings(kModeConstant, 0.4, 3, kToLeft, degrees, 1), input, constant,
                    host);
    EXPECT_EQ(normal.pixels(), constant.pixels()) << degrees;
  }
}

TEST(AxisAlignedEdges, NoStripKeepsTheImageUntilCompletionOne) {
  // One pixel wide at 0 degrees: no strip, every pixel in progress with
  // coverage 1 and front offset 0.
  for (double completion : {0.25, 0.999}) {
    for (std::int32_t displace : {0, 1}) {
      Image<Pixel8> input(1, 6), output(1, 6);
      testing::FillPattern(input);
      CountingHost host(input.View());
      ASSERT_EQ(testing::Render(testing::Settings(1, completion, 4, kToRight, 0, displace), input,
                                output, host),
                kErrNone);
      EXPECT_EQ(output.pixels(), input.pixels());
    }
  }
  Image<Pixel8> input(1, 6), output(1, 6);
  testing::FillPattern(input);
  CountingHost host(input.View());
  testing::Render(testing::Settings(1, 1.0, 4, kToRight, 0, 1), input, output, host);
  for (std::int32_t y = 0; y < 6; ++y) EXPECT_EQ(output.At(0, y).alpha, 0);
}

TEST(AxisAlignedEdges, LocalProgressExactlyOneIsStillInProgress) {
  // 8 x 5 at 0 degrees, width 4: two strips; at completion 0.5 strip 0 has
  // local progress exactly 1, its front at the far end, where row 0 (a = E,
  // passed distance 0) keeps full coverage.
  Image<Pixel8> input(8, 5), output(8, 5);
  testing::FillPattern(input);
  CountingHost host(input.View());
  testing::Render(testing::Settings(1, 0.5, 4, kToRight, 0, 0), input, output, host);
  for (std::int32_t x = 0; x < 4; ++x) {
    EXPECT_EQ(output.At(x, 0).alpha, 255) << x;
    EXPECT_EQ(output.At(x, 2).alpha, 0) << x;
  }
}

TEST(AxisAlignedEdges, OneRowHighAtNinetyDegreesIsASingleSliverStrip) {
  // sin and cos rounding give a tiny across extent, hence one strip, wiped
  // like any other: half way, half the row is gone.
  Image<Pixel8> input(11, 1), output(11, 1);
  testing::FillPattern(input);
  CountingHost host(input.View());
  testing::Render(testing::Settings(1, 0.5, 4, kToRight, 90, 0), input, output, host);
  EXPECT_EQ(output.At(0, 0).alpha, 0);
  EXPECT_EQ(output.At(10, 0).alpha, 255);
}

}  // namespace
}  // namespace quillmarch
