#include <gtest/gtest.h>

#include <cmath>

#include "engine/wipe_engine.h"

namespace quillmarch {
namespace {

double StdFmod(double x, double y) { return std::fmod(x, y); }

WipeSettings Derive(std::int32_t num, std::uint32_t den, Fixed completion, double width,
                    Fixed direction) {
  return DeriveWipeSettings(num, den, 2, completion, width, 1, direction, 1, StdFmod);
}

TEST(DeriveWipeSettings, CompletionIsExactAtBothEnds) {
  EXPECT_EQ(Derive(1, 1, 0, 20, 0).completion, 0.0);
  EXPECT_EQ(Derive(1, 1, 6553600, 20, 0).completion, 1.0);
  // Divide by 65536 first, then multiply by 0.01: 0.5 * 0.01.
  EXPECT_EQ(Derive(1, 1, 32768, 20, 0).completion, 0.5 * 0.01);
  EXPECT_EQ(Derive(1, 1, 32768, 20, 0).completion, 0.005);
}

TEST(DeriveWipeSettings, WidthScalesWithTheHorizontalDownsampleAndIsAtLeastOne) {
  struct Case {
    std::int32_t num;
    std::uint32_t den;
    double width, scale, expected;
  };
  const Case cases[] = {
      {1, 1, 20.0, 1.0, 20.0}, {1, 2, 20.0, 0.5, 10.0}, {1, 8, 4.0, 0.125, 1.0},
      {1, 4, 4.0, 0.25, 1.0},  {2, 4, 20.0, 0.5, 10.0}, {1, 1, 0.999, 1.0, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.num << "/" << c.den << " width " << c.width);
    const WipeSettings s = Derive(c.num, c.den, 0, c.width, 0);
    EXPECT_EQ(s.scale, c.scale);
    EXPECT_EQ(s.width, c.expected);
  }
}

TEST(DeriveWipeSettings, DirectionIsNormalisedIntoQuadrants) {
  constexpr double kDegree = 0.017453292519943295;
  struct Case {
    Fixed value;
    double degrees;
    std::int32_t quadrant;
    std::uint8_t axis_aligned;
  };
  const Case cases[] = {
      {0, 0.0, 1, 1},
      {-90 * 65536, 270.0, 4, 1},
      {450 * 65536, 90.0, 2, 1},
      {720 * 65536, 0.0, 1, 1},
      {-360 * 65536, -0.0, 1, 1},  // a negative zero stays, and counts as 0
      {5898239, 5898239 / 65536.0, 1, 0},
      {5898240, 90.0, 2, 1},
      {180 * 65536, 180.0, 3, 1},
      {23592959, 23592959 / 65536.0, 4, 0},
      {30 * 65536, 30.0, 1, 0},
      {-30 * 65536, 330.0, 4, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "direction value " << c.value);
    const WipeSettings s = Derive(1, 1, 0, 20, c.value);
    EXPECT_EQ(s.quadrant, c.quadrant);
    EXPECT_EQ(s.axis_aligned, c.axis_aligned);
    EXPECT_EQ(s.angle, c.degrees * kDegree);
    EXPECT_EQ(std::signbit(s.angle), std::signbit(c.degrees));
  }
  EXPECT_EQ(Derive(1, 1, 0, 20, -90 * 65536).angle, 270.0 * kDegree);
}

TEST(DeriveWipeSettings, UsesTheGivenRemainder) {
  // The host's own fmod is what counts; a remainder that answers 45 shows it
  // is the one used.
  const WipeSettings s =
      DeriveWipeSettings(1, 1, 1, 0, 20, 1, 0, 0, [](double, double) { return 45.0; });
  EXPECT_EQ(s.quadrant, 1);
  EXPECT_EQ(s.axis_aligned, 0);
}

TEST(DeriveWipeSettings, CopiesChoicesUnchecked) {
  const WipeSettings s = DeriveWipeSettings(1, 1, 2, 0, 20, 2, 0, 0, StdFmod);
  EXPECT_EQ(s.mode, 2);
  EXPECT_EQ(s.direction_mode, 2);
  EXPECT_EQ(s.displace, 0);
  EXPECT_EQ(DeriveWipeSettings(1, 1, 7, 0, 20, 9, 0, 1, StdFmod).mode, 7);
  EXPECT_EQ(DeriveWipeSettings(1, 1, 1, 0, 20, 1, 0, 1, StdFmod).displace, 1);
}

TEST(DeriveWipeSettings, ValuesNoHostSendsStayRecognisable) {
  // A zero denominator or a NaN width is not caught here; the engine refuses
  // the record later instead of dividing by it.
  EXPECT_TRUE(std::isinf(Derive(1, 0, 0, 20, 0).scale));
  EXPECT_TRUE(std::isnan(Derive(0, 0, 0, 20, 0).scale));
  EXPECT_TRUE(std::isnan(Derive(1, 1, 0, std::nan(""), 0).width));
}

}  // namespace
}  // namespace quillmarch
