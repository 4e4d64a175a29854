#include "engine/axis_aligned.h"

#include <cmath>

namespace quillmarch {

AxisAlignedFrame MakeAxisAlignedFrame(const WipeSettings& settings, const FrameGeometry& geometry) {
  return AxisAlignedFrame{settings.completion,        settings.width,
                          1.0 / geometry.strip_count, settings.direction_mode == kToLeft,
                          geometry.across_axis,       geometry.along_axis,
                          geometry.across_min,        geometry.along_min,
                          geometry.along_extent};
}

PixelDecision AxisAlignedPixel(const AxisAlignedFrame& frame, std::int32_t x, std::int32_t y,
                               WipeHost& host) {
  const double extent = frame.along_extent;
  // Distance from the end of the strip where the front starts.
  auto start_distance = [&] {
    const double along = DotPixel(x, y, frame.along_axis) - frame.along_min;
    return frame.to_left ? extent - along : along;
  };

  PixelDecision decision{1.0, false, 0, 0.0};
  const double s = DotPixel(x, y, frame.across_axis) - frame.across_min;
  const double k = host.Floor(s / frame.width);
  // Product, difference, quotient, in that order. Without strips the share
  // is infinite and L is not a number: every pixel then counts as in progress.
  const double local = (frame.completion - frame.share * k) / frame.share;

  if (local < 0.0) {
    // Not started; its first pixel line may follow the previous strip's front.
    const double previous = local + 1.0;
    if (previous > 0.0) {
      const double m = host.Fmod(s, frame.width);
      if (m < 1.0 && extent * previous - start_distance() > 0.5) decision.coverage *= m;
    }
  } else if (local > 1.0) {
    decision.coverage = 0.0;
  } else {
    decision.in_progress = true;
    const double a = start_distance();
    const double front = extent * local;
    const double passed = front - a;
    if (passed > 1.0 || frame.completion == 1.0) {
      decision.coverage = 0.0;
    } else if (passed > 0.0) {
      decision.coverage = 1.0 - passed;
    }
    const double m = host.Fmod(s, frame.width);
    if (m < 1.0 && k != 0.0) {
      const double previous = local + 1.0;
      if (previous > 0.0 && extent * previous - a > 0.5) decision.coverage *= m;
    }
    decision.position = m;
    // front lies in [0, extent] here, or is not a number when there is no strip.
    decision.front_offset = std::isnan(front) ? 0 : static_cast<std::int32_t>(front);
  }
  return decision;
}

template <typename Pixel>
std::int32_t RenderAxisAligned(WipeFrame<Pixel>& frame) {
  if (frame.settings.completion == 0.0) return kErrNone;
  const AxisAlignedFrame axis = MakeAxisAlignedFrame(frame.settings, frame.geometry);
  for (std::int32_t y = 0; y < frame.height; ++y) {
    for (std::int32_t x = 0; x < frame.width; ++x) {
      FinishPixel(frame, x, y, AxisAlignedPixel(axis, x, y, frame.host));
    }
    frame.host.ReportProgress(y, frame.height);
  }
  return frame.sample_error;
}

template std::int32_t RenderAxisAligned(WipeFrame<Pixel8>&);
template std::int32_t RenderAxisAligned(WipeFrame<Pixel16>&);
template std::int32_t RenderAxisAligned(WipeFrame<PixelFloat>&);

}  // namespace quillmarch
