// Smart render: the host's records turned into the engine's views and
// services, and the frame rendered.
#include <cstdint>
#include <cstring>
#include <optional>

#include "engine/wipe_engine.h"
#include "host/handle_guard.h"
#include "host/handlers.h"
#include "host/plugin_info.h"
#include "host/suite_cache.h"

namespace quillmarch {
namespace {

constexpr const char* kWorldSuiteName = "PF World Suite";
constexpr std::int32_t kWorldSuiteVersion = 2;

struct DepthOfFormat {
  PixelDepth depth;
  int pixel_shift;  ///< log2 of the pixel size in bytes
};

std::optional<DepthOfFormat> MapPixelFormat(PF_PixelFormat format) {
  switch (format) {
    case PF_PixelFormat_ARGB32:
      return DepthOfFormat{PixelDepth::Depth8, 2};
    case PF_PixelFormat_ARGB64:
      return DepthOfFormat{PixelDepth::Depth16, 3};
    case PF_PixelFormat_ARGB128:
      return DepthOfFormat{PixelDepth::DepthFloat, 4};
    default:
      return std::nullopt;
  }
}

// The engine's services, each one the host's own. Sampling suites come from
// the call's cache at the first sample of their depth.
class HostServices final : public WipeHost {
 public:
  HostServices(SuiteCache& suites, const PF_InData& in_data, const PF_EffectWorld& input)
      : suites_(suites), in_data_(in_data), maths_(in_data.utils->ansi) {
    std::memset(&sampling_, 0, sizeof(sampling_));
    sampling_.src = &input;
  }

  std::int32_t SampleNearest(Fixed x, Fixed y, Pixel8& pixel) override {
    return Sample(suites_.Sampling8().nn_sample, x, y, pixel);
  }
  std::int32_t SampleNearest(Fixed x, Fixed y, Pixel16& pixel) override {
    return Sample(suites_.Sampling16().nn_sample16, x, y, pixel);
  }
  std::int32_t SampleNearest(Fixed x, Fixed y, PixelFloat& pixel) override {
    return Sample(suites_.SamplingFloat().nn_sample_float, x, y, pixel);
  }
  std::int32_t ReportProgress(std::int32_t count, std::int32_t total) override {
    static_cast<void>(in_data_.inter.progress(in_data_.effect_ref, count, total));
    return PF_Err_NONE;
  }

  double Sin(double radians) override { return maths_.sin(radians); }
  double Cos(double radians) override { return maths_.cos(radians); }
  double Tan(double radians) override { return maths_.tan(radians); }
  double Ceil(double value) override { return maths_.ceil(value); }
  double Floor(double value) override { return maths_.floor(value); }
  double Fmod(double x, double y) override { return maths_.fmod(x, y); }

 private:
  template <typename HostPixel, typename Pixel>
  std::int32_t Sample(PF_Err (*nn_sample)(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB*,
                                          HostPixel*),
                      Fixed x, Fixed y, Pixel& pixel) {
    HostPixel sample{};
    const PF_Err err = nn_sample(in_data_.effect_ref, x, y, &sampling_, &sample);
    pixel.alpha = sample.alpha;
    pixel.red = sample.red;
    pixel.green = sample.green;
    pixel.blue = sample.blue;
    return err;
  }

  SuiteCache& suites_;
  const PF_InData& in_data_;
  const PF_ANSICallbacks& maths_;
  PF_SampPB sampling_;
};

// Everything between acquiring the World suite and releasing it.
PF_Err RenderWithWorldSuite(SuiteCache& suites, const PF_InData& in_data,
                            const PF_WorldSuite2& world_suite, const WipeSettings& settings,
                            PF_EffectWorld& input, PF_EffectWorld& output) {
  PF_PixelFormat format = PF_PixelFormat_INVALID;
  const PF_Err query_err = world_suite.PF_GetPixelFormat(&input, &format);
  if (query_err != PF_Err_NONE) return query_err;
  const std::optional<DepthOfFormat> depth = MapPixelFormat(format);
  if (!depth) return PF_Err_BAD_CALLBACK_PARAM;

  // The output view takes the input's size: the two must match, and both
  // rows must hold the input's width within their stride. A row size that
  // is no whole number of pixels would shear the image, so it is refused
  // too. 64-bit arithmetic: no host value can overflow it.
  const std::int64_t pixel_size = std::int64_t{1} << depth->pixel_shift;
  const std::int64_t input_stride = input.rowbytes >> depth->pixel_shift;
  const std::int64_t output_stride = output.rowbytes >> depth->pixel_shift;
  if (input.width < 0 || input.height < 0 || input_stride - input.width < 0 ||
      output_stride - input.width < 0 || output.width < input.width ||
      input.height != output.height || input.rowbytes % pixel_size != 0 ||
      output.rowbytes % pixel_size != 0) {
    return kErrImageSizes;
  }
  const bool has_pixels = input.width > 0 && input.height > 0;
  if (has_pixels && (input.data == nullptr || output.data == nullptr)) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }

  const PF_Err copy_err =
      in_data.utils->copy(in_data.effect_ref, &input, &output, nullptr, nullptr);
  if (copy_err != PF_Err_NONE) return copy_err;

  WorldView input_view;
  input_view.base = input.data;
  input_view.width = input.width;
  input_view.height = input.height;
  input_view.stride = static_cast<std::int32_t>(input_stride);
  input_view.depth = depth->depth;
  WorldView output_view = input_view;
  output_view.base = output.data;
  output_view.stride = static_cast<std::int32_t>(output_stride);

  HostServices services(suites, in_data, input);
  return RenderWipe(settings, input_view, output_view, services);
}

}  // namespace

PF_Err SmartRender(const PF_InData& in_data, PF_OutData& out_data, PF_SmartRenderExtra& extra) {
  if (extra.input == nullptr || extra.cb == nullptr || in_data.utils == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  SuiteCache suites(in_data.pica_basicP);

  auto* const settings_handle = static_cast<PF_Handle>(extra.input->pre_render_data);
  if (settings_handle == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  // Held locked while the settings are read, and unlocked on every way out:
  // the host disposes of the handle later through the deletion callback.
  HandleLock lock(suites.Handle(), settings_handle);
  if (!lock) return PF_Err_BAD_CALLBACK_PARAM;
  WipeSettings settings;
  std::memcpy(&settings, lock.data(), sizeof(settings));

  // A failing host callback's code goes back as it is: a host that cancels
  // a frame must not hear that its callback was bad. A checkout that claims
  // success without a world is the host's fault, and answered as such.
  PF_EffectWorld* input = nullptr;
  PF_EffectWorld* output = nullptr;
  PF_Err err = extra.cb->checkout_layer_pixels(in_data.effect_ref, 0, &input);
  if (err == PF_Err_NONE && input == nullptr) err = PF_Err_BAD_CALLBACK_PARAM;
  if (err == PF_Err_NONE) err = extra.cb->checkout_output(in_data.effect_ref, &output);
  if (err == PF_Err_NONE && output == nullptr) err = PF_Err_BAD_CALLBACK_PARAM;
  if (err != PF_Err_NONE) return err;

  const void* world_suite = nullptr;
  err = AcquireSuiteOrReport(&in_data, &out_data, kWorldSuiteName, kWorldSuiteVersion,
                             "Couldn't load suite.", &world_suite);
  if (err != PF_Err_NONE) return err;
  try {
    err = RenderWithWorldSuite(suites, in_data, *static_cast<const PF_WorldSuite2*>(world_suite),
                               settings, *input, *output);
  } catch (...) {
    static_cast<void>(ReleaseSuiteOrReport(&in_data, &out_data, kWorldSuiteName, kWorldSuiteVersion,
                                           "Couldn't release suite."));
    throw;
  }
  const PF_Err release_err = ReleaseSuiteOrReport(&in_data, &out_data, kWorldSuiteName,
                                                  kWorldSuiteVersion, "Couldn't release suite.");
  return err != PF_Err_NONE ? err : release_err;
}

}  // namespace quillmarch
