#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "tests/engine/test_support.h"

namespace quillmarch {
namespace {

using testing::CountingHost;
using testing::Image;

template <typename Pixel>
class RenderWipeTyped : public ::testing::Test {};
using PixelTypes = ::testing::Types<Pixel8, Pixel16, PixelFloat>;
TYPED_TEST_SUITE(RenderWipeTyped, PixelTypes);

TYPED_TEST(RenderWipeTyped, ObliqueCompletionZeroAndOne) {
  using Pixel = TypeParam;
  Image<Pixel> input(10, 7, 2), output(10, 7, 1);
  testing::FillPattern(input);
  {
    CountingHost host(input.View());
    ASSERT_EQ(testing::Render(testing::Settings(1, 0.0, 3, kToRight, 33, 1), input, output, host),
              kErrNone);
    for (std::int32_t y = 0; y < 7; ++y) {
      for (std::int32_t x = 0; x < 10; ++x) EXPECT_EQ(output.At(x, y), input.At(x, y));
    }
    EXPECT_EQ(host.samples, 0);
    EXPECT_TRUE(host.progress.empty());
  }
  {
    CountingHost host(input.View());
    ASSERT_EQ(testing::Render(testing::Settings(2, 1.0, 3, kToLeft, 200, 1), input, output, host),
              kErrNone);
    for (std::int32_t y = 0; y < 7; ++y) {
      for (std::int32_t x = 0; x < 10; ++x) {
        EXPECT_EQ(output.At(x, y).alpha, 0);
        EXPECT_EQ(output.At(x, y).red, input.At(x, y).red);
        EXPECT_EQ(output.At(x, y).blue, input.At(x, y).blue);
      }
      EXPECT_EQ(output.At(10, y), Image<Pixel>::Marker());
    }
    EXPECT_EQ(host.samples, 0);
    EXPECT_TRUE(host.progress.empty());
  }
}

TEST(RenderWipe, CompletionOutsideTheRangeMeansNotStartedOrDone) {
  Image<Pixel8> input(9, 9), output(9, 9);
  testing::FillPattern(input);
  for (double degrees : {0.0, 45.0}) {
    CountingHost host(input.View());
    ASSERT_EQ(
        testing::Render(testing::Settings(1, -0.5, 2, kToRight, degrees, 1), input, output, host),
        kErrNone);
    EXPECT_EQ(output.pixels(), input.pixels());
    for (std::int32_t mode : {kModeNormal, kModeConstant}) {
      ASSERT_EQ(testing::Render(testing::Settings(mode, 1.5, 2, kToRight, degrees, 1), input,
                                output, host),
                kErrNone);
      for (const Pixel8& p : output.pixels()) EXPECT_EQ(p.alpha, 0);
    }
  }
}

TEST(RenderWipe, RefusesWhatNoHostSends) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<const char*, std::function<void(WipeSettings&)>> cases[] = {
      {"mode 0", [](WipeSettings& s) { s.mode = 0; }},
      {"mode 3", [](WipeSettings& s) { s.mode = 3; }},
      {"direction mode 3", [](WipeSettings& s) { s.direction_mode = 3; }},
      {"quadrant 5", [](WipeSettings& s) { s.quadrant = 5; }},
      {"width NaN", [&](WipeSettings& s) { s.width = nan; }},
      {"width infinite", [&](WipeSettings& s) { s.width = inf; }},
      {"width below 1", [](WipeSettings& s) { s.width = 0.5; }},
      {"completion NaN", [&](WipeSettings& s) { s.completion = nan; }},
      {"angle infinite", [&](WipeSettings& s) { s.angle = inf; }},
      {"scale of a zero denominator", [&](WipeSettings& s) { s.scale = inf; }},
      {"scale 0/0", [&](WipeSettings& s) { s.scale = nan; }},
  };
  for (double degrees : {0.0, 30.0}) {
    for (const auto& [name, spoil] : cases) {
      SCOPED_TRACE(::testing::Message() << name << " at " << degrees);
      Image<Pixel8> input(6, 5), output(6, 5);
      testing::FillPattern(input);
      CountingHost host(input.View());
      WipeSettings settings = testing::Settings(1, 0.5, 2, kToRight, degrees, 1);
      spoil(settings);
      EXPECT_EQ(testing::Render(settings, input, output, host), kErrBadParameter);
      EXPECT_EQ(output.pixels(), input.pixels());
      EXPECT_TRUE(host.progress.empty());
    }
  }
  // A zero denominator, as the host would hand it in.
  const WipeSettings derived = DeriveWipeSettings(
      1, 0, 1, 32768 * 100, 20, 1, 0, 1, [](double x, double y) { return std::fmod(x, y); });
  Image<Pixel8> input(6, 5), output(6, 5);
  CountingHost host(input.View());
  EXPECT_EQ(testing::Render(derived, input, output, host), kErrBadParameter);
}

TEST(RenderWipe, RefusesViewsThatDoNotMatch) {
  Image<Pixel8> input(6, 5), output(6, 5);
  Image<Pixel16> deep(6, 5);
  Image<Pixel8> shorter(6, 4);
  CountingHost host(input.View());
  const WipeSettings settings = testing::Settings(1, 0.5, 2, kToRight, 30, 0);
  WorldView narrow = output.View();
  narrow.stride = 5;
  WorldView null_base = output.View();
  null_base.base = nullptr;
  WorldView bad_depth = output.View();
  bad_depth.depth = static_cast<PixelDepth>(7);
  WorldView input_bad_depth = input.View();
  input_bad_depth.depth = static_cast<PixelDepth>(7);
  EXPECT_EQ(RenderWipe(settings, input.View(), deep.View(), host), kErrBadParameter);
  EXPECT_EQ(RenderWipe(settings, input.View(), shorter.View(), host), kErrBadParameter);
  EXPECT_EQ(RenderWipe(settings, input.View(), narrow, host), kErrBadParameter);
  EXPECT_EQ(RenderWipe(settings, input.View(), null_base, host), kErrBadParameter);
  EXPECT_EQ(RenderWipe(settings, input.View(), bad_depth, host), kErrBadParameter);
  EXPECT_EQ(RenderWipe(settings, input_bad_depth, bad_depth, host), kErrBadParameter);
}

TEST(RenderWipe, FirstSampleFailureIsReturnedAndStopsSampling) {
  for (double degrees : {0.0, 90.0, 41.0, 250.0}) {
    SCOPED_TRACE(degrees);
    Image<Pixel8> input(24, 16), clean(24, 16), failed(24, 16);
    testing::FillPattern(input);
    const WipeSettings settings = testing::Settings(1, 0.45, 5, kToRight, degrees, 1);
    CountingHost reference(input.View());
    ASSERT_EQ(testing::Render(settings, input, clean, reference), kErrNone);
    ASSERT_GT(reference.samples, 3);

    CountingHost host(input.View());
    host.fail_from = 3;
    EXPECT_EQ(testing::Render(settings, input, failed, host), 1234);
    EXPECT_EQ(host.samples, 3);
    EXPECT_EQ(host.progress.size(), 16u);
    // Only the two samples that succeeded recoloured a pixel; every pixel
    // whose colour the clean frame kept is exactly as in the clean frame.
    int recoloured = 0;
    int same = 0;
    for (std::int32_t y = 0; y < 16; ++y) {
      for (std::int32_t x = 0; x < 24; ++x) {
        auto colour_kept = [&](const Pixel8& p) {
          const Pixel8& in = input.At(x, y);
          return p.red == in.red && p.green == in.green && p.blue == in.blue;
        };
        recoloured += !colour_kept(failed.At(x, y));
        if (colour_kept(clean.At(x, y))) {
          EXPECT_EQ(failed.At(x, y), clean.At(x, y)) << x << "," << y;
          ++same;
        }
      }
    }
    EXPECT_LE(recoloured, 2);
    EXPECT_GT(same, 0);
  }
}

TEST(RenderWipe, EmptyImageIsNothingToDo) {
  Image<Pixel8> input(0, 0), output(0, 0);
  std::vector<Pixel8> storage(1);
  WorldView in = input.View(), out = output.View();
  in.base = out.base = storage.data();
  CountingHost host(in);
  EXPECT_EQ(RenderWipe(testing::Settings(1, 0.5, 2, kToRight, 30, 1), in, out, host), kErrNone);
  EXPECT_TRUE(host.progress.empty());
}

// Sample positions on a wide frame leave 32 bits before folding; they must
// still be folded into the image (the stand-alone sampler refuses anything
// outside, which would show as a failure code).
TEST(RenderWipe, LargeObliqueFramesSampleInsideTheImage) {
  Image<Pixel8> input(30000, 2), output(30000, 2);
  testing::FillPattern(input);
  CountingHost host(input.View());
  EXPECT_EQ(testing::Render(testing::Settings(kModeNormal, 0.9, 1, kToLeft, 89.9, 1), input, output,
                            host),
            kErrNone);
  EXPECT_GT(host.samples, 0);
}

}  // namespace
}  // namespace quillmarch
