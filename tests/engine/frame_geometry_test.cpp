#include "engine/frame_geometry.h"

#include <gtest/gtest.h>

#include "tests/engine/test_support.h"

namespace quillmarch {
namespace {

using testing::Settings;

FrameGeometry Geometry(double degrees, double width, std::int32_t direction_mode, std::int32_t w,
                       std::int32_t h) {
  testing::Image<Pixel8> image(w, h);
  StandaloneHost host(image.View());
  return ComputeFrameGeometry(Settings(1, 0.5, width, direction_mode, degrees, 1), w, h, host);
}

TEST(FrameGeometry, ObliqueExamples) {
  const FrameGeometry g30 = Geometry(30, 10, kToLeft, 100, 50);
  EXPECT_NEAR(g30.along_min, -42.435, 5e-4);
  EXPECT_NEAR(g30.along_extent, 91.935, 5e-4);
  EXPECT_EQ(g30.across_min, 0.0);
  EXPECT_NEAR(g30.across_extent, 110.237, 5e-4);
  EXPECT_EQ(g30.strip_count, 12.0);
  EXPECT_EQ(g30.displace_step.x, 32768);
  EXPECT_EQ(g30.displace_step.y, -56756);
  const FrameGeometry g30r = Geometry(30, 10, kToRight, 100, 50);
  EXPECT_EQ(g30r.displace_step.x, -32768);
  EXPECT_EQ(g30r.displace_step.y, 56756);

  const FrameGeometry g120 = Geometry(120, 10, kToRight, 100, 50);
  EXPECT_EQ(g120.along_min, 0.0);
  EXPECT_NEAR(g120.along_extent, 110.237, 5e-4);
  EXPECT_NEAR(g120.across_min, -49.5, 5e-4);
  EXPECT_NEAR(g120.across_extent, 91.935, 5e-4);
  EXPECT_EQ(g120.strip_count, 10.0);
  EXPECT_EQ(g120.displace_step.x, -56756);
  EXPECT_EQ(g120.displace_step.y, -32768);

  const FrameGeometry g45 = Geometry(45, 8, kToLeft, 64, 64);
  EXPECT_EQ(g45.strip_count, 12.0);
  EXPECT_EQ(g45.displace_step.x, 46341);
  EXPECT_EQ(g45.displace_step.y, -46341);
}

TEST(FrameGeometry, AxesPointAsOnScreen) {
  // y grows downward: 0 degrees is up, 90 right, 180 down, 270 left.
  struct Case {
    double degrees;
    Fixed step_x, step_y;  // To Left: the along axis itself
  };
  const Case cases[] = {{0, 0, -65536}, {90, 65536, 0}, {180, 0, 65536}, {270, -65536, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.degrees);
    const FrameGeometry g = Geometry(c.degrees, 4, kToLeft, 16, 5);
    EXPECT_EQ(g.displace_step.x, c.step_x);
    EXPECT_EQ(g.displace_step.y, c.step_y);
  }
}

TEST(FrameGeometry, SinglePixelHasNoExtentAndNoStrip) {
  for (double degrees : {0.0, 30.0, 90.0, 200.0}) {
    const FrameGeometry g = Geometry(degrees, 1, kToRight, 1, 1);
    EXPECT_EQ(g.along_extent, 0.0);
    EXPECT_EQ(g.across_extent, 0.0);
    EXPECT_EQ(g.strip_count, 0.0);
  }
}

// sin and cos of the axis angles are not exactly 0 or 1, and saved projects
// look the way that makes them look: these sliver strips stay.
TEST(FrameGeometry, AxisAnglesKeepTheirSliverStrips) {
  struct Case {
    double degrees;
    std::int32_t w, h;
    double strips;
  };
  const Case cases[] = {
      {0, 480, 270, 479},   {180, 480, 270, 480}, {90, 480, 270, 270},
      {270, 480, 270, 270}, {0, 1, 40, 0},        {180, 1, 40, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " at " << c.degrees);
    EXPECT_EQ(Geometry(c.degrees, 1, kToRight, c.w, c.h).strip_count, c.strips);
  }
}

}  // namespace
}  // namespace quillmarch
