#include "tests/module/module_session.h"

#include <cstring>
#include <sstream>

#include "tests/module/loaded_module.h"

namespace quillmarch::module_test {

namespace {

PF_PixelFormat FormatOf(PixelDepth depth) {
  switch (depth) {
    case PixelDepth::Depth8:
      return PF_PixelFormat_ARGB32;
    case PixelDepth::Depth16:
      return PF_PixelFormat_ARGB64;
    case PixelDepth::DepthFloat:
      return PF_PixelFormat_ARGB128;
  }
  return PF_PixelFormat_INVALID;
}

// The engine's services from the host that the module was given: the ANSI
// maths block behind in_data's utils and the host's sampling suites, over
// the same input world.
class HostServices final : public WipeHost {
 public:
  HostServices(sim::SimHost& host, const PF_EffectWorld* input,
               std::vector<std::pair<std::int32_t, std::int32_t>>& progress)
      : host_(host), ansi_(host.in_data().utils->ansi), progress_(progress) {
    params_.src = input;
  }
  ~HostServices() {
    for (const char* name : acquired_) host_.basic_suite().ReleaseSuite(name, 1);
  }
  HostServices(const HostServices&) = delete;
  HostServices& operator=(const HostServices&) = delete;

  std::int32_t SampleNearest(Fixed x, Fixed y, Pixel8& pixel) override {
    PF_Pixel8 sample{};
    const auto* suite = Suite<PF_Sampling8Suite1>("PF Sampling8 Suite", sampling8_);
    if (suite == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    const PF_Err err = suite->nn_sample(host_.effect_ref(), x, y, &params_, &sample);
    std::memcpy(&pixel, &sample, sizeof(pixel));
    return err;
  }
  std::int32_t SampleNearest(Fixed x, Fixed y, Pixel16& pixel) override {
    PF_Pixel16 sample{};
    const auto* suite = Suite<PF_Sampling16Suite1>("PF Sampling16 Suite", sampling16_);
    if (suite == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    const PF_Err err = suite->nn_sample16(host_.effect_ref(), x, y, &params_, &sample);
    std::memcpy(&pixel, &sample, sizeof(pixel));
    return err;
  }
  std::int32_t SampleNearest(Fixed x, Fixed y, PixelFloat& pixel) override {
    PF_PixelFloat sample{};
    const auto* suite = Suite<PF_SamplingFloatSuite1>("PF SamplingFloat Suite", sampling_float_);
    if (suite == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    const PF_Err err = suite->nn_sample_float(host_.effect_ref(), x, y, &params_, &sample);
    std::memcpy(&pixel, &sample, sizeof(pixel));
    return err;
  }
  std::int32_t ReportProgress(std::int32_t count, std::int32_t total) override {
    progress_.emplace_back(count, total);
    return PF_Err_NONE;
  }

  double Sin(double radians) override { return ansi_.sin(radians); }
  double Cos(double radians) override { return ansi_.cos(radians); }
  double Tan(double radians) override { return ansi_.tan(radians); }
  double Ceil(double value) override { return ansi_.ceil(value); }
  double Floor(double value) override { return ansi_.floor(value); }
  double Fmod(double x, double y) override { return ansi_.fmod(x, y); }

 private:
  template <typename Table>
  const Table* Suite(const char* name, const void*& slot) {
    if (slot == nullptr) {
      if (host_.basic_suite().AcquireSuite(name, 1, &slot) != PF_Err_NONE || slot == nullptr) {
        ADD_FAILURE() << "the host's " << name << " is not to be had";
        if (slot != nullptr) host_.basic_suite().ReleaseSuite(name, 1);
        slot = nullptr;
        return nullptr;
      }
      acquired_.push_back(name);
    }
    return static_cast<const Table*>(slot);
  }

  sim::SimHost& host_;
  const PF_ANSICallbacks& ansi_;
  std::vector<std::pair<std::int32_t, std::int32_t>>& progress_;
  PF_SampPB params_{};
  const void* sampling8_ = nullptr;
  const void* sampling16_ = nullptr;
  const void* sampling_float_ = nullptr;
  std::vector<const char*> acquired_;
};

}  // namespace

ModuleSession::ModuleSession() : host_(TheModule().entry()) {}

PF_Err ModuleSession::Send(PF_Cmd cmd, void* extra, bool frame_data_alive) {
  const PF_Err err = host_.Send(cmd, extra);
  const std::string after = "command " + std::to_string(cmd);
  for (const std::string& problem : host_.problems()) {
    ADD_FAILURE() << "after " << after << ": " << problem;
  }
  host_.ClearProblems();
  ExpectOnlyKeptHandles(
      after, frame_data_alive ? static_cast<PF_Handle>(host_.pre_render_output().pre_render_data)
                              : nullptr);
  return err;
}

void ModuleSession::ExpectOnlyKeptHandles(const std::string& after, PF_Handle also_alive) {
  const PF_InData& in_data = host_.in_data();
  for (PF_Handle handle : host_.LiveHandles()) {
    if (handle == in_data.global_data || handle == in_data.sequence_data || handle == also_alive) {
      continue;
    }
    ADD_FAILURE() << "after " << after << ": a handle of " << host_.Info(handle)->size
                  << " bytes is left alive that the host does not keep";
  }
}

void ModuleSession::SetUpEffect() {
  ASSERT_EQ(Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
  ASSERT_EQ(Send(PF_Cmd_PARAMS_SETUP), PF_Err_NONE);
  ASSERT_EQ(Send(PF_Cmd_SEQUENCE_SETUP), PF_Err_NONE);
}

void ModuleSession::SetParams(const ParamValues& values) {
  host_.SetParam(1, sim::ParamValue::Popup(values.mode));
  host_.SetParam(2, sim::ParamValue::FixSlider(values.completion));
  host_.SetParam(3, sim::ParamValue::FloatSlider(values.width));
  host_.SetParam(4, sim::ParamValue::Popup(values.direction_mode));
  host_.SetParam(5, sim::ParamValue::Angle(values.direction));
  host_.SetParam(6, sim::ParamValue::Checkbox(values.displace));
}

void ModuleSession::SetWorlds(PF_EffectWorld* input, PF_EffectWorld* output) {
  input_ = input;
  host_.SetInput(input);
  host_.SetOutput(output);
}

ModuleFrame ModuleSession::RenderFrame() {
  ModuleFrame frame;
  PF_PreRenderInput& input = host_.pre_render_input();
  std::memset(&input, 0, sizeof(input));
  const std::int32_t width = input_ != nullptr ? input_->width : 0;
  const std::int32_t height = input_ != nullptr ? input_->height : 0;
  input.output_request.rect = PF_Rect{0, 0, width, height};
  input.output_request.channel_mask = 0xF;
  std::memset(&host_.pre_render_output(), 0, sizeof(PF_PreRenderOutput));

  frame.pre_render = Send(PF_Cmd_SMART_PRE_RENDER, &host_.pre_render_extra(), true);
  frame.output = host_.pre_render_output();
  if (frame.pre_render == PF_Err_NONE) {
    std::memset(&host_.smart_render_input(), 0, sizeof(PF_SmartRenderInput));
    host_.smart_render_input().pre_render_data = frame.output.pre_render_data;
    frame.render = Send(PF_Cmd_SMART_RENDER, &host_.smart_render_extra(), true);

    // The record as the module left it; the host keeps a handle's bytes
    // even after its disposal, but it is read here while alive.
    const sim::HandleInfo* info = host_.Info(static_cast<PF_Handle>(frame.output.pre_render_data));
    if (info == nullptr) {
      ADD_FAILURE() << "the pre-render data is no handle of the host's";
    } else {
      EXPECT_EQ(info->size, sizeof(WipeSettings));
      std::memcpy(&frame.settings, info->data(), sizeof(WipeSettings));
      frame.settings_written = true;
    }
  }

  if (const std::optional<PF_Err> deletion = host_.FinishFrame()) {
    EXPECT_EQ(*deletion, PF_Err_NONE) << "deleting the pre-render data";
  }
  for (const std::string& problem : host_.problems()) {
    ADD_FAILURE() << "after the deletion callback: " << problem;
  }
  host_.ClearProblems();
  ExpectOnlyKeptHandles("the frame's end");
  return frame;
}

void FillPattern(sim::SimHost& host, const PF_EffectWorld* world) {
  const WorldView view = host.ViewOf(world);
  for (std::int32_t y = 0; y < view.height; ++y) {
    for (std::int32_t x = 0; x < view.width; ++x) {
      const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(view.stride) +
                             static_cast<std::size_t>(x);
      // Distinct channels per pixel; every 5th pixel fully opaque, so that
      // alpha scaling is seen from the top of the range too.
      const auto seed = static_cast<std::uint32_t>(x * 37 + y * 101);
      const bool opaque = (x + y) % 5 == 0;
      switch (view.depth) {
        case PixelDepth::Depth8:
          static_cast<Pixel8*>(view.base)[at] = {
              static_cast<std::uint8_t>(opaque ? 255 : seed * 7 % 256),
              static_cast<std::uint8_t>(seed % 256), static_cast<std::uint8_t>(seed * 3 % 256),
              static_cast<std::uint8_t>(seed * 11 % 256)};
          break;
        case PixelDepth::Depth16:
          static_cast<Pixel16*>(view.base)[at] = {
              static_cast<std::uint16_t>(opaque ? 32768 : seed * 263 % 32769),
              static_cast<std::uint16_t>(seed * 5 % 32769),
              static_cast<std::uint16_t>(seed * 9 % 32769),
              static_cast<std::uint16_t>(seed * 13 % 65536)};
          break;
        case PixelDepth::DepthFloat:
          static_cast<PixelFloat*>(view.base)[at] = {
              opaque ? 1.0f : static_cast<float>(seed % 41) / 40.0f,
              static_cast<float>(seed % 29) / 14.0f - 0.5f, static_cast<float>(seed % 7) * 0.375f,
              static_cast<float>(seed % 11) / 3.0f - 1.0f};
          break;
      }
    }
  }
}

ReferenceRender::ReferenceRender(sim::SimHost& host, PF_EffectWorld* input,
                                 const PF_EffectWorld* output, std::uint8_t fill,
                                 const WipeSettings& settings) {
  const WorldView output_view = host.ViewOf(output);
  world_ = host.MakeWorld(FormatOf(output_view.depth), output->width, output->height,
                          output->rowbytes, fill);
  result_ = host.in_data().utils->copy(host.effect_ref(), input, world_, nullptr, nullptr);
  if (result_ != PF_Err_NONE) return;
  const WorldView input_view = host.ViewOf(input);
  WorldView view = host.ViewOf(world_);
  view.width = input_view.width;
  view.height = input_view.height;
  HostServices services(host, input, progress_);
  result_ = RenderWipe(settings, input_view, view, services);
}

WipeSettings ReferenceSettings(sim::SimHost& host, const ParamValues& values) {
  const PF_InData& in_data = host.in_data();
  return DeriveWipeSettings(in_data.downsample_x.num, in_data.downsample_x.den, values.mode,
                            values.completion, values.width, values.direction_mode,
                            values.direction, values.displace, in_data.utils->ansi.fmod);
}

namespace {

template <typename T>
bool SameBits(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

}  // namespace

::testing::AssertionResult SameSettings(const WipeSettings& actual, const WipeSettings& expected) {
  std::ostringstream differences;
  auto check = [&](const char* name, const auto& a, const auto& b) {
    if (!SameBits(a, b)) differences << " " << name << " is " << +a << ", expected " << +b << ";";
  };
  differences.precision(17);
  check("scale", actual.scale, expected.scale);
  check("mode", actual.mode, expected.mode);
  check("completion", actual.completion, expected.completion);
  check("width", actual.width, expected.width);
  check("quadrant", actual.quadrant, expected.quadrant);
  check("direction_mode", actual.direction_mode, expected.direction_mode);
  check("axis_aligned", actual.axis_aligned, expected.axis_aligned);
  check("angle", actual.angle, expected.angle);
  check("displace", actual.displace, expected.displace);
  const std::string text = differences.str();
  if (text.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "settings differ:" << text;
}

::testing::AssertionResult SameBytes(const std::vector<std::uint8_t>& actual,
                                     const std::vector<std::uint8_t>& expected,
                                     std::int32_t rowbytes, std::int32_t pixel_size) {
  if (actual.size() != expected.size()) {
    return ::testing::AssertionFailure() << actual.size() << " bytes, expected " << expected.size();
  }
  for (std::size_t i = 0; i < actual.size(); ++i) {
    if (actual[i] != expected[i]) {
      const auto row = static_cast<std::int64_t>(i) / rowbytes;
      const auto column = static_cast<std::int64_t>(i) % rowbytes / pixel_size;
      const auto channel = static_cast<std::int64_t>(i) % rowbytes % pixel_size;
      return ::testing::AssertionFailure()
             << "first difference at row " << row << ", column " << column << ", byte " << channel
             << " of the pixel: " << +actual[i] << " instead of " << +expected[i];
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace quillmarch::module_test
