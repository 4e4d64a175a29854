#include "tools/previews.h"

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>
#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace quillmarch::tool {
namespace {

constexpr std::int32_t kThumbnailBox = 240;  // contact sheet cell, at most
constexpr std::int32_t kSheetMostWidth = 1920;
constexpr std::int32_t kGap = 6;
constexpr std::int32_t kGifBox = 480;
constexpr int kGifFramesPerSecond = 10;
constexpr std::int32_t kCheckerSquare = 8;
constexpr double kCheckerLight = 0.78;
constexpr double kCheckerDark = 0.58;
constexpr std::uint8_t kSheetBackground = 40;

double Unit(double value) { return std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0); }

// A frame's pixels as premultiplied float RGBA in 0..1, written straight
// into `rgba`: premultiplied, so that scaling down does not bleed the colour
// of transparent pixels.
template <typename Pixel>
void PremultiplyInto(const Image& frame, double most, float* rgba) {
  const auto& pixels = std::get<std::vector<Pixel>>(frame.pixels);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const double alpha = Unit(static_cast<double>(pixels[i].alpha) / most);
    rgba[i * 4 + 0] = static_cast<float>(Unit(static_cast<double>(pixels[i].red) / most) * alpha);
    rgba[i * 4 + 1] = static_cast<float>(Unit(static_cast<double>(pixels[i].green) / most) * alpha);
    rgba[i * 4 + 2] = static_cast<float>(Unit(static_cast<double>(pixels[i].blue) / most) * alpha);
    rgba[i * 4 + 3] = static_cast<float>(alpha);
  }
}

OIIO::ImageSpec Rgb8Spec(PreviewSize size) {
  OIIO::ImageSpec spec(size.width, size.height, 3, OIIO::TypeDesc::UINT8);
  spec.attribute("oiio:ColorSpace", "sRGB");
  return spec;
}

}  // namespace

PreviewSize FitWithin(std::int32_t width, std::int32_t height, std::int32_t box) {
  const double scale =
      std::min({1.0, static_cast<double>(box) / width, static_cast<double>(box) / height});
  return {std::max(1, static_cast<std::int32_t>(std::lround(width * scale))),
          std::max(1, static_cast<std::int32_t>(std::lround(height * scale)))};
}

namespace {

// Premultiplied float RGBA, owning its pixels.
OIIO::ImageBuf Premultiplied(const Image& frame) {
  OIIO::ImageBuf buffer(OIIO::ImageSpec(frame.width, frame.height, 4, OIIO::TypeDesc::FLOAT),
                        OIIO::InitializePixels::No);
  auto* rgba = static_cast<float*>(buffer.localpixels());
  switch (frame.Depth()) {
    case PixelDepth::Depth8:
      PremultiplyInto<Pixel8>(frame, 255.0, rgba);
      break;
    case PixelDepth::Depth16:
      PremultiplyInto<Pixel16>(frame, 65535.0, rgba);
      break;
    case PixelDepth::DepthFloat:
      PremultiplyInto<PixelFloat>(frame, 1.0, rgba);
      break;
  }
  return buffer;
}

OIIO::ImageBuf Scaled(const OIIO::ImageBuf& source, PreviewSize size) {
  const OIIO::ImageSpec& spec = source.spec();
  if (spec.width == size.width && spec.height == size.height) return source;
  OIIO::ImageBuf scaled(OIIO::ImageSpec(size.width, size.height, 4, OIIO::TypeDesc::FLOAT));
  if (!OIIO::ImageBufAlgo::resize(scaled, source, "triangle")) {
    throw ToolError("cannot scale a frame for the previews: " + OneLine(scaled.geterror()));
  }
  return scaled;
}

std::vector<std::uint8_t> OverCheckerboard(const OIIO::ImageBuf& picture) {
  const std::int32_t width = picture.spec().width;
  const std::int32_t height = picture.spec().height;
  std::vector<float> small(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  picture.get_pixels(OIIO::ROI(0, width, 0, height, 0, 1, 0, 4), OIIO::TypeDesc::FLOAT,
                     small.data());

  std::vector<std::uint8_t> rgb(small.size() / 4 * 3);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                            static_cast<std::size_t>(x);
      const bool light = ((x / kCheckerSquare) + (y / kCheckerSquare)) % 2 == 0;
      const double checker = light ? kCheckerLight : kCheckerDark;
      // The filter's negative lobes can push a value a little out of 0..1.
      const double alpha = Unit(small[i * 4 + 3]);
      for (std::size_t c = 0; c < 3; ++c) {
        const double value = Unit(small[i * 4 + c] + checker * (1.0 - alpha));
        rgb[i * 3 + c] = static_cast<std::uint8_t>(std::lround(value * 255.0));
      }
    }
  }
  return rgb;
}

}  // namespace

std::vector<std::uint8_t> CompositeOverCheckerboard(const Image& frame, PreviewSize size) {
  return OverCheckerboard(Scaled(Premultiplied(frame), size));
}

struct PreviewWriter::Gif {
  explicit Gif(const std::string& path) : temp(path) {}
  TempFile temp;
  std::unique_ptr<OIIO::ImageOutput> output;
};

PreviewWriter::PreviewWriter(const std::string& folder, std::int32_t frame_width,
                             std::int32_t frame_height, std::int32_t frame_count)
    : sheet_path_((std::filesystem::path(folder) / "contact-sheet.png").string()),
      gif_path_((std::filesystem::path(folder) / "preview.gif").string()),
      frame_count_(frame_count) {
  columns_ = std::max(1, static_cast<std::int32_t>(std::ceil(std::sqrt(frame_count))));
  const std::int32_t rows = (frame_count + columns_ - 1) / columns_;
  // Many frames make smaller cells, so that the sheet stays a picture.
  const std::int32_t box = std::clamp((kSheetMostWidth - kGap) / columns_ - kGap, 8, kThumbnailBox);
  thumbnail_ = FitWithin(frame_width, frame_height, box);
  sheet_size_ = {columns_ * (thumbnail_.width + kGap) + kGap,
                 rows * (thumbnail_.height + kGap) + kGap};
  sheet_.assign(static_cast<std::size_t>(sheet_size_.width) *
                    static_cast<std::size_t>(sheet_size_.height) * 3,
                kSheetBackground);
  gif_size_ = FitWithin(frame_width, frame_height, kGifBox);
}

PreviewWriter::~PreviewWriter() = default;

void PreviewWriter::AddFrame(const Image& frame) {
  // Scaled once to the GIF's size and from there to the cell's: a 4K frame
  // is filtered once, not twice.
  const OIIO::ImageBuf gif_picture = Scaled(Premultiplied(frame), gif_size_);
  const std::vector<std::uint8_t> cell = OverCheckerboard(Scaled(gif_picture, thumbnail_));
  const std::int32_t left = kGap + (added_ % columns_) * (thumbnail_.width + kGap);
  const std::int32_t top = kGap + (added_ / columns_) * (thumbnail_.height + kGap);
  const auto row_bytes = static_cast<std::size_t>(thumbnail_.width) * 3;
  for (std::int32_t y = 0; y < thumbnail_.height; ++y) {
    const std::size_t at =
        (static_cast<std::size_t>(top + y) * static_cast<std::size_t>(sheet_size_.width) +
         static_cast<std::size_t>(left)) *
        3;
    std::copy_n(cell.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * row_bytes),
                row_bytes, sheet_.begin() + static_cast<std::ptrdiff_t>(at));
  }

  OIIO::ImageSpec spec = Rgb8Spec(gif_size_);
  const int frames_per_second[2] = {kGifFramesPerSecond, 1};
  spec.attribute("FramesPerSecond", OIIO::TypeRational, frames_per_second);
  spec.attribute("oiio:Movie", 1);
  spec.attribute("oiio:LoopCount", 0);  // forever
  bool opened = false;
  if (!gif_) {
    gif_ = std::make_unique<Gif>(gif_path_);
    gif_->output = OIIO::ImageOutput::create(gif_path_);
    if (!gif_->output)
      throw ToolError("cannot write " + Quoted(gif_path_) + ": " + OneLine(OIIO::geterror()));
    opened = gif_->output->open(gif_->temp.Path(), spec);
  } else {
    opened = gif_->output->open(gif_->temp.Path(), spec, OIIO::ImageOutput::AppendSubimage);
  }
  const std::vector<std::uint8_t> picture = OverCheckerboard(gif_picture);
  if (!opened || !gif_->output->write_image(OIIO::TypeDesc::UINT8, picture.data())) {
    throw ToolError("cannot write " + Quoted(gif_path_) + ": " + OneLine(gif_->output->geterror()));
  }
  ++added_;
}

void PreviewWriter::Finish() {
  if (added_ != frame_count_ || !gif_) {
    throw ToolError("the previews got " + std::to_string(added_) + " of " +
                    std::to_string(frame_count_) + " frames");
  }
  TempFile sheet_temp(sheet_path_);
  auto sheet = OIIO::ImageOutput::create(sheet_path_);
  if (!sheet || !sheet->open(sheet_temp.Path(), Rgb8Spec(sheet_size_)) ||
      !sheet->write_image(OIIO::TypeDesc::UINT8, sheet_.data()) || !sheet->close()) {
    throw ToolError("cannot write " + Quoted(sheet_path_) + ": " +
                    OneLine(sheet ? sheet->geterror() : OIIO::geterror()));
  }
  if (!gif_->output->close()) {
    throw ToolError("cannot write " + Quoted(gif_path_) + ": " + OneLine(gif_->output->geterror()));
  }
  sheet_temp.Commit();
  gif_->temp.Commit();
}

}  // namespace quillmarch::tool
