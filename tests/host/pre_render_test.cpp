// Smart pre-render: the settings handle, the layer request, the output area,
// and the handle's end through the deletion callback.
#include <cmath>
#include <functional>
#include <string>

#include "host/handlers.h"
#include "tests/host/host_test_support.h"

namespace quillmarch::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class PreRenderTest : public HostTest {
 protected:
  void SetUp() override {
    SetParams(params);
    MakeWorlds(PF_PixelFormat_ARGB32, 16, 5);
  }

  FrameParams params{2, 25 << 16, 13.5, 2, -30 << 16, 0};
};

TEST_F(PreRenderTest, StoresTheFramesSettingsInAnUnlockedHandle) {
  host.in_data().downsample_x = {1, 2};
  host.in_data().downsample_y = {1, 4};  // only the horizontal factor counts
  ASSERT_EQ(SendPreRender(Rect(0, 0, 16, 5)), PF_Err_NONE);

  const auto handle = static_cast<PF_Handle>(host.pre_render_output().pre_render_data);
  ASSERT_NE(host.Info(handle), nullptr);
  EXPECT_EQ(host.Info(handle)->size, sizeof(WipeSettings));
  EXPECT_EQ(host.Info(handle)->lock_count, 0);
  const WipeSettings expected =
      DeriveWipeSettings(1, 2, params.mode, params.completion, params.width, params.direction_mode,
                         params.direction, params.displace, &std::fmod);
  EXPECT_EQ(BytesOf(SettingsOfFrame()), BytesOf(expected));
  EXPECT_EQ(host.pre_render_output().delete_pre_render_data_func, &DeletePreRenderData);

  ASSERT_EQ(host.FinishFrame(), PF_Err_NONE);
  EXPECT_TRUE(host.Info(handle)->disposed);
  EXPECT_THAT(host.LiveHandles(), IsEmpty());
}

TEST_F(PreRenderTest, ReadsEveryParameterAtTheCurrentTime) {
  host.in_data().current_time = 40;
  host.in_data().time_step = 2;
  host.in_data().time_scale = 24;
  host.SetParam(2, sim::ParamValue::FixSlider(75 << 16), 40);
  host.SetParam(5, sim::ParamValue::Angle(450 << 16), 41);  // another time: not read
  ASSERT_EQ(SendPreRender(Rect(0, 0, 16, 5)), PF_Err_NONE);

  const std::vector<sim::ParamCheckout>& checkouts = host.param_checkouts();
  ASSERT_EQ(checkouts.size(), 6u);
  for (std::size_t i = 0; i < checkouts.size(); ++i) {
    EXPECT_EQ(checkouts[i].index, static_cast<PF_ParamIndex>(i + 1));
    EXPECT_EQ(checkouts[i].time, 40);
    EXPECT_EQ(checkouts[i].time_step, 2);
    EXPECT_EQ(checkouts[i].time_scale, 24u);
  }
  const WipeSettings settings = SettingsOfFrame();
  EXPECT_EQ(settings.completion, 0.75);
  EXPECT_EQ(settings.angle, 330 * 0.017453292519943295);
  static_cast<void>(host.FinishFrame());
}

double g_fmod_calls = 0;
double CountingFmod(double x, double y) {
  ++g_fmod_calls;
  return std::fmod(x, y);
}

TEST_F(PreRenderTest, NormalisesTheDirectionWithTheHostsFmod) {
  g_fmod_calls = 0;
  host.utils().ansi.fmod = &CountingFmod;
  ASSERT_EQ(SendPreRender(Rect(0, 0, 16, 5)), PF_Err_NONE);
  EXPECT_GE(g_fmod_calls, 1);
  static_cast<void>(host.FinishFrame());
}

TEST_F(PreRenderTest, RequestsTheInputLikeTheOutputButPreservingRgb) {
  PF_RenderRequest& request = host.pre_render_input().output_request;
  std::memset(&host.pre_render_input(), 0x3C, sizeof(PF_PreRenderInput));
  request.rect = Rect(2, 1, 14, 4);
  request.field = 2;
  request.channel_mask = 7;
  request.preserve_rgb_of_zero_alpha = 0;
  const PF_RenderRequest sent = request;
  std::memset(&host.pre_render_output(), 0, sizeof(PF_PreRenderOutput));
  host.in_data().current_time = 12;
  ASSERT_EQ(host.Send(PF_Cmd_SMART_PRE_RENDER, &host.pre_render_extra()), PF_Err_NONE);

  ASSERT_EQ(host.layer_checkouts().size(), 1u);
  const sim::LayerCheckout& checkout = host.layer_checkouts()[0];
  EXPECT_EQ(checkout.index, 0);
  EXPECT_EQ(checkout.checkout_id, 0);
  EXPECT_EQ(checkout.time, 12);
  PF_RenderRequest expected = sent;
  expected.preserve_rgb_of_zero_alpha = 1;
  EXPECT_EQ(BytesOf(checkout.request), BytesOf(expected));
  // The host's own request is not changed.
  EXPECT_EQ(request.preserve_rgb_of_zero_alpha, 0);
  static_cast<void>(host.FinishFrame());
}

TEST_F(PreRenderTest, EmptyOutputAreasBecomeTheInputsAreas) {
  host.SetLayerResult(Rect(1, 2, 9, 5), Rect(0, 0, 16, 5));
  ASSERT_EQ(SendPreRender(Rect(0, 0, 16, 5)), PF_Err_NONE);
  EXPECT_EQ(host.pre_render_output().result_rect, Rect(1, 2, 9, 5));
  EXPECT_EQ(host.pre_render_output().max_result_rect, Rect(0, 0, 16, 5));
  static_cast<void>(host.FinishFrame());
}

TEST_F(PreRenderTest, NonEmptyOutputAreasGrowToCoverTheInputs) {
  host.SetLayerResult(Rect(0, 0, 0, 0), Rect(0, 0, 100, 50));
  std::memset(&host.pre_render_input(), 0, sizeof(PF_PreRenderInput));
  std::memset(&host.pre_render_output(), 0, sizeof(PF_PreRenderOutput));
  host.pre_render_output().result_rect = Rect(3, 3, 8, 8);
  host.pre_render_output().max_result_rect = Rect(-10, 20, 80, 60);
  ASSERT_EQ(host.Send(PF_Cmd_SMART_PRE_RENDER, &host.pre_render_extra()), PF_Err_NONE);
  EXPECT_EQ(host.pre_render_output().result_rect, Rect(3, 3, 8, 8));
  EXPECT_EQ(host.pre_render_output().max_result_rect, Rect(-10, 0, 100, 60));
  static_cast<void>(host.FinishFrame());
}

struct UnionCase {
  PF_Rect source, destination, expected;
};

TEST(UnionRectTest, GrowsTheDestination) {
  const UnionCase cases[] = {
      {{0, 0, 100, 50}, {-10, 20, 80, 60}, {-10, 0, 100, 60}},
      // An empty destination, left = right, takes the source as it is.
      {{1, 2, 3, 4}, {5, 0, 5, 9}, {1, 2, 3, 4}},
      {{7, 7, 7, 7}, {0, 0, 0, 0}, {7, 7, 7, 7}},  // even an empty source
      // An empty source, top = bottom or inverted, changes nothing.
      {{0, 5, 100, 5}, {1, 1, 2, 2}, {1, 1, 2, 2}},
      {{9, 0, 1, 10}, {1, 1, 2, 2}, {1, 1, 2, 2}},
      {{2, 2, 3, 3}, {0, 0, 10, 10}, {0, 0, 10, 10}},
      {{-5, -6, -1, -2}, {0, 0, 1, 1}, {-5, -6, 1, 1}},
  };
  for (const UnionCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.source) + " into " +
                 ::testing::PrintToString(c.destination));
    PF_Rect destination = c.destination;
    UnionRect(c.source, destination);
    EXPECT_EQ(destination, c.expected);
  }
}

// One row per way pre-render can fail after the handle suite is there.
struct PreRenderFailure {
  std::string name;
  std::function<void(sim::SimHost&)> arrange;
  PF_Err expected;
  std::size_t params_read;
  bool layer_requested;

  friend void PrintTo(const PreRenderFailure& row, std::ostream* out) { *out << row.name; }
};

class PreRenderFailureTest : public PreRenderTest,
                             public ::testing::WithParamInterface<PreRenderFailure> {};

TEST_P(PreRenderFailureTest, ReturnsTheCodeAndLeavesNothingBehind) {
  GetParam().arrange(host);
  std::memset(&host.pre_render_input(), 0, sizeof(PF_PreRenderInput));
  std::memset(&host.pre_render_output(), 0, sizeof(PF_PreRenderOutput));
  host.pre_render_output().result_rect = Rect(1, 1, 2, 2);
  const std::vector<std::uint8_t> output_before = BytesOf(host.pre_render_output());
  EXPECT_EQ(host.Send(PF_Cmd_SMART_PRE_RENDER, &host.pre_render_extra()), GetParam().expected);
  EXPECT_EQ(host.param_checkouts().size(), GetParam().params_read);
  EXPECT_EQ(host.layer_checkouts().size(), GetParam().layer_requested ? 1u : 0u);
  // The output part is as the host gave it: no handle named, no area grown;
  // whatever handle was made is gone.
  EXPECT_EQ(BytesOf(host.pre_render_output()), output_before);
  EXPECT_THAT(host.LiveHandles(), IsEmpty());
  EXPECT_EQ(host.FinishFrame(), std::nullopt);
}

std::vector<PreRenderFailure> PreRenderFailures() {
  std::vector<PreRenderFailure> rows = {
      {"NoHandleSuite", [](sim::SimHost& h) { h.RemoveSuite("PF Handle Suite", 1); }, 516, 0,
       false},
      {"NoBasicSuite", [](sim::SimHost& h) { h.in_data().pica_basicP = nullptr; }, 516, 0, false},
      {"NoHandle", [](sim::SimHost& h) { h.FailOn(sim::Op::kNewHandle, 1); }, 4, 0, false},
      {"NoLock", [](sim::SimHost& h) { h.FailOn(sim::Op::kLockHandle, 1); }, 4, 0, false},
      {"LayerCheckoutFails", [](sim::SimHost& h) { h.FailOn(sim::Op::kCheckoutLayer, 1, 61); }, 61,
       6, true},
  };
  for (int k = 1; k <= 6; ++k) {
    rows.push_back({"Param" + std::to_string(k) + "Fails",
                    [k](sim::SimHost& h) { h.FailOn(sim::Op::kCheckoutParam, k, 40 + k); }, 40 + k,
                    static_cast<std::size_t>(k), false});
  }
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Rows, PreRenderFailureTest, ::testing::ValuesIn(PreRenderFailures()),
                         [](const auto& row) { return row.param.name; });

TEST_F(PreRenderTest, MissingPartsOfTheExtraRecordAreRefused) {
  PF_PreRenderExtra extra = host.pre_render_extra();
  extra.cb = nullptr;
  EXPECT_EQ(host.Send(PF_Cmd_SMART_PRE_RENDER, &extra), PF_Err_BAD_CALLBACK_PARAM);
  extra = host.pre_render_extra();
  extra.output = nullptr;
  EXPECT_EQ(host.Send(PF_Cmd_SMART_PRE_RENDER, &extra), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.HandlesMade(), 0);
}

TEST_F(PreRenderTest, DeletionCallbackDisposesOnceAndNeedsTheHandleSuite) {
  ASSERT_EQ(SendPreRender(Rect(0, 0, 16, 5)), PF_Err_NONE);
  void* const data = host.pre_render_output().pre_render_data;
  EXPECT_EQ(DeletePreRenderData(&host.in_data(), nullptr), PF_Err_NONE);
  EXPECT_EQ(DeletePreRenderData(nullptr, data), PF_Err_BAD_CALLBACK_PARAM);
  host.RemoveSuite("PF Handle Suite", 1);
  EXPECT_EQ(DeletePreRenderData(&host.in_data(), data), PF_Err_BAD_CALLBACK_PARAM);
  host.RestoreSuite("PF Handle Suite", 1);
  EXPECT_THAT(host.LiveHandles(), ElementsAre(static_cast<PF_Handle>(data)));
  EXPECT_EQ(host.FinishFrame(), PF_Err_NONE);
  EXPECT_THAT(host.LiveHandles(), IsEmpty());
}

TEST_F(PreRenderTest, FramesThatAreNeverRenderedLeaveNoHandle) {
  for (int i = 0; i < 5; ++i) {
    const sim::FrameResult frame = host.RenderFrame(Rect(0, 0, 16, 5), /*render=*/false);
    EXPECT_EQ(frame.pre_render, PF_Err_NONE);
    EXPECT_TRUE(frame.deleted);
  }
  EXPECT_EQ(host.HandlesMade(), 5);
  EXPECT_THAT(host.LiveHandles(), IsEmpty());
}

}  // namespace
}  // namespace quillmarch::test
