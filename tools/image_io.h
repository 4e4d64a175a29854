// Images in the engine's layout, and their files. Files hold RGBA, the
// engine ARGB; values pass through exactly as stored, with no
// premultiplication and no colour conversion either way.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "engine/wipe_engine.h"
#include "tools/options.h"

namespace quillmarch::tool {

/// The largest side the engine's 16.16 sample positions can address.
inline constexpr std::int32_t kMostPixelsPerSide = 32768;

/// An image owned by the tool: ARGB records, rows packed (stride = width).
struct Image {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::variant<std::vector<Pixel8>, std::vector<Pixel16>, std::vector<PixelFloat>> pixels;

  /// A zero-filled image.
  static Image Blank(PixelDepth depth, std::int32_t width, std::int32_t height);

  PixelDepth Depth() const;
  WorldView View() const;
};

/// An image library message as one line: OpenImageIO may tell one failure
/// on several lines, once per layer.
std::string OneLine(std::string reason);

/// "8-bit", "16-bit" or "float".
const char* DepthName(PixelDepth depth);

/// Reads the first image of a file. 8-bit files give Depth8, 16-bit Depth16,
/// half and float DepthFloat; `depth` other than kFromInput converts with
/// OpenImageIO's usual scaling (255 = 65535 = 1.0). Grey is spread to red,
/// green and blue; a file without alpha gets an opaque one.
Image ReadImage(const std::string& path, DepthChoice depth);

/// Checks, before anything is rendered, that `path` names a format that can
/// hold `depth` and a place where a file can be written.
void CheckWritable(const std::string& path, PixelDepth depth);

/// Writes `image` as RGBA in the format of `path`'s extension: PNG at the
/// image's 8 or 16 bits, TIFF at its depth, EXR as 32-bit float. The file
/// appears complete or not at all.
void WriteImage(const Image& image, const std::string& path);

/// A file being written: a temporary file beside `final_path`, removed on
/// destruction (or on SIGINT/SIGTERM) unless Commit() renamed it into place.
class TempFile {
 public:
  explicit TempFile(std::string final_path);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& Path() const { return temp_path_; }
  /// Renames the temporary file to the final name; throws ToolError.
  void Commit();

 private:
  std::string final_path_;
  std::string temp_path_;
  bool committed_ = false;
  int interrupt_slot_ = -1;
};

/// Removes the temporary file being written when the process is interrupted.
void InstallInterruptCleanup();

}  // namespace quillmarch::tool
