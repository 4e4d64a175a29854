// The small per-pixel operations both wipe paths are built from, and
// FinishPixel, the last step of every pixel they touch.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/frame_geometry.h"
#include "engine/wipe_engine.h"

namespace quillmarch {

/// a.x * b.x + a.y * b.y: each product rounded, then the sum, x term first.
inline double Dot(Vector a, Vector b) { return a.x * b.x + a.y * b.y; }
inline double DotXY(double x, double y, Vector v) { return x * v.x + y * v.y; }
inline double DotPixel(std::int32_t x, std::int32_t y, Vector v) {
  return static_cast<double>(x) * v.x + static_cast<double>(y) * v.y;
}

/// Folds a 16.16 sample coordinate into [0, (size - 1) * 65536] by mirror
/// reflection about the edge pixels, the edge pixel itself repeated. Works in
/// 64 bits so that images beyond 16384 pixels, where twice the image length
/// leaves 32 bits, fold as exactly as small ones. `size` is at least 1.
inline void MirrorFixed(std::int64_t& coordinate, std::int32_t size) {
  const std::int64_t length = static_cast<std::int64_t>(size) * 65536;
  const std::int64_t period = 2 * length;
  std::int64_t c = coordinate;
  if (c < 0) {
    // C++ remainder truncates toward zero: a c in (-65536, 0) stays negative
    // here and is clamped to 0 below.
    c = (-c - 65536) % period;
    if (c >= length) c = period - c - 65536;
  } else if (c >= length) {
    c = c % period;
    if (c >= length) c = period - c - 65536;
  }
  if (c > length - 65536) {
    c = length - 65536;
  } else if (c < 0) {
    c = 0;
  }
  coordinate = c;
}

/// Per-depth facts. The primary template is left undefined, so a pixel type
/// without traits does not compile.
template <typename Pixel>
struct PixelTraits;

template <>
struct PixelTraits<Pixel8> {
  static constexpr PixelDepth kDepth = PixelDepth::Depth8;
  /// Integer channels truncate toward zero; callers keep the value in range.
  static std::uint8_t FromDouble(double value) { return static_cast<std::uint8_t>(value); }
};

template <>
struct PixelTraits<Pixel16> {
  static constexpr PixelDepth kDepth = PixelDepth::Depth16;
  static std::uint16_t FromDouble(double value) { return static_cast<std::uint16_t>(value); }
};

template <>
struct PixelTraits<PixelFloat> {
  static constexpr PixelDepth kDepth = PixelDepth::DepthFloat;
  /// Float channels round to nearest and are never clamped.
  static float FromDouble(double value) { return static_cast<float>(value); }
};

/// alpha := alpha * coverage, in double, then back to the channel type.
template <typename Pixel>
void ScaleAlpha(Pixel& pixel, double coverage) {
  pixel.alpha = PixelTraits<Pixel>::FromDouble(static_cast<double>(pixel.alpha) * coverage);
}

/// Mixes the sample's colour into `output` by `factor` (0 < factor <= 1) and
/// takes the sample's alpha unblended.
template <typename Pixel>
void BlendPixel(Pixel& output, const Pixel& sample, double factor) {
  const double keep = 1.0 - factor;
  auto mix = [&](double out, double in) {
    return PixelTraits<Pixel>::FromDouble(keep * out + factor * in);
  };
  output.red = mix(output.red, sample.red);
  output.green = mix(output.green, sample.green);
  output.blue = mix(output.blue, sample.blue);
  output.alpha = sample.alpha;
}

/// Everything FinishPixel reads for a whole frame, and the frame's record of
/// sampler failures.
template <typename Pixel>
struct WipeFrame {
  const WipeSettings& settings;
  const FrameGeometry& geometry;
  Pixel* output;
  std::ptrdiff_t output_stride;
  std::int32_t width;  ///< the input's: the size of the walk and of the fold
  std::int32_t height;
  WipeHost& host;
  std::int32_t sample_error = kErrNone;

  Pixel& At(std::int32_t x, std::int32_t y) const {
    return output[static_cast<std::ptrdiff_t>(y) * output_stride + x];
  }
};

/// What a wipe path decided for one pixel; FinishPixel applies it.
struct PixelDecision {
  double coverage;
  bool in_progress;           ///< lies in the strip in progress
  std::int32_t front_offset;  ///< whole pixels the strip's content has moved
  double position;            ///< distance from the strip's near edge, [0, width)
};

/// Applies a pixel's coverage. In the strip in progress, with displacement
/// on, the pixel is redrawn from the input shifted by the front offset; any
/// other pixel keeps its colour and has its alpha scaled.
template <typename Pixel>
void FinishPixel(WipeFrame<Pixel>& frame, std::int32_t x, std::int32_t y,
                 const PixelDecision& decision) {
  Pixel& out = frame.At(x, y);
  if (decision.in_progress && decision.coverage != 0.0 && frame.settings.displace != 0) {
    if (frame.sample_error == kErrNone) {
      const double rest = frame.settings.width - decision.position;
      const double factor = rest < 1.0 ? rest : 1.0;
      // 64-bit: on large oblique frames the offset times the step leaves 32 bits.
      std::int64_t sx =
          static_cast<std::int64_t>(x) * 65536 +
          static_cast<std::int64_t>(decision.front_offset) * frame.geometry.displace_step.x;
      std::int64_t sy =
          static_cast<std::int64_t>(y) * 65536 +
          static_cast<std::int64_t>(decision.front_offset) * frame.geometry.displace_step.y;
      MirrorFixed(sx, frame.width);
      MirrorFixed(sy, frame.height);
      Pixel sample{};
      const std::int32_t error =
          frame.host.SampleNearest(static_cast<Fixed>(sx), static_cast<Fixed>(sy), sample);
      if (error == kErrNone) {
        ScaleAlpha(sample, decision.coverage);
        BlendPixel(out, sample, factor);
        return;
      }
      frame.sample_error = error;
    }
    // Once sampling has failed, a pixel that needed a sample is treated as
    // undisplaced: its colour stays and its alpha still follows the wipe.
  }
  if (decision.coverage != 1.0) ScaleAlpha(out, decision.coverage);
}

}  // namespace quillmarch
