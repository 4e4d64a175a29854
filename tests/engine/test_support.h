// Small in-memory images and a host that counts what the engine asks of it.
#pragma once

#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/pixel_ops.h"
#include "engine/standalone_host.h"
#include "engine/wipe_engine.h"

namespace quillmarch {

// Whole-record comparison, so that images compare as vectors.
inline bool operator==(const Pixel8& a, const Pixel8& b) {
  return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}
inline bool operator==(const Pixel16& a, const Pixel16& b) {
  return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}
// Float pixels compare bit for bit: the rules are exact.
bool operator==(const PixelFloat& a, const PixelFloat& b);

}  // namespace quillmarch

namespace quillmarch::testing {

/// An image owning its pixels, rows `stride` records apart. The records past
/// the width hold a marker so that a write beyond the row shows.
template <typename Pixel>
class Image {
 public:
  Image(std::int32_t width, std::int32_t height, std::int32_t padding = 0)
      : width_(width),
        height_(height),
        stride_(width + padding),
        pixels_(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height), Marker()) {}

  static Pixel Marker() {
    Pixel p{};
    p.alpha = p.red = p.green = p.blue = static_cast<decltype(p.alpha)>(77);
    return p;
  }

  Pixel& At(std::int32_t x, std::int32_t y) {
    return pixels_[static_cast<std::size_t>(y * stride_ + x)];
  }
  const Pixel& At(std::int32_t x, std::int32_t y) const {
    return pixels_[static_cast<std::size_t>(y * stride_ + x)];
  }

  WorldView View() {
    return WorldView{pixels_.data(), width_, height_, stride_, PixelTraits<Pixel>::kDepth};
  }
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  std::int32_t stride() const { return stride_; }
  const std::vector<Pixel>& pixels() const { return pixels_; }

 private:
  std::int32_t width_, height_, stride_;
  std::vector<Pixel> pixels_;
};

/// A channel value at each depth, from a fraction of full scale.
template <typename Pixel>
auto Channel(double fraction) {
  if constexpr (std::is_same_v<Pixel, PixelFloat>) {
    return static_cast<float>(fraction);
  } else if constexpr (std::is_same_v<Pixel, Pixel16>) {
    return static_cast<std::uint16_t>(fraction * 32768.0);
  } else {
    return static_cast<std::uint8_t>(fraction * 255.0);
  }
}

/// Fills an image with a pattern whose every pixel differs, full alpha.
template <typename Pixel>
void FillPattern(Image<Pixel>& image, double alpha = 1.0) {
  for (std::int32_t y = 0; y < image.height(); ++y) {
    for (std::int32_t x = 0; x < image.width(); ++x) {
      Pixel& p = image.At(x, y);
      p.alpha = Channel<Pixel>(alpha);
      p.red = Channel<Pixel>(static_cast<double>(x % 16) / 16.0);
      p.green = Channel<Pixel>(static_cast<double>(y % 16) / 16.0);
      p.blue = Channel<Pixel>(static_cast<double>((x + 3 * y) % 16) / 16.0);
    }
  }
}

/// The stand-alone host with counts, and a sampler that fails from its k-th
/// call on (counting from 1) when asked to.
class CountingHost : public StandaloneHost {
 public:
  explicit CountingHost(const WorldView& input) : StandaloneHost(input) {}

  std::int32_t SampleNearest(Fixed x, Fixed y, Pixel8& p) override { return Count(x, y, p); }
  std::int32_t SampleNearest(Fixed x, Fixed y, Pixel16& p) override { return Count(x, y, p); }
  std::int32_t SampleNearest(Fixed x, Fixed y, PixelFloat& p) override { return Count(x, y, p); }
  std::int32_t ReportProgress(std::int32_t count, std::int32_t total) override {
    progress.push_back({count, total});
    return 99;  // ignored by the engine
  }

  int fail_from = 0;  ///< 0: never fail
  std::int32_t fail_code = 1234;
  int samples = 0;
  struct Report {
    std::int32_t count, total;
  };
  std::vector<Report> progress;

 private:
  template <typename Pixel>
  std::int32_t Count(Fixed x, Fixed y, Pixel& p) {
    ++samples;
    if (fail_from != 0 && samples >= fail_from) return fail_code;
    return StandaloneHost::SampleNearest(x, y, p);
  }
};

/// Renders `input` with `settings` the way a host does: copy, then wipe.
template <typename Pixel>
std::int32_t Render(const WipeSettings& settings, Image<Pixel>& input, Image<Pixel>& output,
                    CountingHost& host) {
  for (std::int32_t y = 0; y < input.height(); ++y) {
    for (std::int32_t x = 0; x < input.width(); ++x) output.At(x, y) = input.At(x, y);
  }
  return RenderWipe(settings, input.View(), output.View(), host);
}

/// Settings derived as the host would, with the standard fmod, except that
/// the completion fraction is set exactly.
WipeSettings Settings(std::int32_t mode, double completion, double width,
                      std::int32_t direction_mode, double degrees, std::int32_t displace);

}  // namespace quillmarch::testing
