// The two 8-bit previews of a sequence: a contact sheet of all frames and an
// animated GIF, both over a checkerboard so that transparency shows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/image_io.h"

namespace quillmarch::tool {

/// Size of a frame scaled down to fit a `box` x `box` square, never up.
struct PreviewSize {
  std::int32_t width, height;
};
PreviewSize FitWithin(std::int32_t width, std::int32_t height, std::int32_t box);

/// `frame` scaled to `size` and laid over a checkerboard: 8-bit RGB, rows
/// packed. Alpha and colour are clamped to 0..1 first (float frames may
/// leave that range); NaN shows as transparent black.
std::vector<std::uint8_t> CompositeOverCheckerboard(const Image& frame, PreviewSize size);

/// Builds both previews as frames arrive, so that a long sequence need not
/// be held in memory. Both files appear complete or not at all.
class PreviewWriter {
 public:
  PreviewWriter(const std::string& folder, std::int32_t frame_width, std::int32_t frame_height,
                std::int32_t frame_count);
  ~PreviewWriter();
  PreviewWriter(const PreviewWriter&) = delete;
  PreviewWriter& operator=(const PreviewWriter&) = delete;

  void AddFrame(const Image& frame);
  /// Writes the contact sheet and closes the GIF; throws ToolError.
  void Finish();

  const std::string& ContactSheetPath() const { return sheet_path_; }
  const std::string& GifPath() const { return gif_path_; }
  /// Pixel size of the contact sheet.
  PreviewSize SheetSize() const { return sheet_size_; }

 private:
  struct Gif;

  std::string sheet_path_;
  std::string gif_path_;
  std::int32_t frame_count_;
  std::int32_t added_ = 0;
  std::int32_t columns_;
  PreviewSize thumbnail_;
  PreviewSize sheet_size_;
  std::vector<std::uint8_t> sheet_;
  PreviewSize gif_size_;
  std::unique_ptr<Gif> gif_;
};

}  // namespace quillmarch::tool
