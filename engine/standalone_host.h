// A WipeHost made of plain code: the C library's maths and a nearest-pixel
// sampler over an in-memory input image. Used by the preview tool and the
// tests; its sampler follows the same rounding rule as the simulated host, so
// every build of ours draws the same pixels.
#pragma once

#include <functional>

#include "engine/wipe_engine.h"

namespace quillmarch {

/// Index of the pixel nearest to a Fixed position: halves round up.
constexpr std::int32_t NearestIndex(Fixed position) {
  return static_cast<std::int32_t>((static_cast<std::int64_t>(position) + 32768) >> 16);
}

class StandaloneHost : public WipeHost {
 public:
  using Progress = std::function<void(std::int32_t count, std::int32_t total)>;

  /// `input` must outlive the host; `progress` may be empty.
  explicit StandaloneHost(const WorldView& input, Progress progress = {});

  std::int32_t SampleNearest(Fixed x, Fixed y, Pixel8& pixel) override;
  std::int32_t SampleNearest(Fixed x, Fixed y, Pixel16& pixel) override;
  std::int32_t SampleNearest(Fixed x, Fixed y, PixelFloat& pixel) override;
  std::int32_t ReportProgress(std::int32_t count, std::int32_t total) override;

  double Sin(double radians) override;
  double Cos(double radians) override;
  double Tan(double radians) override;
  double Ceil(double value) override;
  double Floor(double value) override;
  double Fmod(double x, double y) override;

 private:
  template <typename Pixel>
  std::int32_t Sample(Fixed x, Fixed y, Pixel& pixel) const;

  WorldView input_;
  Progress progress_;
};

}  // namespace quillmarch
