#include "engine/pixel_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/engine/test_support.h"

namespace quillmarch {
namespace {

std::int64_t Mirror(double pixels, std::int32_t size) {
  std::int64_t c = std::llround(pixels * 65536.0);
  MirrorFixed(c, size);
  return c;
}

TEST(MirrorFixed, FoldsAboutTheEdgePixels) {
  struct Case {
    double in, out;
  };
  const Case cases[] = {
      {1.5, 1.5}, {3.25, 3}, {4, 3},      {4.5, 2.5}, {5.5, 1.5}, {7.5, 0}, {8, 0},    {9.25, 1.25},
      {-0.25, 0}, {-1, 0},   {-1.5, 0.5}, {-2, 1},    {-4.5, 3},  {-6, 2},  {-8.5, 0}, {-12.25, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(Mirror(c.in, 4), std::llround(c.out * 65536.0));
  }
  // Whole positions -2 ... 9 read pixels 1 0 0 1 2 3 3 2 1 0 0 1.
  const int expected[] = {1, 0, 0, 1, 2, 3, 3, 2, 1, 0, 0, 1};
  for (int p = -2; p <= 9; ++p) {
    EXPECT_EQ(Mirror(p, 4), expected[p + 2] * 65536) << p;
  }
}

TEST(MirrorFixed, EdgeValues) {
  const std::pair<std::int64_t, std::int64_t> size4[] = {
      {196609, 196608}, {262144, 196608}, {524288, 0}, {-65536, 0}, {-1, 0}, {294912, 163840}};
  for (auto [in, out] : size4) {
    std::int64_t c = in;
    MirrorFixed(c, 4);
    EXPECT_EQ(c, out) << in;
  }
  for (std::int64_t in : {-200000LL, -1LL, 0LL, 1LL, 65535LL, 65536LL, 9999999LL}) {
    std::int64_t c = in;
    MirrorFixed(c, 1);
    EXPECT_EQ(c, 0) << in;
  }
}

// Twice the length of an image of 16384 pixels or more leaves 32 bits; the
// fold must still land inside the image, as it does for small ones.
TEST(MirrorFixed, LargeImagesFoldExactly) {
  const std::int32_t size = 30000;
  const std::int64_t length = std::int64_t{size} * 65536;
  struct Case {
    std::int64_t in, out;
  };
  const Case cases[] = {
      {length, length - 65536},  // one past the last pixel: the edge repeated
      {length + 65536, length - 2 * 65536},
      {length + 2 * 65536, length - 3 * 65536},
      {2 * length, 0},
      {-65536, 0},
      {-2 * 65536, 65536},
      {-length, length - 65536},
  };
  for (const Case& c : cases) {
    std::int64_t v = c.in;
    MirrorFixed(v, size);
    EXPECT_EQ(v, c.out) << c.in;
  }
}

TEST(ScaleAlpha, TruncatesIntegersAndRoundsFloats) {
  Pixel8 p8{255, 1, 2, 3};
  ScaleAlpha(p8, 0.5);
  EXPECT_EQ(p8.alpha, 127);
  EXPECT_EQ(p8.red, 1);
  p8.alpha = 255;
  ScaleAlpha(p8, 0.999);
  EXPECT_EQ(p8.alpha, 254);
  Pixel16 p16{32768, 0, 0, 0};
  ScaleAlpha(p16, 0.3);
  EXPECT_EQ(p16.alpha, 9830);
  PixelFloat pf{1.0f, 0, 0, 0};
  ScaleAlpha(pf, 0.3);
  EXPECT_EQ(pf.alpha, static_cast<float>(1.0 * 0.3));
  // Float channels outside [0, 1] are neither clamped nor refused.
  PixelFloat wide{-2.0f, 5.0f, 0, 0};
  ScaleAlpha(wide, 0.25);
  EXPECT_EQ(wide.alpha, -0.5f);
  EXPECT_EQ(wide.red, 5.0f);
}

template <typename Pixel>
class PixelOpsTyped : public ::testing::Test {};
using PixelTypes = ::testing::Types<Pixel8, Pixel16, PixelFloat>;
TYPED_TEST_SUITE(PixelOpsTyped, PixelTypes);

TYPED_TEST(PixelOpsTyped, CoverageOneKeepsAndZeroClearsAlpha) {
  using Pixel = TypeParam;
  Pixel p{};
  p.alpha = testing::Channel<Pixel>(1.0);
  const auto full = p.alpha;
  ScaleAlpha(p, 1.0);
  EXPECT_EQ(p.alpha, full);
  ScaleAlpha(p, 0.0);
  EXPECT_EQ(p.alpha, 0);
}

TYPED_TEST(PixelOpsTyped, BlendWithFactorOneCopiesTheSample) {
  using Pixel = TypeParam;
  Pixel out{testing::Channel<Pixel>(1.0), testing::Channel<Pixel>(0.5),
            testing::Channel<Pixel>(0.25), testing::Channel<Pixel>(0.0)};
  const Pixel sample{testing::Channel<Pixel>(0.125), testing::Channel<Pixel>(0.75),
                     testing::Channel<Pixel>(1.0), testing::Channel<Pixel>(0.5)};
  BlendPixel(out, sample, 1.0);
  EXPECT_EQ(out.alpha, sample.alpha);
  EXPECT_EQ(out.red, sample.red);
  EXPECT_EQ(out.green, sample.green);
  EXPECT_EQ(out.blue, sample.blue);
}

TEST(BlendPixel, Examples) {
  Pixel8 a{255, 200, 100, 0};
  BlendPixel(a, Pixel8{128, 0, 255, 101}, 0.5);
  EXPECT_EQ((std::array<int, 4>{a.alpha, a.red, a.green, a.blue}),
            (std::array<int, 4>{128, 100, 177, 50}));
  Pixel8 b{255, 200, 100, 0};
  BlendPixel(b, Pixel8{128, 0, 255, 101}, 0.25);
  EXPECT_EQ((std::array<int, 4>{b.alpha, b.red, b.green, b.blue}),
            (std::array<int, 4>{128, 150, 138, 25}));
  Pixel16 c{32768, 32768, 1000, 7};
  BlendPixel(c, Pixel16{16384, 0, 32768, 8}, 0.75);
  EXPECT_EQ((std::array<int, 4>{c.alpha, c.red, c.green, c.blue}),
            (std::array<int, 4>{16384, 8192, 24826, 7}));
  PixelFloat d{1, 1, 0.5, 0};
  BlendPixel(d, PixelFloat{0.25, 0, 1, 0.5}, 0.25);
  EXPECT_EQ((std::array<float, 4>{d.alpha, d.red, d.green, d.blue}),
            (std::array<float, 4>{0.25f, 0.75f, 0.625f, 0.125f}));
  // No clamping for float channels beyond [0, 1].
  PixelFloat e{1, 2, -1, 0};
  BlendPixel(e, PixelFloat{3, 4, -3, 0}, 0.5);
  EXPECT_EQ(e.red, 3.0f);
  EXPECT_EQ(e.green, -2.0f);
  EXPECT_EQ(e.alpha, 3.0f);
}

// FinishPixel on a 4 x 3 image whose pixels all differ.
class FinishPixelTest : public ::testing::Test {
 protected:
  FinishPixelTest() : input_(4, 3), output_(4, 3), host_(input_.View()) {
    testing::FillPattern(input_);
    for (std::int32_t y = 0; y < 3; ++y) {
      for (std::int32_t x = 0; x < 4; ++x) output_.At(x, y) = input_.At(x, y);
    }
    settings_ = testing::Settings(1, 0.5, 4, kToRight, 0, 1);
    geometry_ = ComputeFrameGeometry(settings_, 4, 3, host_);
  }

  void Finish(std::int32_t x, std::int32_t y, const PixelDecision& decision) {
    WipeFrame<Pixel8> frame{settings_, geometry_, &output_.At(0, 0), output_.stride(), 4, 3, host_};
    FinishPixel(frame, x, y, decision);
    sample_error_ = frame.sample_error;
  }

  testing::Image<Pixel8> input_, output_;
  testing::CountingHost host_;
  WipeSettings settings_;
  FrameGeometry geometry_;
  std::int32_t sample_error_ = 0;
};

TEST_F(FinishPixelTest, ZeroCoverageInProgressClearsAlphaWithoutSampling) {
  Finish(1, 1, {0.0, true, 1, 0.0});
  EXPECT_EQ(output_.At(1, 1).alpha, 0);
  EXPECT_EQ(output_.At(1, 1).red, input_.At(1, 1).red);
  EXPECT_EQ(host_.samples, 0);
}

TEST_F(FinishPixelTest, WithoutDisplacementOnlyAlphaShrinks) {
  settings_.displace = 0;
  Finish(2, 1, {0.5, true, 1, 0.0});
  EXPECT_EQ(output_.At(2, 1).alpha, 127);
  EXPECT_EQ(output_.At(2, 1).green, input_.At(2, 1).green);
  EXPECT_EQ(host_.samples, 0);
}

TEST_F(FinishPixelTest, OffsetZeroRedrawsThePixelFromItself) {
  Finish(2, 1, {0.5, true, 0, 0.0});
  EXPECT_EQ(host_.samples, 1);
  EXPECT_EQ(output_.At(2, 1).alpha, 127);
  EXPECT_EQ(output_.At(2, 1).red, input_.At(2, 1).red);
  EXPECT_EQ(output_.At(2, 1).blue, input_.At(2, 1).blue);
}

TEST_F(FinishPixelTest, DisplacedSampleIsFoldedBackIntoTheImage) {
  // At 0 degrees To Right the step is (0, 65536): offset 1 reads one row
  // below; from the last row that is the last row again (mirror, edge kept),
  // and offset 2 from the last row reads the row above it.
  Finish(0, 0, {1.0, true, 1, 0.0});
  EXPECT_EQ(output_.At(0, 0).blue, input_.At(0, 1).blue);
  Finish(1, 2, {1.0, true, 1, 0.0});
  EXPECT_EQ(output_.At(1, 2).blue, input_.At(1, 2).blue);
  Finish(2, 2, {1.0, true, 2, 0.0});
  EXPECT_EQ(output_.At(2, 2).blue, input_.At(2, 1).blue);
}

TEST_F(FinishPixelTest, FarStripEdgeBlendsWithTheSample) {
  // Width 4, position 3.5: blend factor 0.5 between own and sampled colour.
  Finish(1, 0, {1.0, true, 1, 3.5});
  const Pixel8& in = input_.At(1, 0);
  const Pixel8& below = input_.At(1, 1);
  EXPECT_EQ(output_.At(1, 0).green, static_cast<std::uint8_t>(0.5 * in.green + 0.5 * below.green));
  EXPECT_EQ(output_.At(1, 0).alpha, below.alpha);
}

TEST_F(FinishPixelTest, AfterASampleFailureNoFurtherSampleIsTaken) {
  host_.fail_from = 1;
  Finish(1, 1, {0.5, true, 1, 0.0});
  EXPECT_EQ(sample_error_, 1234);
  EXPECT_EQ(host_.samples, 1);
  // The pixel is treated as undisplaced: colour kept, alpha scaled.
  EXPECT_EQ(output_.At(1, 1).red, input_.At(1, 1).red);
  EXPECT_EQ(output_.At(1, 1).alpha, 127);
}

}  // namespace
}  // namespace quillmarch
