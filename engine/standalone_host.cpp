#include "engine/standalone_host.h"

#include <cmath>
#include <cstddef>
#include <utility>

namespace quillmarch {

StandaloneHost::StandaloneHost(const WorldView& input, Progress progress)
    : input_(input), progress_(std::move(progress)) {}

template <typename Pixel>
std::int32_t StandaloneHost::Sample(Fixed x, Fixed y, Pixel& pixel) const {
  const std::int32_t column = NearestIndex(x);
  const std::int32_t row = NearestIndex(y);
  // The engine only asks for positions inside the image; anything else is a
  // caller's fault and must not become a read outside the buffer.
  if (input_.base == nullptr || column < 0 || row < 0 || column >= input_.width ||
      row >= input_.height) {
    return kErrBadParameter;
  }
  const auto* pixels = static_cast<const Pixel*>(input_.base);
  pixel = pixels[static_cast<std::ptrdiff_t>(row) * input_.stride + column];
  return kErrNone;
}

std::int32_t StandaloneHost::SampleNearest(Fixed x, Fixed y, Pixel8& pixel) {
  return Sample(x, y, pixel);
}
std::int32_t StandaloneHost::SampleNearest(Fixed x, Fixed y, Pixel16& pixel) {
  return Sample(x, y, pixel);
}
std::int32_t StandaloneHost::SampleNearest(Fixed x, Fixed y, PixelFloat& pixel) {
  return Sample(x, y, pixel);
}

std::int32_t StandaloneHost::ReportProgress(std::int32_t count, std::int32_t total) {
  if (progress_) progress_(count, total);
  return kErrNone;
}

double StandaloneHost::Sin(double radians) { return std::sin(radians); }
double StandaloneHost::Cos(double radians) { return std::cos(radians); }
double StandaloneHost::Tan(double radians) { return std::tan(radians); }
double StandaloneHost::Ceil(double value) { return std::ceil(value); }
double StandaloneHost::Floor(double value) { return std::floor(value); }
double StandaloneHost::Fmod(double x, double y) { return std::fmod(x, y); }

}  // namespace quillmarch
