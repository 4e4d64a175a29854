// Smart render: formats, sizes, host failures, and whole frames that must
// equal the engine's own rendering.
#include <cmath>
#include <functional>
#include <string>

#include "engine/standalone_host.h"
#include "host/plugin_info.h"
#include "tests/host/host_test_support.h"

namespace quillmarch::test {
namespace {

using ::testing::IsEmpty;

constexpr const char* kWorld = "PF World Suite";

class SmartRenderTest : public HostTest {
 protected:
  // A frame that samples some twenty times: oblique, under way, displaced.
  void SetUp() override { SetParams(FrameParams{1, 30 << 16, 10.0, 1, 30 << 16, 1}); }

  /// Pre-render, then smart render; the frame is finished by the caller.
  PF_Err Render() {
    const PF_Err pre = SendPreRender(Rect(0, 0, input->width, input->height));
    EXPECT_EQ(pre, PF_Err_NONE);
    return SendSmartRender();
  }

  void ExpectOutputUntouched() {
    EXPECT_EQ(host.BytesOf(output),
              std::vector<std::uint8_t>(host.BytesOf(output).size(), std::uint8_t{0x11}));
  }

  void ExpectWorldSuiteBalanced(int times) {
    EXPECT_EQ(host.Acquisitions(kWorld, 2), times);
    EXPECT_EQ(host.Releases(kWorld, 2), times);
  }

  void FinishAndExpectNoHandles() {
    EXPECT_EQ(host.FinishFrame(), PF_Err_NONE);
    EXPECT_THAT(host.LiveHandles(), IsEmpty());
  }
};

// --- Whole frames against the engine -------------------------------------

struct FrameCase {
  const char* name;
  FrameParams params;
  PF_RationalScale downsample;
};

const FrameCase kFrames[] = {
    {"NothingDone", {1, 0, 20.0, 1, 30 << 16, 1}, {1, 1}},
    {"AllDone", {1, 100 << 16, 20.0, 1, 30 << 16, 1}, {1, 1}},
    {"Up", {1, 40 << 16, 5.0, 1, 0, 1}, {1, 1}},
    {"RightToLeft", {2, 60 << 16, 4.0, 2, 90 << 16, 1}, {1, 1}},
    {"Down", {1, 33 << 16, 6.0, 1, 180 << 16, 0}, {1, 1}},
    {"LeftHalfSize", {1, 70 << 16, 8.0, 2, -90 << 16, 1}, {1, 2}},
    {"Oblique30", {1, 50 << 16, 4.0, 1, 30 << 16, 1}, {1, 1}},
    {"Oblique135Constant", {2, 45 << 16, 5.0, 2, 135 << 16, 1}, {1, 1}},
    {"Oblique200NoDisplace", {1, 80 << 16, 7.0, 1, 200 << 16, 0}, {1, 1}},
    {"ObliqueManyTurns", {2, (25 << 16) + 12345, 4.5, 1, (-1000 << 16) + 777, 1}, {2, 3}},
};

template <typename Pixel>
struct FormatOf;
template <>
struct FormatOf<Pixel8> {
  static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB32;
};
template <>
struct FormatOf<Pixel16> {
  static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB64;
};
template <>
struct FormatOf<PixelFloat> {
  static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB128;
};

template <typename Pixel>
class SmartRenderFrameTest : public HostTest {};

using Depths = ::testing::Types<Pixel8, Pixel16, PixelFloat>;
TYPED_TEST_SUITE(SmartRenderFrameTest, Depths);

// Through pre-render, smart render and the deletion callback, with padded
// rows of different lengths on both sides, each frame must be pixel for
// pixel what the engine draws by itself from the same settings.
TYPED_TEST(SmartRenderFrameTest, EqualsTheEnginesOwnRendering) {
  constexpr PF_PixelFormat kFormat = FormatOf<TypeParam>::kFormat;
  constexpr std::int32_t kWidth = 16, kHeight = 5;
  constexpr auto kPixel = static_cast<std::int32_t>(sizeof(TypeParam));
  this->MakeWorlds(kFormat, kWidth, kHeight, (kWidth + 3) * kPixel, (kWidth + 1) * kPixel);
  PF_EffectWorld* expected_world =
      this->host.MakeWorld(kFormat, kWidth, kHeight, (kWidth + 1) * kPixel, 0x11);

  for (const FrameCase& c : kFrames) {
    SCOPED_TRACE(c.name);
    this->SetParams(c.params);
    this->host.in_data().downsample_x = c.downsample;
    std::fill_n(static_cast<std::uint8_t*>(this->output->data), this->output->rowbytes * kHeight,
                std::uint8_t{0x11});
    std::fill_n(static_cast<std::uint8_t*>(expected_world->data),
                expected_world->rowbytes * kHeight, std::uint8_t{0x11});

    const sim::FrameResult frame = this->host.RenderFrame(HostTest::Rect(0, 0, kWidth, kHeight));
    ASSERT_EQ(frame.pre_render, PF_Err_NONE);
    ASSERT_EQ(frame.render, PF_Err_NONE);
    EXPECT_TRUE(frame.deleted);

    // The engine alone: the input copied row by row, then rendered.
    const WorldView in_view = this->host.ViewOf(this->input);
    const WorldView expected_view = this->host.ViewOf(expected_world);
    for (std::int32_t y = 0; y < kHeight; ++y) {
      std::memcpy(static_cast<TypeParam*>(expected_view.base) + y * expected_view.stride,
                  static_cast<const TypeParam*>(in_view.base) + y * in_view.stride,
                  sizeof(TypeParam) * kWidth);
    }
    const WipeSettings settings = DeriveWipeSettings(
        c.downsample.num, c.downsample.den, c.params.mode, c.params.completion, c.params.width,
        c.params.direction_mode, c.params.direction, c.params.displace, &std::fmod);
    StandaloneHost standalone(in_view);
    ASSERT_EQ(RenderWipe(settings, in_view, expected_view, standalone), PF_Err_NONE);

    EXPECT_EQ(this->host.BytesOf(this->output), this->host.BytesOf(expected_world));
  }
  EXPECT_THAT(this->host.LiveHandles(), IsEmpty());
}

TYPED_TEST(SmartRenderFrameTest, NothingDoneAtAnObliqueAngleNeedsNoSampling) {
  this->MakeWorlds(FormatOf<TypeParam>::kFormat, 16, 5);
  this->SetParams(FrameParams{1, 0, 20.0, 1, 30 << 16, 1});
  const sim::FrameResult frame = this->host.RenderFrame(HostTest::Rect(0, 0, 16, 5));
  EXPECT_EQ(frame.render, PF_Err_NONE);
  EXPECT_EQ(this->host.BytesOf(this->output), this->host.BytesOf(this->input));
  EXPECT_EQ(this->host.Acquisitions("PF Sampling8 Suite", 1) +
                this->host.Acquisitions("PF Sampling16 Suite", 1) +
                this->host.Acquisitions("PF SamplingFloat Suite", 1),
            0);
}

TEST_F(SmartRenderTest, SamplesThroughTheSuiteOfTheInputsDepthOnly) {
  MakeWorlds(PF_PixelFormat_ARGB64, 16, 5);
  ASSERT_EQ(Render(), PF_Err_NONE);
  EXPECT_EQ(host.Acquisitions("PF Sampling16 Suite", 1), 1);
  EXPECT_GT(host.Calls(sim::Op::kSample16), 1);
  EXPECT_EQ(host.Calls(sim::Op::kSample8) + host.Calls(sim::Op::kSampleFloat), 0);
  EXPECT_FALSE(host.progress_log().empty());
  ExpectWorldSuiteBalanced(1);
  FinishAndExpectNoHandles();
}

// --- Refusals ------------------------------------------------------------

TEST_F(SmartRenderTest, OtherPixelFormatsAreRefused) {
  for (const PF_PixelFormat format : {PF_PixelFormat_INVALID, 0x61726762u, 0u}) {
    SCOPED_TRACE(format);
    MakeWorlds(format, 16, 5, 64, 64);
    EXPECT_EQ(Render(), PF_Err_BAD_CALLBACK_PARAM);
    ExpectOutputUntouched();
    FinishAndExpectNoHandles();
  }
  ExpectWorldSuiteBalanced(3);
}

struct SizeCase {
  const char* name;
  std::int32_t input_rowbytes, output_width, output_height, output_rowbytes;
};

TEST_F(SmartRenderTest, SizesThatDoNotFitEndWith255BeforeTheCopy) {
  // The input is 16 x 5 pixels of 4 bytes; rowbytes 0 means 64.
  const SizeCase cases[] = {
      {"ShortInputRows", 60, 16, 5, 0},     {"ShortOutputRows", 0, 16, 5, 60},
      {"NarrowerOutput", 0, 15, 5, 64},     {"OutputOneRowShorter", 0, 16, 4, 0},
      {"OutputOneRowTaller", 0, 16, 6, 0},  {"BottomUpOutputRows", 0, 16, 5, -64},
      {"RowsOfNoWholePixel", 66, 16, 5, 0},
  };
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(c.name);
    input = host.MakeWorld(PF_PixelFormat_ARGB32, 16, 5, c.input_rowbytes);
    output = host.MakeWorld(PF_PixelFormat_ARGB32, c.output_width, c.output_height,
                            c.output_rowbytes, 0x11);
    host.SetInput(input);
    host.SetOutput(output);
    const int copies = host.Calls(sim::Op::kCopy);
    EXPECT_EQ(Render(), kErrImageSizes);
    EXPECT_EQ(host.Calls(sim::Op::kCopy), copies);
    ExpectOutputUntouched();
    FinishAndExpectNoHandles();
  }
  ExpectWorldSuiteBalanced(7);
}

TEST_F(SmartRenderTest, LongerOutputRowsKeepWhatTheCopyLeftPastTheWidth) {
  MakeWorlds(PF_PixelFormat_ARGB32, 16, 5, 0, 20 * 4);
  ASSERT_EQ(Render(), PF_Err_NONE);
  const std::vector<std::uint8_t> bytes = host.BytesOf(output);
  for (std::size_t row = 0; row < 5; ++row) {
    for (std::size_t i = 16 * 4; i < 20 * 4; ++i) EXPECT_EQ(bytes[row * 80 + i], 0x11);
  }
  FinishAndExpectNoHandles();
}

// --- Host failures ---------------------------------------------------------

struct RenderFailure {
  std::string name;
  std::function<void(sim::SimHost&)> arrange;
  PF_Err expected;
  int world_suite_acquired;
  bool output_untouched;

  friend void PrintTo(const RenderFailure& row, std::ostream* out) { *out << row.name; }
};

class SmartRenderFailureTest : public SmartRenderTest,
                               public ::testing::WithParamInterface<RenderFailure> {};

TEST_P(SmartRenderFailureTest, ReturnsTheCodeAndReleasesEverything) {
  MakeWorlds(PF_PixelFormat_ARGB32, 16, 5);
  ASSERT_EQ(SendPreRender(Rect(0, 0, 16, 5)), PF_Err_NONE);
  GetParam().arrange(host);
  EXPECT_EQ(SendSmartRender(), GetParam().expected);
  ExpectWorldSuiteBalanced(GetParam().world_suite_acquired);
  if (GetParam().output_untouched) ExpectOutputUntouched();
  host.RestoreSuite("PF Handle Suite", 1);
  FinishAndExpectNoHandles();
}

std::vector<RenderFailure> RenderFailures() {
  using sim::Op;
  return {
      // A host's own code comes back as it is: a host that cancels must not
      // hear that its callback was bad.
      {"InputCheckoutFails", [](sim::SimHost& h) { h.FailOn(Op::kCheckoutLayerPixels, 1, 88); }, 88,
       0, true},
      {"OutputCheckoutFails", [](sim::SimHost& h) { h.FailOn(Op::kCheckoutOutput, 1, 89); }, 89, 0,
       true},
      {"InputCheckoutWithoutWorld",
       [](sim::SimHost& h) { h.FailOn(Op::kCheckoutLayerPixels, 1, PF_Err_NONE); }, 516, 0, true},
      {"OutputCheckoutWithoutWorld",
       [](sim::SimHost& h) { h.FailOn(Op::kCheckoutOutput, 1, PF_Err_NONE); }, 516, 0, true},
      {"NoWorldSuite", [](sim::SimHost& h) { h.RemoveSuite(kWorld, 2); }, 516, 0, true},
      {"FormatQueryFailsWithoutFormat",
       [](sim::SimHost& h) { h.FailOn(Op::kGetPixelFormat, 1, 90); }, 90, 1, true},
      {"FormatQueryFailsAfterWritingIt",
       [](sim::SimHost& h) { h.FailOn(Op::kGetPixelFormat, 1, 91, /*deliver=*/true); }, 91, 1,
       true},
      {"CopyFails", [](sim::SimHost& h) { h.FailOn(Op::kCopy, 1, 92); }, 92, 1, true},
      // The first failing sample's code, not a later one's.
      {"SampleFails",
       [](sim::SimHost& h) {
         h.FailOn(Op::kSample8, 3, 93);
         h.FailOn(Op::kSample8, 5, 94);
       },
       93, 1, false},
      {"NoSamplingSuite", [](sim::SimHost& h) { h.RemoveSuite("PF Sampling8 Suite", 1); }, 516, 1,
       false},
      {"NoSettingsLock", [](sim::SimHost& h) { h.FailOn(Op::kLockHandle, 1); }, 516, 0, true},
      {"NoHandleSuite", [](sim::SimHost& h) { h.RemoveSuite("PF Handle Suite", 1); }, 516, 0, true},
      {"NoSettingsHandle", [](sim::SimHost& h) { h.smart_render_extra().input = nullptr; }, 516, 0,
       true},
      // Progress results are not the engine's business.
      {"ProgressRefused", [](sim::SimHost& h) { h.FailOn(Op::kProgress, 1, 95); }, 0, 1, false},
  };
}

INSTANTIATE_TEST_SUITE_P(Rows, SmartRenderFailureTest, ::testing::ValuesIn(RenderFailures()),
                         [](const auto& row) { return row.param.name; });

TEST_F(SmartRenderTest, MissingWorldSuiteIsReportedInTheMessage) {
  MakeWorlds(PF_PixelFormat_ARGB32, 16, 5);
  host.RemoveSuite(kWorld, 2);
  EXPECT_EQ(Render(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_STREQ(host.out_data().return_msg, "Couldn't load suite.");
  EXPECT_NE(host.out_data().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
  FinishAndExpectNoHandles();
}

TEST_F(SmartRenderTest, NullSettingsHandleIsRefused) {
  MakeWorlds(PF_PixelFormat_ARGB32, 16, 5);
  host.smart_render_input().pre_render_data = nullptr;
  EXPECT_EQ(host.Send(PF_Cmd_SMART_RENDER, &host.smart_render_extra()), 516);
  EXPECT_EQ(host.Calls(sim::Op::kLockHandle), 0);
}

TEST_F(SmartRenderTest, WorldsWithoutPixelsAreRefused) {
  MakeWorlds(PF_PixelFormat_ARGB32, 16, 5);
  output->data = nullptr;
  EXPECT_EQ(Render(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.Calls(sim::Op::kCopy), 0);
  FinishAndExpectNoHandles();
}

// A host that takes the basic suite away during the frame cannot have the
// World suite back: the release reports, and its 516 counts only when no
// earlier code was recorded.
sim::SimHost* g_host = nullptr;
PF_Err g_copy_result = PF_Err_NONE;
PF_Err CopyThenDropBasicSuite(PF_ProgPtr, PF_EffectWorld*, PF_EffectWorld*, PF_Rect*, PF_Rect*) {
  g_host->in_data().pica_basicP = nullptr;
  return g_copy_result;
}

TEST_F(SmartRenderTest, WorldSuiteReleaseFailureCountsOnlyWithoutEarlierError) {
  SetParams(FrameParams{1, 0, 20.0, 1, 30 << 16, 1});  // no sampling needed
  MakeWorlds(PF_PixelFormat_ARGB32, 16, 5);
  g_host = &host;
  const SPBasicSuite* basic = host.in_data().pica_basicP;
  host.utils().copy = &CopyThenDropBasicSuite;
  for (const PF_Err copy_result : {PF_Err_NONE, PF_Err_INTERNAL_STRUCT_DAMAGED}) {
    SCOPED_TRACE(copy_result);
    g_copy_result = copy_result;
    host.out_data().return_msg[0] = '\0';
    EXPECT_EQ(Render(), copy_result != PF_Err_NONE ? copy_result : PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_STREQ(host.out_data().return_msg, "Couldn't release suite.");
    host.in_data().pica_basicP = basic;
    // The host saw its World suite kept: the one problem it reports.
    EXPECT_EQ(host.problems().size(), 1u);
    host.ClearProblems();
    FinishAndExpectNoHandles();
  }
}

// --- Many frames, many failures ----------------------------------------------

TEST_F(SmartRenderTest, NoHandleOutlivesItsFrameWhateverFails) {
  ASSERT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
  ASSERT_EQ(host.Send(PF_Cmd_SEQUENCE_SETUP), PF_Err_NONE);
  MakeWorlds(PF_PixelFormat_ARGB32, 16, 5);
  using sim::Op;
  const Op ops[] = {Op::kNewHandle,
                    Op::kLockHandle,
                    Op::kCheckoutParam,
                    Op::kCheckoutLayer,
                    Op::kCheckoutLayerPixels,
                    Op::kCheckoutOutput,
                    Op::kGetPixelFormat,
                    Op::kCopy,
                    Op::kSample8,
                    Op::kAcquireSuite};
  int frames = 0;
  for (const Op op : ops) {
    for (int k = 1; k <= 4; ++k) {
      SCOPED_TRACE(std::string(sim::OpName(op)) + " call " + std::to_string(k));
      host.FailOn(op, k, 70 + k);
      const sim::FrameResult frame = host.RenderFrame(Rect(0, 0, 16, 5));
      ++frames;
      EXPECT_TRUE(frame.pre_render != PF_Err_NONE || frame.rendered);
      EXPECT_THAT(host.LiveHandles(),
                  ::testing::UnorderedElementsAre(host.in_data().global_data,
                                                  host.in_data().sequence_data));
    }
  }
  EXPECT_GT(host.HandlesMade(), frames / 2);
}

}  // namespace
}  // namespace quillmarch::test
