// The frame table: every outcome of the wipe rendered by the real module at
// all three depths, each frame compared bit for bit with what the engine
// computes for the same settings with the host's own maths and sampler.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "tests/module/module_session.h"

namespace quillmarch::module_test {
namespace {

constexpr PF_Fixed Percent(double percent) { return static_cast<PF_Fixed>(percent * 65536.0); }
constexpr PF_Fixed Degrees(double degrees) { return static_cast<PF_Fixed>(degrees * 65536.0); }

// What a frame must show besides equalling the engine's: left alone, erased
// whole, a front with pixels on both sides, or changed without being erased
// whole (near completion 1, where no pixel may keep its alpha).
enum class Expect { kUnchanged, kAllErased, kPartial, kChanged };

struct FrameCase {
  const char* name;
  ParamValues values;
  PF_RationalScale downsample;
  Expect expect;
};

// Names: the path the engine takes, then what the case adds to the table.
// Widths are small against the 23 x 17 image so that several strips, their
// borders and the front all fall inside it.
const FrameCase kFrames[] = {
    // Completion 0 and 1, on both paths: the shortcuts and the axis path's
    // own handling of the ends.
    {"oblique_completion_0", {1, Percent(0), 6, 1, Degrees(30), 1}, {1, 1}, Expect::kUnchanged},
    {"oblique_completion_1", {1, Percent(100), 6, 1, Degrees(30), 1}, {1, 1}, Expect::kAllErased},
    {"axis_0_completion_0", {1, Percent(0), 6, 1, Degrees(0), 1}, {1, 1}, Expect::kUnchanged},
    {"axis_90_completion_1", {2, Percent(100), 6, 2, Degrees(90), 1}, {1, 1}, Expect::kAllErased},
    // The four axis directions, both ends, displacement on and off; 4.5
    // makes strip borders fall inside pixels.
    {"axis_0_to_right_displace", {1, Percent(37), 6, 1, Degrees(0), 1}, {1, 1}, Expect::kPartial},
    {"axis_90_to_left_constant", {2, Percent(52), 5, 2, Degrees(90), 0}, {1, 1}, Expect::kPartial},
    {"axis_180_to_right_half_pixel_width",
     {2, Percent(61), 4.5, 1, Degrees(180), 1},
     {1, 1},
     Expect::kPartial},
    {"axis_270_from_minus_90_to_left",
     {1, Percent(23), 7, 2, Degrees(-90), 1},
     {1, 1},
     Expect::kPartial},
    // Oblique directions in every quadrant, Normal against Constant.
    {"q1_normal_to_right_displace",
     {1, Percent(40), 6, 1, Degrees(30), 1},
     {1, 1},
     Expect::kPartial},
    {"q1_constant_to_right_displace",
     {2, Percent(40), 6, 1, Degrees(30), 1},
     {1, 1},
     Expect::kPartial},
    {"q2_normal_to_left", {1, Percent(55), 5, 2, Degrees(120), 0}, {1, 1}, Expect::kPartial},
    {"q2_constant_to_left_displace",
     {2, Percent(55), 5, 2, Degrees(135), 1},
     {1, 1},
     Expect::kPartial},
    {"q3_constant_to_left_displace",
     {2, Percent(70), 8, 2, Degrees(210), 1},
     {1, 1},
     Expect::kPartial},
    {"q3_normal_to_right_fractional_angle",
     {1, Percent(35), 6, 1, Degrees(250.5), 0},
     {1, 1},
     Expect::kPartial},
    {"q4_normal_to_right_displace",
     {1, Percent(35), 6, 1, Degrees(300), 1},
     {1, 1},
     Expect::kPartial},
    {"q4_constant_from_minus_45",
     {2, Percent(50), 4, 1, Degrees(-45), 0},
     {1, 1},
     Expect::kPartial},
    {"q1_from_405_to_left", {1, Percent(45), 6, 2, Degrees(405), 1}, {1, 1}, Expect::kPartial},
    // One step below 90 degrees is oblique, with a nearly vertical front.
    {"q1_just_below_90", {1, Percent(50), 5, 1, 5898239, 1}, {1, 1}, Expect::kPartial},
    // Downsampled frames: the width is scaled, and raised to one pixel.
    {"half_resolution", {1, Percent(45), 12, 1, Degrees(30), 1}, {1, 2}, Expect::kPartial},
    {"quarter_resolution_width_1",
     {2, Percent(30), 4, 2, Degrees(120), 1},
     {1, 4},
     Expect::kPartial},
    {"eighth_resolution_width_raised",
     {1, Percent(66), 4, 1, Degrees(90), 1},
     {1, 8},
     Expect::kPartial},
    // A strip wider than the image, and completions near the ends.
    {"single_strip", {1, Percent(50), 1000, 1, Degrees(60), 1}, {1, 1}, Expect::kPartial},
    {"completion_half_percent", {1, 32768, 6, 1, Degrees(200), 1}, {1, 1}, Expect::kPartial},
    {"completion_near_1", {1, Percent(97), 6, 2, Degrees(330), 1}, {1, 1}, Expect::kChanged},
};

struct Depth {
  const char* name;
  PF_PixelFormat format;
  std::int32_t pixel_size;
};

const Depth kDepths[] = {
    {"8bit", PF_PixelFormat_ARGB32, 4},
    {"16bit", PF_PixelFormat_ARGB64, 8},
    {"float", PF_PixelFormat_ARGB128, 16},
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const FrameCase& frame_case, std::ostream* out) { *out << frame_case.name; }
void PrintTo(const Depth& depth, std::ostream* out) { *out << depth.name; }

constexpr std::int32_t kWidth = 23;
constexpr std::int32_t kHeight = 17;
constexpr std::uint8_t kOutputFill = 0x11;

class FrameTable : public ::testing::TestWithParam<std::tuple<FrameCase, Depth>> {};

// Alpha of the pixel at (x, y) in the bytes of a world, as a double.
double AlphaAt(const std::vector<std::uint8_t>& bytes, const Depth& depth, std::int32_t rowbytes,
               std::int32_t x, std::int32_t y) {
  const std::size_t at = static_cast<std::size_t>(y * rowbytes + x * depth.pixel_size);
  switch (depth.pixel_size) {
    case 4:
      return bytes[at];
    case 8:
      return bytes[at] | bytes[at + 1] << 8;
    default: {
      float alpha;
      std::memcpy(&alpha, &bytes[at], sizeof(alpha));
      return alpha;
    }
  }
}

struct FrameWorlds {
  PF_EffectWorld* input;
  PF_EffectWorld* output;
};

// Rows wider than the image, and of different widths, so that a stride
// taken from the wrong world or in bytes instead of pixels shows.
FrameWorlds MakeFrameWorlds(ModuleSession& session, const Depth& depth) {
  sim::SimHost& host = session.host();
  PF_EffectWorld* input =
      host.MakeWorld(depth.format, kWidth, kHeight, (kWidth + 3) * depth.pixel_size);
  PF_EffectWorld* output =
      host.MakeWorld(depth.format, kWidth, kHeight, (kWidth + 6) * depth.pixel_size, kOutputFill);
  FillPattern(host, input);
  session.SetWorlds(input, output);
  return {input, output};
}

TEST_P(FrameTable, MatchesTheEngineBitForBit) {
  const FrameCase& frame_case = std::get<0>(GetParam());
  const Depth& depth = std::get<1>(GetParam());

  ModuleSession session;
  sim::SimHost& host = session.host();
  session.SetUpEffect();
  host.in_data().downsample_x = frame_case.downsample;
  host.in_data().downsample_y = frame_case.downsample;
  session.SetParams(frame_case.values);
  const auto [input, output] = MakeFrameWorlds(session, depth);
  const std::vector<std::uint8_t> input_bytes = host.BytesOf(input);

  const ModuleFrame frame = session.RenderFrame();
  ASSERT_EQ(frame.pre_render, PF_Err_NONE);
  ASSERT_EQ(frame.render, PF_Err_NONE);
  session.SetDownEffect();

  // The output area is the input's, the layer asked for as the host asked.
  EXPECT_EQ(frame.output.result_rect.right, kWidth);
  EXPECT_EQ(frame.output.result_rect.bottom, kHeight);
  EXPECT_EQ(frame.output.max_result_rect.right, kWidth);
  EXPECT_EQ(frame.output.max_result_rect.bottom, kHeight);
  ASSERT_EQ(host.layer_checkouts().size(), 1u);
  EXPECT_EQ(host.layer_checkouts()[0].request.preserve_rgb_of_zero_alpha, 1);

  const WipeSettings settings = ReferenceSettings(host, frame_case.values);
  ASSERT_TRUE(frame.settings_written);
  EXPECT_TRUE(SameSettings(frame.settings, settings));

  const std::vector<std::pair<std::int32_t, std::int32_t>> module_progress = host.progress_log();
  const ReferenceRender reference(host, input, output, kOutputFill, settings);
  ASSERT_EQ(reference.result(), PF_Err_NONE);

  EXPECT_EQ(host.BytesOf(input), input_bytes) << "the module changed its input";
  const std::vector<std::uint8_t> rendered = host.BytesOf(output);
  EXPECT_TRUE(
      SameBytes(rendered, host.BytesOf(reference.world()), output->rowbytes, depth.pixel_size));
  EXPECT_EQ(module_progress, reference.progress());
  for (const std::string& problem : host.problems()) ADD_FAILURE() << problem;

  // The table must show what each case is there for: a frame left alone,
  // one erased whole, or one with a front in it.
  int erased = 0, kept = 0, changed = 0, transparent = 0;
  for (std::int32_t y = 0; y < kHeight; ++y) {
    for (std::int32_t x = 0; x < kWidth; ++x) {
      const double before = AlphaAt(input_bytes, depth, input->rowbytes, x, y);
      const double after = AlphaAt(rendered, depth, output->rowbytes, x, y);
      if (after == 0.0 && before != 0.0) ++erased;
      if (after == before) ++kept;
      if (after != before) ++changed;
      if (after == 0.0) ++transparent;
    }
  }
  switch (frame_case.expect) {
    case Expect::kUnchanged:
      EXPECT_EQ(kept, kWidth * kHeight);
      break;
    case Expect::kAllErased:
      EXPECT_EQ(transparent, kWidth * kHeight);
      EXPECT_GT(erased, 0);
      break;
    case Expect::kPartial:
      EXPECT_GT(changed, 0);
      EXPECT_GT(kept, 0);
      break;
    case Expect::kChanged:
      EXPECT_GT(changed, 0);
      EXPECT_LT(transparent, kWidth * kHeight);
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(AllOutcomes, FrameTable,
                         ::testing::Combine(::testing::ValuesIn(kFrames),
                                            ::testing::ValuesIn(kDepths)),
                         [](const auto& test_info) {
                           return std::string(std::get<0>(test_info.param).name) + "_" +
                                  std::get<1>(test_info.param).name;
                         });

// A host whose sin, cos and tan differ from every C library's. Real hosts
// differ in the last bits only; these are off far enough to move pixels at
// every depth, so that a module computing with maths of its own instead of
// the host's, whose frames would then differ from one host to the next,
// cannot pass.
double SkewedSin(double x) { return std::sin(x) * (1.0 + 1e-3); }
double SkewedCos(double x) { return std::cos(x) * (1.0 - 1e-3); }
double SkewedTan(double x) { return std::tan(x) * (1.0 + 2e-3); }

TEST(HostMaths, TheModuleComputesWithTheHostsMaths) {
  for (const Depth& depth : kDepths) {
    SCOPED_TRACE(depth.name);
    ModuleSession session;
    sim::SimHost& host = session.host();
    session.SetUpEffect();
    const ParamValues values = {1, Percent(40), 6, 1, Degrees(30), 1};
    session.SetParams(values);
    const auto [input, output] = MakeFrameWorlds(session, depth);

    const PF_ANSICallbacks plain = host.utils().ansi;
    host.utils().ansi.sin = &SkewedSin;
    host.utils().ansi.cos = &SkewedCos;
    host.utils().ansi.tan = &SkewedTan;
    const ModuleFrame frame = session.RenderFrame();
    ASSERT_EQ(frame.render, PF_Err_NONE);
    const WipeSettings settings = ReferenceSettings(host, values);
    const ReferenceRender skewed(host, input, output, kOutputFill, settings);
    host.utils().ansi = plain;
    const ReferenceRender unskewed(host, input, output, kOutputFill, settings);

    const std::vector<std::uint8_t> rendered = host.BytesOf(output);
    EXPECT_TRUE(
        SameBytes(rendered, host.BytesOf(skewed.world()), output->rowbytes, depth.pixel_size));
    // Otherwise the skew would prove nothing about this frame.
    EXPECT_FALSE(rendered == host.BytesOf(unskewed.world()));
    session.SetDownEffect();
  }
}

}  // namespace
}  // namespace quillmarch::module_test
