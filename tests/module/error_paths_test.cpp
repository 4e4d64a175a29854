// The real module's answers when the host cannot give what it needs: a
// missing suite (thrown inside, returned as 516), a pixel format it does not
// take, images whose rows or heights do not fit (255), and host callbacks
// that fail. After every command the host must find every suite released
// and no handle left but its own.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/module/module_session.h"

namespace quillmarch::module_test {
namespace {

constexpr std::int32_t kWidth = 23;
constexpr std::int32_t kHeight = 17;
constexpr std::uint8_t kOutputFill = 0x11;

// An oblique frame in progress with displacement, so that a render needs
// every service: the copy, the sampler, the maths and the progress.
ParamValues FrameInProgress() {
  ParamValues values;
  values.completion = 40 << 16;
  values.width = 6.0;
  values.direction = 30 << 16;
  values.displace = 1;
  return values;
}

class ErrorPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    session.SetUpEffect();
    session.SetParams(FrameInProgress());
  }

  void MakeWorlds(PF_PixelFormat format = PF_PixelFormat_ARGB32, std::int32_t output_rowbytes = 0,
                  std::int32_t output_height = kHeight) {
    input = host.MakeWorld(format, kWidth, kHeight, (kWidth + 2) * 4);
    output = host.MakeWorld(format, kWidth, output_height, output_rowbytes, kOutputFill);
    FillPattern(host, input);
    session.SetWorlds(input, output);
  }

  bool OutputUntouched() const {
    const std::vector<std::uint8_t> bytes = host.BytesOf(output);
    for (std::uint8_t byte : bytes) {
      if (byte != kOutputFill) return false;
    }
    return true;
  }

  ModuleSession session;
  sim::SimHost& host = session.host();
  PF_EffectWorld* input = nullptr;
  PF_EffectWorld* output = nullptr;
};

// --- Missing suites ---------------------------------------------------------

struct MissingSuite {
  const char* name;
  const char* suite;
  std::int32_t version;
};

void PrintTo(const MissingSuite& missing, std::ostream* out) { *out << missing.name; }

class MissingSuiteInRender : public ErrorPaths,
                             public ::testing::WithParamInterface<MissingSuite> {};

// The suites a frame needs, each missing in turn: the handle suite ends the
// frame at pre-render, a sampling suite in the middle of the render by a
// thrown code, the World suite before the copy.
TEST_P(MissingSuiteInRender, EndsTheFrameWith516) {
  MakeWorlds();
  host.RemoveSuite(GetParam().suite, GetParam().version);
  const ModuleFrame frame = session.RenderFrame();
  if (std::string(GetParam().suite) == "PF Handle Suite") {
    EXPECT_EQ(frame.pre_render, PF_Err_BAD_CALLBACK_PARAM);
  } else {
    EXPECT_EQ(frame.pre_render, PF_Err_NONE);
    EXPECT_EQ(frame.render, PF_Err_BAD_CALLBACK_PARAM);
  }
  if (std::string(GetParam().suite) == "PF World Suite") {
    EXPECT_TRUE(OutputUntouched());
    EXPECT_STREQ(host.out_data().return_msg, "Couldn't load suite.");
    EXPECT_NE(host.out_data().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
  }
  EXPECT_EQ(host.TotalAcquisitions(), static_cast<int>(host.release_log().size()));
}

INSTANTIATE_TEST_SUITE_P(EachSuite, MissingSuiteInRender,
                         ::testing::Values(MissingSuite{"handle", "PF Handle Suite", 1},
                                           MissingSuite{"sampling8", "PF Sampling8 Suite", 1},
                                           MissingSuite{"world", "PF World Suite", 2}),
                         [](const auto& test_info) { return std::string(test_info.param.name); });

TEST(MissingSuiteAtSetup, GlobalSetupWithoutHandleSuiteSetsVersionAndReturns516) {
  ModuleSession session;
  sim::SimHost& host = session.host();
  host.RemoveSuite("PF Handle Suite", 1);
  EXPECT_EQ(session.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.out_data().my_version, 0x80601u);
  EXPECT_EQ(host.out_data().global_data, nullptr);
  EXPECT_EQ(host.HandlesMade(), 0);
}

TEST(MissingSuiteAtSetup, GlobalSetupWithoutUtilitySuiteLeavesNoHandle) {
  ModuleSession session;
  sim::SimHost& host = session.host();
  host.RemoveSuite("AEGP Utility Suite", 7);
  EXPECT_EQ(session.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.out_data().global_data, nullptr);
  EXPECT_EQ(host.HandlesMade(), 1);  // made, then not kept: Send checks it is gone
}

TEST(MissingSuiteAtSetup, NoBasicSuiteChangesNothing) {
  ModuleSession session;
  sim::SimHost& host = session.host();
  host.in_data().pica_basicP = nullptr;
  for (PF_Cmd cmd : {PF_Cmd_GLOBAL_SETUP, PF_Cmd_ABOUT, PF_Cmd_SEQUENCE_SETUP}) {
    SCOPED_TRACE("command " + std::to_string(cmd));
    const PF_OutData before = host.out_data();
    EXPECT_EQ(session.Send(cmd), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(std::memcmp(&before, &host.out_data(), sizeof(PF_OutData)), 0);
  }
}

// --- Images the module refuses ----------------------------------------------

TEST_F(ErrorPaths, RefusedPixelFormatsEndWith516) {
  // "ae08" is no format of the host's; "badf" is its own word for none.
  for (PF_PixelFormat format : {0x38306561u, PF_PixelFormat_INVALID}) {
    SCOPED_TRACE(format);
    MakeWorlds(format);
    const ModuleFrame frame = session.RenderFrame();
    EXPECT_EQ(frame.pre_render, PF_Err_NONE);
    EXPECT_EQ(frame.render, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(OutputUntouched());
  }
  EXPECT_EQ(host.Acquisitions("PF World Suite", 2), host.Releases("PF World Suite", 2));
}

struct SizeMismatch {
  const char* name;
  std::int32_t output_rowbytes;
  std::int32_t output_height;
};

void PrintTo(const SizeMismatch& mismatch, std::ostream* out) { *out << mismatch.name; }

class SizeMismatchInRender : public ErrorPaths,
                             public ::testing::WithParamInterface<SizeMismatch> {};

TEST_P(SizeMismatchInRender, EndsWith255BeforeTheCopy) {
  MakeWorlds(PF_PixelFormat_ARGB32, GetParam().output_rowbytes, GetParam().output_height);
  const ModuleFrame frame = session.RenderFrame();
  EXPECT_EQ(frame.pre_render, PF_Err_NONE);
  EXPECT_EQ(frame.render, 255);
  EXPECT_TRUE(OutputUntouched());
  EXPECT_EQ(host.Calls(sim::Op::kCopy), 0);
  EXPECT_EQ(host.Acquisitions("PF World Suite", 2), 1);
  EXPECT_EQ(host.Releases("PF World Suite", 2), 1);
}

INSTANTIATE_TEST_SUITE_P(Each, SizeMismatchInRender,
                         ::testing::Values(SizeMismatch{"row_one_pixel_short", (kWidth - 1) * 4,
                                                        kHeight},
                                           SizeMismatch{"one_row_more", 0, kHeight + 1},
                                           SizeMismatch{"one_row_fewer", 0, kHeight - 1}),
                         [](const auto& test_info) { return std::string(test_info.param.name); });

// --- Failing host callbacks -------------------------------------------------

struct FailingCall {
  const char* name;
  sim::Op op;
  int at_call;   ///< counted from the start of the frame
  PF_Err code;   ///< what the call reports
  bool deliver;  ///< the call does its work and still reports the code
  PF_Err pre_render;
  PF_Err render;
  bool output_untouched;
};

constexpr PF_Err kHostCode = 31;

void PrintTo(const FailingCall& call, std::ostream* out) { *out << call.name; }

class FailingCallInFrame : public ErrorPaths, public ::testing::WithParamInterface<FailingCall> {};

TEST_P(FailingCallInFrame, ReturnsTheRightCode) {
  const FailingCall& call = GetParam();
  MakeWorlds();
  host.FailOn(call.op, call.at_call, call.code, call.deliver);
  const ModuleFrame frame = session.RenderFrame();
  EXPECT_EQ(frame.pre_render, call.pre_render);
  if (call.pre_render == PF_Err_NONE) {
    EXPECT_EQ(frame.render, call.render);
  }
  if (call.output_untouched) {
    EXPECT_TRUE(OutputUntouched());
  }
}

INSTANTIATE_TEST_SUITE_P(
    EachCall, FailingCallInFrame,
    ::testing::Values(
        // Pre-render: no handle is out of memory; a failed checkout passes on
        // the host's code.
        FailingCall{"new_handle", sim::Op::kNewHandle, 1, kHostCode, false, PF_Err_OUT_OF_MEMORY, 0,
                    true},
        FailingCall{"lock_in_pre_render", sim::Op::kLockHandle, 1, kHostCode, false,
                    PF_Err_OUT_OF_MEMORY, 0, true},
        FailingCall{"layer", sim::Op::kCheckoutLayer, 1, kHostCode, false, kHostCode, 0, true},
        // Smart render: settings that will not lock are no settings.
        FailingCall{"lock_in_render", sim::Op::kLockHandle, 2, kHostCode, false, 0,
                    PF_Err_BAD_CALLBACK_PARAM, true},
        // A failing checkout or format query passes the host's code on, so
        // that a host cancelling a frame hears its own code back; a checkout
        // that claims success without handing out a world is answered 516.
        FailingCall{"input_pixels", sim::Op::kCheckoutLayerPixels, 1, kHostCode, false, 0,
                    kHostCode, true},
        FailingCall{"input_pixels_without_world", sim::Op::kCheckoutLayerPixels, 1, PF_Err_NONE,
                    false, 0, PF_Err_BAD_CALLBACK_PARAM, true},
        FailingCall{"output_without_world", sim::Op::kCheckoutOutput, 1, PF_Err_NONE, false, 0,
                    PF_Err_BAD_CALLBACK_PARAM, true},
        FailingCall{"pixel_format", sim::Op::kGetPixelFormat, 1, kHostCode, false, 0, kHostCode,
                    true},
        FailingCall{"pixel_format_written", sim::Op::kGetPixelFormat, 1, kHostCode, true, 0,
                    kHostCode, true},
        FailingCall{"copy", sim::Op::kCopy, 1, kHostCode, false, 0, kHostCode, true}),
    [](const auto& test_info) { return std::string(test_info.param.name); });

TEST_F(ErrorPaths, FailedOutputCheckoutAsksForNoWorldSuite) {
  MakeWorlds();
  host.FailOn(sim::Op::kCheckoutOutput, 1, kHostCode);
  EXPECT_EQ(session.RenderFrame().render, kHostCode);
  EXPECT_TRUE(OutputUntouched());
  EXPECT_EQ(host.Acquisitions("PF World Suite", 2), 0);
}

TEST_F(ErrorPaths, FailedSampleStopsSamplingButNotTheWalk) {
  MakeWorlds();
  // The same frame once without a fault, to know how many samples it takes.
  ASSERT_EQ(session.RenderFrame().render, PF_Err_NONE);
  const int samples = host.Calls(sim::Op::kSample8);
  ASSERT_GT(samples, 2);
  const std::size_t rows_reported = host.progress_log().size();

  host.FailOn(sim::Op::kSample8, 2, kHostCode);
  EXPECT_EQ(session.RenderFrame().render, kHostCode);
  EXPECT_EQ(host.Calls(sim::Op::kSample8) - samples, 2);
  EXPECT_EQ(host.progress_log().size() - rows_reported, static_cast<std::size_t>(kHeight));
  EXPECT_EQ(host.progress_log().back(), std::make_pair(kHeight - 1, kHeight));
}

TEST_F(ErrorPaths, FailedParamCheckoutFetchesNothingMore) {
  MakeWorlds();
  host.FailOn(sim::Op::kCheckoutParam, 3, kHostCode);
  EXPECT_EQ(session.RenderFrame().pre_render, kHostCode);
  EXPECT_EQ(host.param_checkouts().size(), 3u);
  EXPECT_TRUE(host.layer_checkouts().empty());
}

TEST_F(ErrorPaths, FailedProgressIsIgnored) {
  MakeWorlds();
  host.FailOn(sim::Op::kProgress, 1, kHostCode);
  const ModuleFrame frame = session.RenderFrame();
  ASSERT_EQ(frame.render, PF_Err_NONE);
  EXPECT_EQ(host.progress_log().size(), static_cast<std::size_t>(kHeight));
  const ReferenceRender reference(host, input, output, kOutputFill,
                                  ReferenceSettings(host, FrameInProgress()));
  EXPECT_TRUE(
      SameBytes(host.BytesOf(output), host.BytesOf(reference.world()), output->rowbytes, 4));
}

TEST(FailingCallAtSetup, RegistrationCodeIsReturnedAndTheHandleNotKept) {
  ModuleSession session;
  sim::SimHost& host = session.host();
  host.FailOn(sim::Op::kRegister, 1, kHostCode);
  EXPECT_EQ(session.Send(PF_Cmd_GLOBAL_SETUP), kHostCode);
  EXPECT_EQ(host.out_data().global_data, nullptr);
}

TEST(FailingCallAtSetup, ThirdParameterRefusedLeavesTwoAndNoCount) {
  ModuleSession session;
  sim::SimHost& host = session.host();
  host.out_data().num_params = 99;
  host.FailOn(sim::Op::kAddParam, 3, kHostCode);
  EXPECT_EQ(session.Send(PF_Cmd_PARAMS_SETUP), kHostCode);
  EXPECT_EQ(host.added_params().size(), 2u);
  EXPECT_EQ(host.out_data().num_params, 99);
}

TEST(FailingCallAtSetup, SequenceSetupWithoutHandleIsOutOfMemory) {
  ModuleSession session;
  sim::SimHost& host = session.host();
  host.FailOn(sim::Op::kNewHandle, 1, kHostCode);
  EXPECT_EQ(session.Send(PF_Cmd_SEQUENCE_SETUP), PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(host.out_data().sequence_data, nullptr);
}

}  // namespace
}  // namespace quillmarch::module_test
